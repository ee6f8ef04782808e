// The background picture: command 179 reads a bitmap into the holder and
// builds its texture, 180 hides it and frees the pixels, and every redraw
// draws it darkened behind the grid, its top-left pixel on cell (0, 2047).
//
// The bitmap header is untrusted. The reader never allocates more than the
// picture needs (width x height x 3 bytes, both at most 2047), never reads
// past the file, and fills whatever the file does not supply with zeros.
// Sizes of zero or below and headers cut short are refused like unreadable
// files; pictures too large to be shown are refused before any pixel is read.
#include "render/background.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/common.h"
#include "common/file_io.h"
#include "common/packet.h"
#include "model/layout.h"
#include "platform/sys.h"
#include "render/view_state.h"
#include "render/window.h"

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr int32_t kLargestSide = kGridMax;

constexpr char kCannotLoadText[] = "Texture can be loaded";
constexpr char kTooLargeText[] = "Texture can be loaded, as its length or height more 2048 pix.";
// Ends in Windows-1251 Cyrillic: "and so on".
constexpr char kWidthText[] =
    "Action canceled, for optimal operation of the program, set the width of texture a "
    "multiple of 4 (40, 1024, 552 \xE8 \xF2.\xEF.)";
constexpr char kCaption[] = "Information";

struct Holder {
    GLuint texture;
    int32_t width;
    int32_t height;
    uint8_t* pixels;
    uint8_t loaded;
    GLenum pixelFormat;
};

Holder g_image = {0, 0, 0, nullptr, 0, 0};
bool g_visible = false;
bool g_exitHandlerSet = false;

void Inform(const char* text) {
    Sys_MessageBox(text, kCaption, kMbSystemModal | kMbIconInformation);
}

// Builds the texture from the holder's pixels (a current GL context).
void MakeBackgroundTexture() {
    // The texture of a replaced picture is dropped only now, so a failed
    // load leaves the shown picture on screen.
    if (g_image.texture != 0) glDeleteTextures(1, &g_image.texture);
    glGenTextures(1, &g_image.texture);
    glBindTexture(GL_TEXTURE_2D, g_image.texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, g_image.width, g_image.height, GL_RGB,
                      GL_UNSIGNED_BYTE, g_image.pixels);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, g_image.width, g_image.height, 0, GL_RGB,
                 GL_UNSIGNED_BYTE, g_image.pixels);
}

// Frees the pixels; width, height and the texture name stay.
void ReleaseBackgroundImage() {
    std::free(g_image.pixels);
    g_image.pixels = nullptr;
    g_image.loaded = 0;
    g_image.pixelFormat = 0;
}

// A bitmap as read: red, green, blue per pixel, bottom row first, no row
// padding; the buffer holds exactly width * height * 3 bytes (malloc'd, the
// caller frees it).
struct BmpPicture {
    int32_t width;
    int32_t height;
    uint8_t* pixels;
};

enum class BmpReadResult {
    Ok,
    Unreadable,  // missing, not "BM", header cut short, size not above 0, no memory
    TooLarge,    // width or height above 2047: header read, no pixels
};

// Reads the header and the pixel data. Pixel data that the file does not
// supply (short file, offset past the end, smaller size field) is zero.
BmpReadResult ReadBmp(const char* path, BmpPicture* picture) {
    *picture = {0, 0, nullptr};
    const long fileSize = FileSizeOf(path);
    if (fileSize < 0) return BmpReadResult::Unreadable;
    std::vector<uint8_t> bytes;
    if (!ReadFilePrefix(path, kFileHeaderSize + kInfoHeaderSize, bytes) ||
        bytes.size() != kFileHeaderSize + kInfoHeaderSize || bytes[0] != 'B' || bytes[1] != 'M')
        return BmpReadResult::Unreadable;
    const uint8_t* header = bytes.data();
    const uint32_t dataOffset = ReadLE32(header + 10);
    const int32_t width = static_cast<int32_t>(ReadLE32(header + 18));
    const int32_t height = static_cast<int32_t>(ReadLE32(header + 22));
    uint32_t dataSize = ReadLE32(header + 34);
    picture->width = width;
    picture->height = height;
    if (width <= 0 || height <= 0) return BmpReadResult::Unreadable;
    if (width > kLargestSide || height > kLargestSide) return BmpReadResult::TooLarge;

    const size_t needed = size_t(width) * size_t(height) * 3;
    if (dataSize == 0) dataSize = static_cast<uint32_t>(needed);
    uint8_t* pixels = static_cast<uint8_t*>(std::calloc(needed, 1));
    if (pixels == nullptr) return BmpReadResult::Unreadable;
    size_t wanted = std::min<size_t>(needed, dataSize);
    const size_t available = dataOffset < size_t(fileSize) ? size_t(fileSize) - dataOffset : 0;
    wanted = std::min(wanted, available);
    if (wanted > 0) {
        size_t got = 0;  // anything short stays zero
        ReadFileAt(path, static_cast<long>(dataOffset), pixels, wanted, &got);
    }
    for (size_t i = 0; i + 2 < needed; i += 3) std::swap(pixels[i], pixels[i + 2]);
    picture->pixels = pixels;
    return BmpReadResult::Ok;
}

}  // namespace

void LoadBackgroundImage(const char* path) {
    if (!g_exitHandlerSet) {
        std::atexit(ResetBackgroundImage);  // frees the pixels and the texture
        g_exitHandlerSet = true;
    }
    if (g_image.loaded) ReleaseBackgroundImage();

    BmpPicture picture;
    const BmpReadResult result = ReadBmp(path, &picture);
    if (result == BmpReadResult::Unreadable) {
        Inform(kCannotLoadText);
        return;
    }
    if (result == BmpReadResult::TooLarge) {
        g_visible = false;
        Inform(kTooLargeText);
        return;
    }
    g_image.width = picture.width;
    g_image.height = picture.height;
    g_image.pixels = picture.pixels;
    g_image.pixelFormat = GL_RGB;
    MakeBackgroundTexture();
    g_image.loaded = 1;
    if (g_image.width % 4 != 0) {
        g_visible = false;
        Inform(kWidthText);
        return;
    }
    SetCellSize(1);
    g_visible = true;
}

void RemoveBackgroundImage() {
    g_visible = false;
    ReleaseBackgroundImage();
}

void DrawBackgroundImage() {
    if (!g_visible) return;
    const ViewState& view = View();
    const int c = view.cellSize;
    const int height = WindowHeight();
    const int w = g_image.width;
    const int h = g_image.height;
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, g_image.texture);
    const float x0 = static_cast<float>(-(view.scrollX * c));
    const float y0 = static_cast<float>(height - (view.scrollY + h - kGridMax) * c);
    const float x1 = x0 + static_cast<float>(w * c);
    const float y1 = y0 + static_cast<float>(h * c);
    glColor3f(0.7f, 0.7f, 0.7f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(x0, y0, -0.002f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(x1, y0, -0.002f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(x1, y1, -0.002f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(x0, y1, -0.002f);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

void ResetBackgroundImage() {
    ReleaseBackgroundImage();
    if (g_image.texture != 0 && HaveGlutWindow()) glDeleteTextures(1, &g_image.texture);
    g_image = {0, 0, 0, nullptr, 0, 0};
    g_visible = false;
}
