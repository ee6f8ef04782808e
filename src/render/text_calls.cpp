// The scene's text drawing through GLUT's bitmap font, as the default entry
// of the text call table.
#include "render/text_calls.h"

#include <GL/freeglut.h>

namespace {

void DrawBitmapTextAt(const char* text, float x, float y, float z) {
    glRasterPos3f(x, y, z);
    for (const char* p = text; *p != '\0'; ++p)
        glutBitmapCharacter(GLUT_BITMAP_HELVETICA_18, static_cast<unsigned char>(*p));
}

constexpr TextCalls kBitmapText = {DrawBitmapTextAt};
TextCalls g_textCalls = kBitmapText;

}  // namespace

TextCalls& CurrentTextCalls() {
    return g_textCalls;
}

void ResetTextCalls() {
    g_textCalls = kBitmapText;
}
