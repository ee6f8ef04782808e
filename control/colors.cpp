// The colours of the forms: the swatch icon the port list and the settings
// colour buttons show, and a chosen colour as the bytes the commands carry.
#include <QPainter>
#include <QPixmap>

#include "forms.h"

QIcon ColorSwatch(const QColor& color) {
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    QPainter painter(&pixmap);
    painter.setPen(Qt::gray);
    painter.drawRect(0, 0, 15, 15);
    return QIcon(pixmap);
}

Rgb ToRgb(const QColor& color) {
    return Rgb{uint8_t(color.red()), uint8_t(color.green()), uint8_t(color.blue())};
}
