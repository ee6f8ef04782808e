// The string recorder over the text call table.
#include "support/text_recorder.h"

#include <GL/freeglut.h>

#include "render/text_calls.h"

namespace {

TextCalls g_drawing = {nullptr};  // the entry the recorder replaced
std::vector<DrawnText> g_drawnTexts;

void RecordTextAt(const char* text, float x, float y, float z) {
    glRasterPos3f(x, y, z);
    GLboolean valid = GL_FALSE;  // the GL draws nothing from an invalid raster position
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    if (valid) g_drawnTexts.push_back({text, x, y, z});
    g_drawing.drawAt(text, x, y, z);
}

}  // namespace

void RecordDrawnTexts() {
    TextCalls& calls = CurrentTextCalls();
    if (calls.drawAt != RecordTextAt) g_drawing = calls;
    calls.drawAt = RecordTextAt;
    g_drawnTexts.clear();
}

const std::vector<DrawnText>& DrawnTexts() {
    return g_drawnTexts;
}

void ClearDrawnTexts() {
    g_drawnTexts.clear();
}
