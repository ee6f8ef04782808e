// Windows-1251 message texts decoded for display.
#include "platform/windows1251.h"

#include <gtest/gtest.h>

namespace {

TEST(Windows1251Test, DecodesTheUpperHalfAndKeepsAscii) {
    const struct {
        const char* bytes;
        std::u16string text;
    } cases[] = {
        {"\xE8\x20\xF2\x2E\xEF\x2E", u"\u0438 \u0442.\u043F."},  // "и т.п."
        {"\xB9", u"\u2116"},                                     // numero sign
        {"port \xB9"
         "5",
         u"port \u21165"},
        {"\xC0\xDF\xE0\xFF", u"\u0410\u042F\u0430\u044F"},  // А Я а я
        {"\xA8\xB8", u"\u0401\u0451"},                      // Ё ё
        {"\x80\x88\x96", u"\u0402\u20AC\u2013"},            // Ђ € –
        {"\x98", u"\uFFFD"},                                // unassigned
        {"Error access file ", u"Error access file "},
        {"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(DecodeWindows1251(c.bytes), c.text);
    }
}

}  // namespace
