// The live test pattern loop, its key decoder and the terminal's key mode.
#include "tools/test_play.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "convert/conversion.h"

static_assert(sizeof(termios) <= sizeof(TerminalKeys::saved), "termios fits the saved bytes");

namespace {

// The keys as a terminal sends them, one byte at a time: space, p, q, and
// the arrows (ESC [ A..D, or ESC O A..D in application mode; modifiers
// such as ESC [ 1 ; 2 C are taken as the plain arrow).
struct TestKeyDecoder {
    uint8_t state;  // 0 plain, 1 after ESC, 2 inside an ESC [ or ESC O sequence
};

TestKey DecodeTestKeyByte(TestKeyDecoder* decoder, uint8_t byte) {
    if (decoder->state == 1) {
        decoder->state = byte == '[' || byte == 'O' ? 2 : 0;
        if (decoder->state == 2) return TestKey::None;
    } else if (decoder->state == 2) {
        if ((byte >= '0' && byte <= '9') || byte == ';') return TestKey::None;
        decoder->state = 0;
        switch (byte) {
            case 'A':
                return TestKey::ForwardTen;
            case 'B':
                return TestKey::BackTen;
            case 'C':
                return TestKey::Forward;
            case 'D':
                return TestKey::Back;
            default:
                return TestKey::None;
        }
    }
    switch (byte) {
        case 0x1b:
            decoder->state = 1;
            return TestKey::None;
        case ' ':
            return TestKey::Pause;
        case 'p':
        case 'P':
            return TestKey::NextPort;
        case 'q':
        case 'Q':
            return TestKey::Quit;
        default:
            return TestKey::None;
    }
}

}  // namespace

bool PlayTestPattern(TestPatternPlan* plan, OutputSink& sink, int keys, FILE* lines,
                     int64_t frameLimit, const std::atomic<bool>* stop, std::string* error,
                     int64_t* frames) {
    *frames = 0;
    ConversionInfo info = {};
    info.frameCount = plan->frameCount;
    info.framesPerSecond = plan->settings.framesPerSecond;
    info.colorOrder = uint8_t(plan->settings.color.order);
    std::vector<uint8_t> values;
    uint8_t* out[kPortCount];
    FrameLeds leds = {};
    const uint16_t longest = LayOutFrameLeds(&info, &values, out, &leds);
    if (!sink.begin(sink.state, info)) {
        *error = sink.error(sink.state);
        return false;
    }
    // The descriptor is shared with the shell that started us: its flags go
    // back as they were.
    const int flags = keys >= 0 ? fcntl(keys, F_GETFL) : -1;
    if (flags >= 0) fcntl(keys, F_SETFL, flags | O_NONBLOCK);
    const bool printing = plan->settings.kind == TestPatternKind::Walk ||
                          plan->settings.kind == TestPatternKind::Order;
    TestPatternCursor cursor = {};
    TestKeyDecoder decoder = {};
    bool changed = true, ok = true;
    while (!(stop != nullptr && stop->load()) && !cursor.quit &&
           (frameLimit == 0 || *frames < frameLimit)) {
        uint8_t typed[64];
        const ssize_t count = keys >= 0 ? read(keys, typed, sizeof typed) : 0;
        for (ssize_t k = 0; k < count; ++k)
            if (ApplyTestKey(plan, &cursor, DecodeTestKeyByte(&decoder, typed[k]))) changed = true;
        if (cursor.quit) break;
        if (changed) {
            FillTestPatternStep(*plan, cursor.step, longest, out);
            if (printing) {
                std::fprintf(lines, "%s\n", DescribeTestStep(*plan, cursor.step).c_str());
                std::fflush(lines);
            }
            changed = false;
        }
        leds.frameIndex = int32_t(*frames % (int64_t(INT32_MAX) + 1));
        if (!sink.frame(sink.state, leds)) {
            *error = sink.error(sink.state);
            ok = false;
            break;
        }
        ++*frames;
        changed = AdvanceTestPattern(*plan, &cursor);
    }
    if (flags >= 0) fcntl(keys, F_SETFL, flags);
    return ok;
}

bool BeginTerminalKeys(int fd, TerminalKeys* terminal) {
    terminal->active = false;
    termios mode;
    if (!isatty(fd) || tcgetattr(fd, &mode) != 0) return false;
    std::memcpy(terminal->saved, &mode, sizeof mode);
    mode.c_lflag &= ~tcflag_t(ICANON | ECHO);
    mode.c_cc[VMIN] = 0;
    mode.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &mode) != 0) return false;
    terminal->active = true;
    return true;
}

void EndTerminalKeys(int fd, TerminalKeys* terminal) {
    if (!terminal->active) return;
    termios mode;
    std::memcpy(&mode, terminal->saved, sizeof mode);
    tcsetattr(fd, TCSANOW, &mode);
    terminal->active = false;
}
