// Typed Cyrillic letters for the window's keyboard callback on X11.
//
// The window library turns an X key press into a character with Xlib's
// XLookupString and calls the keyboard callback only when that yields a byte;
// Xlib produces Latin-1 there, so with a Russian keyboard layout the letters
// never arrive. This file puts its own XLookupString in front of Xlib's (the
// program defines the symbol, so the window library's calls resolve here): it
// asks Xlib first and, when the key symbol is a Cyrillic letter, answers with
// that letter's Windows-1251 byte instead. Every other key is left as Xlib
// translated it. The platform CMake file keeps this object in the link.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>

#include "platform/sys.h"

namespace {

// Letters of the Russian alphabet (index 0 = a .. 31 = ya) in the order of
// the X key symbols 0x6c0..0x6df, which follow the KOI8-R table.
constexpr unsigned char kKoi8Order[32] = {30, 0,  1,  22, 4,  5,  20, 3,  21, 8,  9,
                                          10, 11, 12, 13, 14, 15, 31, 16, 17, 18, 19,
                                          6,  2,  28, 27, 7,  24, 29, 25, 23, 26};

struct ExtraLetter {
    unsigned long keysym;
    unsigned long unicode;
    int code;
};
// Yo and the Ukrainian and Belarusian letters of Windows-1251.
constexpr ExtraLetter kExtraLetters[] = {
    {0x6a3, 0x451, 0xB8}, {0x6b3, 0x401, 0xA8},  // yo
    {0x6a4, 0x454, 0xBA}, {0x6b4, 0x404, 0xAA},  // Ukrainian ie
    {0x6a6, 0x456, 0xB3}, {0x6b6, 0x406, 0xB2},  // Ukrainian i
    {0x6a7, 0x457, 0xBF}, {0x6b7, 0x407, 0xAF},  // Ukrainian yi
    {0x6ad, 0x491, 0xB4}, {0x6bd, 0x490, 0xA5},  // ghe with upturn
    {0x6ae, 0x45E, 0xA2}, {0x6be, 0x40E, 0xA1},  // short u
};

constexpr unsigned long kUnicodeKeysym = 0x01000000;

using LookupFn = int (*)(XKeyEvent*, char*, int, KeySym*, XComposeStatus*);
using KeysymFn = KeySym (*)(XKeyEvent*, int);

LookupFn XlibLookup() {
    static LookupFn xlib = reinterpret_cast<LookupFn>(dlsym(RTLD_NEXT, "XLookupString"));
    return xlib;
}

// Ctrl with a letter key gives the control code of the key's Latin letter
// whatever layout is active, so Ctrl+Z stays 26 on a Russian layout.
int ControlCode(XKeyEvent* event) {
    static KeysymFn baseKeysym = reinterpret_cast<KeysymFn>(dlsym(RTLD_DEFAULT, "XLookupKeysym"));
    if (baseKeysym == nullptr) return -1;
    const KeySym base = baseKeysym(event, 0);
    if (base >= XK_a && base <= XK_z) return int(base - XK_a) + 1;
    return -1;
}

}  // namespace

int Sys_KeysymToCp1251(unsigned long keysym) {
    if (keysym >= 0x6c0 && keysym <= 0x6df) return 0xE0 + kKoi8Order[keysym - 0x6c0];
    if (keysym >= 0x6e0 && keysym <= 0x6ff) return 0xC0 + kKoi8Order[keysym - 0x6e0];
    // Layouts may also send letters as Unicode key symbols.
    if (keysym >= kUnicodeKeysym + 0x410 && keysym <= kUnicodeKeysym + 0x44F)
        return 0xC0 + int(keysym - kUnicodeKeysym - 0x410);
    for (const ExtraLetter& letter : kExtraLetters) {
        if (keysym == letter.keysym || keysym == kUnicodeKeysym + letter.unicode)
            return letter.code;
    }
    return -1;
}

extern "C" int XLookupString(XKeyEvent* event, char* buffer, int size, KeySym* keysymOut,
                             XComposeStatus* status) {
    LookupFn xlib = XlibLookup();
    if (xlib == nullptr) return 0;
    KeySym keysym = NoSymbol;
    const int length = xlib(event, buffer, size, &keysym, status);
    if (keysymOut != nullptr) *keysymOut = keysym;
    int code = Sys_KeysymToCp1251(keysym);
    if (code >= 0 && (event->state & ControlMask)) code = ControlCode(event);
    if (code < 0 || buffer == nullptr || size < 1) return length;
    buffer[0] = char(code);
    return 1;
}
