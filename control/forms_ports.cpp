// The Ports page: the 256 ports (shown 1..256) with their colour swatch and
// chain mark; selecting one makes it Quorvane's current port (163); colour
// (165), undo (160) and clear (174) act on the selected port.
#include <QGridLayout>
#include <QVBoxLayout>

#include "forms.h"

QWidget* BuildPortsPage(ControlWindow& control) {
    auto* page = new QWidget;
    auto* layout = new QGridLayout(page);

    control.portList = new QListWidget;
    for (int index = 0; index < kPortCount; ++index) {
        control.portColors[index] = QColor(0, 0, 0);  // Quorvane's ports start black
        auto* item = new QListWidgetItem(ColorSwatch(control.portColors[index]),
                                         QString("Port %1").arg(index + 1));
        control.portList->addItem(item);
    }
    control.portList->setCurrentRow(0);  // Quorvane starts on the first port
    layout->addWidget(control.portList, 0, 0, 6, 1);

    control.portLabel = new QLabel("Selected: port 1");
    control.portColorButton = new QPushButton("Colour of the port...");
    control.undoButton = new QPushButton("Undo last LED");
    control.clearButton = new QPushButton("Clear the port...");
    control.portColorButton->setToolTip("The colour in which this port's LEDs are drawn");
    control.undoButton->setToolTip("Removes the LED placed last on the selected port");
    control.clearButton->setToolTip("Deletes all LEDs of the selected port (Quorvane asks first)");
    layout->addWidget(control.portLabel, 0, 1);
    layout->addWidget(control.portColorButton, 1, 1);
    layout->addWidget(control.undoButton, 2, 1);
    layout->addWidget(control.clearButton, 3, 1);
    auto* hint = new QLabel(
        "Choose a port, then click in Quorvane's window to place its LEDs one by one in "
        "chain order. A right click lays a straight run of LEDs.");
    hint->setWordWrap(true);
    layout->addWidget(hint, 4, 1);
    layout->setRowStretch(5, 1);

    ControlWindow* c = &control;
    QObject::connect(control.portList, &QListWidget::currentRowChanged, page, [c](int row) {
        if (row < 0) return;
        c->portLabel->setText(QString("Selected: port %1").arg(row + 1));
        SendFromForm(*c, EncodeSelectPort(row));
    });
    QObject::connect(control.portColorButton, &QPushButton::clicked, page, [c] {
        int row = c->portList->currentRow();
        if (row < 0) return;
        QColor color =
            c->hooks.chooseColor(c->portColors[row], QString("Colour of port %1").arg(row + 1));
        SetSelectedPortColor(*c, color);
    });
    QObject::connect(control.undoButton, &QPushButton::clicked, page, [c] {
        int row = c->portList->currentRow();
        if (row >= 0) SendFromForm(*c, EncodeUndoLastLed(row + 1));
    });
    QObject::connect(control.clearButton, &QPushButton::clicked, page, [c] {
        int row = c->portList->currentRow();
        if (row >= 0) SendFromForm(*c, EncodeClearPort(row));
    });
    return page;
}
