// quorvane_soak: drives quorvane_scripted (normally the sanitizer build)
// over its command channel with random and mutated packets of every
// command, and mouse clicks in its layout window between them, for a
// bounded time, and fails on a crash, a sanitizer report, a broken message
// stream or a packet left unanswered.
//
//   quorvane_soak [--seconds N] [--seed S] [--steps N] [--special-paths] [--no-clicks]
//   quorvane_soak --replay FILE...
//
// Quorvane answers every packet it takes from its one-packet mailbox with
// the 18-byte window-geometry message (00 B1) before running the command,
// so the soak sends the next packet only after that answer: nothing is
// replaced unread, and a command that never returns shows as the next
// packet left unanswered. Each wait is bounded (--step-timeout). At the end
// one more packet must be answered, and the program's standard error must
// hold no sanitizer report.
//
// A run is reproducible from its seed: the files (fixtures.h) and the
// packets come from it. A failure prints the last packets and writes them
// as a replay file; --replay runs such files. Replay file lines:
//   # comment
//   fixtures SEED [special]  the files of a soak run with that seed
//   special                  a FIFO "fifo", a directory "dir", a socket "sock"
//   mkdir NAME | fifo NAME | socket NAME | file NAME BYTES  (BYTES as in send)
//   script LINE              a QUORVANE_SCRIPT line ({dir} is replaced)
//   step-timeout SECONDS
//   send BYTES               a packet, answered within the step timeout
//   wait MS                  let the program run
//   click BUTTON X Y         a mouse click in the layout window (1 left, 3 right)
//   expect-dialog "TEXT"     the dialog log holds TEXT once the case ran
// Exit status: 0 all well, 1 a failure, 2 bad arguments or files.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "common/protocol.h"
#include "fixtures.h"
#include "packets.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStartTimeoutMs = 60000;  // sanitizer start-up on a busy machine
constexpr size_t kRecentPackets = 20;

// The program under test and its side of the conversation.
struct ProgramRun {
    std::string dir;
    pid_t pid = -1;
    int socket = -1;
    bool exited = false;
    int status = 0;
    Bytes inbox;                         // received, not yet a whole message
    uint8_t mailbox[kMailboxSize] = {};  // what the program holds now
    long answers = 0;
    long progressMessages = 0;
    long portMessages = 0;
    std::string window;  // the X window id of the layout window, for clicks
    // The last steps, oldest first: a packet and the mailbox it left, or a
    // click ("click BUTTON X Y").
    struct Step {
        Bytes packet;
        std::array<uint8_t, kMailboxSize> mailbox;
        std::string click;
    };
    std::deque<Step> recent;
};

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Tail(const std::string& text, size_t lines) {
    size_t at = text.size();
    for (size_t n = 0; n <= lines; ++n) {
        if (at == 0) return text;
        at = text.rfind('\n', at - 1);
        if (at == std::string::npos) return text;
    }
    return text.substr(at + 1);
}

bool CheckExited(ProgramRun& run) {
    if (run.exited || run.pid <= 0) return run.exited;
    int status = 0;
    if (waitpid(run.pid, &status, WNOHANG) == run.pid) {
        run.exited = true;
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return run.exited;
}

void StopProgram(ProgramRun& run) {
    if (run.socket >= 0) close(run.socket);
    run.socket = -1;
    if (run.pid > 0) {
        kill(-run.pid, SIGKILL);  // the program and the stand-in it started
        if (!run.exited) waitpid(run.pid, nullptr, 0);
    }
    run.pid = -1;
}

void SetDefaultEnv(const char* name, const char* value) {
    if (std::getenv(name) == nullptr) setenv(name, value, 1);
}

bool StartProgram(ProgramRun& run, const std::string& program,
                  const std::vector<std::string>& scriptLines) {
    std::string script;
    for (const std::string& line : scriptLines) script += line + "\n";
    const std::string standIn = "#!/bin/sh\nexec sleep 100000\n";
    if (!WriteFileBytes(run.dir + "/script.txt", Bytes(script.begin(), script.end())) ||
        !WriteFileBytes(run.dir + "/Quorvane_Net.exe", Bytes(standIn.begin(), standIn.end())))
        return false;
    chmod((run.dir + "/Quorvane_Net.exe").c_str(), 0755);
    run.pid = fork();
    if (run.pid == 0) {
        setpgid(0, 0);
        const std::string out = run.dir + "/stdout.txt", err = run.dir + "/stderr.txt";
        const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (chdir(run.dir.c_str()) != 0 || outFd < 0 || errFd < 0) _exit(127);
        dup2(outFd, 1);
        dup2(errFd, 2);
        setenv("QUORVANE_SCRIPT", (run.dir + "/script.txt").c_str(), 1);
        setenv("QUORVANE_SCRIPT_LOG", (run.dir + "/dialogs.log").c_str(), 1);
        // Leaks are not looked for: the program is killed at the end.
        SetDefaultEnv("ASAN_OPTIONS", "detect_leaks=0:halt_on_error=1");
        SetDefaultEnv("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1");
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (run.pid < 0) return false;
    setpgid(run.pid, run.pid);
    return true;
}

bool Connect(ProgramRun& run, std::string& error) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (Clock::now() < deadline) {
        if (CheckExited(run)) {
            error = "the program ended at start with status " + std::to_string(run.status);
            return false;
        }
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(kCommandPort);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            // Nothing is sent before our program names this connection as
            // its client: the port may belong to another program.
            sockaddr_in local = {};
            socklen_t length = sizeof local;
            getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
            const std::string accepted =
                "Accepted client: 127.0.0.1:" + std::to_string(ntohs(local.sin_port)) + "\n";
            std::string log = ReadText(run.dir + "/stdout.txt");
            while (Clock::now() < deadline && !CheckExited(run) &&
                   log.find(accepted) == std::string::npos &&
                   log.find("bind() failed") == std::string::npos) {
                usleep(20000);
                log = ReadText(run.dir + "/stdout.txt");
            }
            if (log.find(accepted) == std::string::npos) {
                close(fd);
                error = run.exited
                            ? "the program ended at start with status " + std::to_string(run.status)
                            : "another program serves port 2023 (run the soak in a "
                              "network namespace of its own: tests/soak/isolated.sh)";
                return false;
            }
            int on = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            run.socket = fd;
            return true;
        }
        close(fd);
        usleep(50000);
    }
    error = "nothing listens on port 2023 after " + std::to_string(kStartTimeoutMs / 1000) + " s";
    return false;
}

// Takes the whole messages out of the inbox; false on bytes that are no
// message of the channel.
bool ParseMessages(ProgramRun& run, std::string& error) {
    size_t at = 0;
    while (run.inbox.size() - at >= 2) {
        const uint8_t tag = run.inbox[at + 1];
        size_t size = 0;
        if (run.inbox[at] == 0 && tag == kWindowGeometryTag) size = kWindowGeometryMessageSize;
        if (run.inbox[at] == 0 && tag == kVideoProgressTag) size = kVideoProgressMessageSize;
        if (run.inbox[at] == 0 && tag == kPortLoadedTag) size = kPortLoadedMessageSize;
        if (size == 0) {
            char text[64];
            std::snprintf(text, sizeof text, "a message starting %02X %02X", run.inbox[at], tag);
            error = text;
            return false;
        }
        if (run.inbox.size() - at < size) break;
        if (tag == kWindowGeometryTag) ++run.answers;
        if (tag == kVideoProgressTag) ++run.progressMessages;
        if (tag == kPortLoadedTag) ++run.portMessages;
        at += size;
    }
    run.inbox.erase(run.inbox.begin(), run.inbox.begin() + long(at));
    return true;
}

// Reads for `milliseconds`, or until `answers` geometry messages came in
// all; false with `error` when the program ended, closed the connection or
// sent something else, or (with a target) the time ran out.
bool Receive(ProgramRun& run, long answers, int milliseconds, std::string& error) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (answers > 0 && run.answers >= answers) return true;
        if (CheckExited(run)) {
            error = "the program ended with status " + std::to_string(run.status);
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            if (answers <= 0) return true;
            // The answer goes out when the program takes the packet, before the
            // command runs: what hangs is an earlier command or the drawing.
            error = "no answer within " + std::to_string(milliseconds / 1000.0).substr(0, 4) +
                    " s (the program is stuck in what came before this packet)";
            return false;
        }
        pollfd waiting = {run.socket, POLLIN, 0};
        if (poll(&waiting, 1, int(left < 100 ? left : 100)) <= 0) continue;
        uint8_t buffer[4096];
        const ssize_t got = read(run.socket, buffer, sizeof buffer);
        if (got <= 0) {
            usleep(200000);  // a crash closes the socket first; let its report land
            CheckExited(run);
            error = run.exited ? "the program ended with status " + std::to_string(run.status)
                               : "the program closed the connection";
            return false;
        }
        run.inbox.insert(run.inbox.end(), buffer, buffer + got);
        if (!ParseMessages(run, error)) return false;
    }
}

void Remember(ProgramRun& run, const Bytes& packet, const std::string& click = "") {
    if (run.recent.size() == kRecentPackets) run.recent.pop_front();
    ProgramRun::Step step{packet, {}, click};
    std::memcpy(step.mailbox.data(), run.mailbox, kMailboxSize);
    run.recent.push_back(step);
}

// The layout window, found by its title with xdotool; "" when there is no
// X display or no xdotool.
std::string FindLayoutWindow() {
    if (std::getenv("DISPLAY") == nullptr) return "";
    for (int attempt = 0; attempt < 50; ++attempt) {
        FILE* search = popen("xdotool search --name '^Quorvane 1' 2> /dev/null", "r");
        if (search == nullptr) return "";
        char line[64] = "";
        const bool found = std::fgets(line, sizeof line, search) != nullptr;
        pclose(search);
        if (found && line[0] >= '0' && line[0] <= '9')
            return std::string(line, std::strcspn(line, "\n"));
        usleep(200000);
    }
    return "";
}

// A mouse click in the layout window (left places or switches LEDs, right
// lays a straight run), made through the X server as a person would.
bool Click(ProgramRun& run, int button, int x, int y, std::string& error) {
    Remember(run, {},
             "click " + std::to_string(button) + " " + std::to_string(x) + " " + std::to_string(y));
    if (run.window.empty()) run.window = FindLayoutWindow();
    if (run.window.empty()) {
        error = "no layout window to click in (is xdotool installed?)";
        return false;
    }
    const std::string command = "xdotool mousemove --window " + run.window + " " +
                                std::to_string(x) + " " + std::to_string(y) + " click " +
                                std::to_string(button) + " 2> /dev/null";
    if (std::system(command.c_str()) != 0) {
        error = "xdotool could not click";
        return false;
    }
    return true;
}

// Sends one packet and waits for its answer.
bool Exchange(ProgramRun& run, const Bytes& packet, int timeoutMs, std::string& error) {
    std::memcpy(run.mailbox, packet.data(), packet.size());
    Remember(run, packet);
    const long expected = run.answers + 1;
    if (send(run.socket, packet.data(), packet.size(), MSG_NOSIGNAL) != ssize_t(packet.size())) {
        error = "the packet could not be sent";
        return false;
    }
    return Receive(run, expected, timeoutMs, error);
}

// The first sanitizer report on the program's standard error, or "".
std::string SanitizerReport(const ProgramRun& run) {
    const std::string text = ReadText(run.dir + "/stderr.txt");
    static const char* const kMarks[] = {
        "ERROR: AddressSanitizer", "runtime error:", "ERROR: LeakSanitizer",
        "AddressSanitizer:DEADLYSIGNAL", "UndefinedBehaviorSanitizer"};
    size_t first = std::string::npos;
    for (const char* mark : kMarks) first = std::min(first, text.find(mark));
    if (first == std::string::npos) return "";
    const size_t start = text.rfind('\n', first);
    return text.substr(start == std::string::npos ? 0 : start + 1, 6000);
}

// The end of every run: one more packet answered, no report.
bool FinalCheck(ProgramRun& run, int timeoutMs, std::string& error) {
    const Bytes probe = {0x00, 0xA3, 0x00, 0x00};  // select port 1
    if (!Exchange(run, probe, timeoutMs, error)) {
        error = "at the final check: " + error;
        return false;
    }
    if (!SanitizerReport(run).empty()) {
        error = "a sanitizer report";
        return false;
    }
    return true;
}

void PrintFailure(const ProgramRun& run, const std::string& what) {
    std::fflush(stdout);
    std::fprintf(stderr, "soak: FAILED: %s\n", what.c_str());
    std::fprintf(stderr, "soak: the last packets, oldest first:\n");
    for (const ProgramRun::Step& step : run.recent) {
        if (!step.click.empty()) {
            std::fprintf(stderr, "  %s\n", step.click.c_str());
            continue;
        }
        std::string text = PacketText(step.packet.data(), step.packet.size(), run.dir);
        if (text.size() > 200) text = text.substr(0, 160) + " ... (whole in the replay file)";
        std::fprintf(stderr, "  %s\n    send %s\n",
                     DescribePacket(step.packet, step.mailbox.data()).c_str(), text.c_str());
    }
    const std::string report = SanitizerReport(run);
    if (!report.empty())
        std::fprintf(stderr, "soak: the program's report:\n%s\n", report.c_str());
    else
        std::fprintf(stderr, "soak: the program's standard error ends:\n%s\n",
                     Tail(ReadText(run.dir + "/stderr.txt"), 15).c_str());
    std::fprintf(stderr, "soak: its log ends:\n%s\n",
                 Tail(ReadText(run.dir + "/stdout.txt"), 8).c_str());
    std::fprintf(stderr, "soak: its dialogs end:\n%s\n",
                 Tail(ReadText(run.dir + "/dialogs.log"), 5).c_str());
    std::fprintf(stderr, "soak: files kept in %s\n", run.dir.c_str());
}

// The last packets as a replay file. The first is written as the whole
// mailbox it left, so the commands see the same bytes as in the run.
void WriteFailureReplay(const ProgramRun& run, const std::string& path, uint64_t seed, bool special,
                        const std::string& what) {
    std::ofstream out(path);
    out << "# soak failure, seed " << seed << ": " << what << "\n";
    out << "# The layout the earlier packets built is not part of this file; when it does\n";
    out << "# not fail alone, run the whole soak again with the same seed and --steps.\n";
    out << "fixtures " << seed << (special ? " special" : "") << "\n";
    bool first = true;
    for (const ProgramRun::Step& step : run.recent) {
        if (!step.click.empty()) {
            out << step.click << "\n";
            continue;
        }
        out << "# " << DescribePacket(step.packet, step.mailbox.data()) << "\nsend "
            << (first ? PacketText(step.mailbox.data(), kMailboxSize, run.dir)
                      : PacketText(step.packet.data(), step.packet.size(), run.dir))
            << "\n";
        first = false;
    }
    std::fprintf(stderr, "soak: the last packets are in the replay file %s\n", path.c_str());
}

bool MakeWorkDir(std::string& dir) {
    char pattern[] = "/tmp/quorvane-soak-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("soak: mkdtemp");
        return false;
    }
    dir = pattern;
    return true;
}

void RemoveWorkDir(const std::string& dir) {
    if (dir.rfind("/tmp/quorvane-soak-", 0) != 0) return;
    chmod(dir.c_str(), 0755);
    const std::string command = "rm -rf '" + dir + "'";
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "soak: could not remove %s\n", dir.c_str());
}

struct Options {
    double seconds = 60;
    uint64_t seed = 0;
    long steps = 0;
    bool special = false;
    double stepTimeout = 10;
    bool keep = false;
    bool clicks = true;
    std::string program;
    std::string failureReplay;
    std::vector<std::string> replays;
};

int RunSoak(const Options& options) {
    ProgramRun run;
    if (!MakeWorkDir(run.dir)) return 2;
    std::printf("soak: seed %llu, %g s, work directory %s%s\n", (unsigned long long)options.seed,
                options.seconds, run.dir.c_str(), options.special ? ", special paths" : "");
    std::fflush(stdout);
    FixturePools pools;
    if (!MakeFixtures(run.dir, options.seed, options.special, pools)) return 2;
    SoakRandom random{std::mt19937_64(options.seed)};
    std::string error;
    if (!StartProgram(run, options.program, pools.scriptLines) || !Connect(run, error)) {
        PrintFailure(run, error.empty() ? "the program did not start" : error);
        StopProgram(run);
        return 1;
    }
    const int timeoutMs = int(options.stepTimeout * 1000);
    if (options.clicks) {
        run.window = FindLayoutWindow();
        if (run.window.empty())
            std::printf("soak: no layout window found (no xdotool?), packets only\n");
    }
    const bool clicking = !run.window.empty();
    const auto start = Clock::now();
    const auto end = start + std::chrono::milliseconds(long(options.seconds * 1000));
    long step = 0, clicks = 0;
    std::map<int, long> perCode;
    bool ok = true;
    while (Clock::now() < end && (options.steps == 0 || step < options.steps)) {
        if (Chance(random, 0.15)) {
            // In the default 640 x 480 window; clicks need no pacing. Drawn
            // without clicks too, so a seed makes the same packets either way.
            const int button = Chance(random, 0.7) ? 1 : 3;
            const int x = Between(random, 0, 639), y = Between(random, 0, 479);
            if (!clicking) continue;
            ++step;
            ++clicks;
            if (!Click(run, button, x, y, error)) {
                error = "step " + std::to_string(step) + ": " + error;
                ok = false;
                break;
            }
            continue;
        }
        Bytes packet = MakePacket(random, pools);
        uint8_t next[kMailboxSize];
        std::memcpy(next, run.mailbox, kMailboxSize);
        std::memcpy(next, packet.data(), packet.size());
        if (!WritesStayInside(next, run.dir)) continue;
        ++step;
        ++perCode[next[0] << 8 | next[1]];
        bool answered = Exchange(run, packet, timeoutMs, error);
        // Half the video starts get time to play before the next packet
        // (which may well stop them), so conversions run to their end too.
        if (answered && next[0] == 0 && next[1] == uint8_t(CommandCode::StartVideo) &&
            Chance(random, 0.5))
            answered = Receive(run, 0, Between(random, 500, 3000), error);
        if (!answered) {
            error = "step " + std::to_string(step) + ": " + error;
            ok = false;
            break;
        }
    }
    if (ok && !FinalCheck(run, timeoutMs, error)) ok = false;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const std::string dialogs = ReadText(run.dir + "/dialogs.log");
    long boxes = 0, saves = 0;
    for (size_t at = 0; (at = dialogs.find("\nbox ", at)) != std::string::npos; ++at) ++boxes;
    for (size_t at = 0; (at = dialogs.find("\nsave ", at)) != std::string::npos; ++at) ++saves;
    long commands = 0, codes = 0;
    for (const auto& [code, count] : perCode) {
        if (!IsCommandCode(uint16_t(code))) continue;
        commands += count;
        ++codes;
    }
    std::printf(
        "soak: %ld packets and %ld clicks in %.1f s (%ld packets with one of %ld command "
        "codes), %ld progress and %ld port messages, %ld boxes, %ld save dialogs\n",
        step - clicks, clicks, elapsed, commands, codes, run.progressMessages, run.portMessages,
        boxes, saves);
    if (!ok) {
        PrintFailure(run, error);
        const std::string replay = options.failureReplay.empty()
                                       ? "soak-failure-" + std::to_string(options.seed) + ".replay"
                                       : options.failureReplay;
        WriteFailureReplay(run, replay, options.seed, options.special, error);
        std::fprintf(stderr, "soak: run it again with: quorvane_soak --seed %llu --steps %ld%s%s\n",
                     (unsigned long long)options.seed, step,
                     options.special ? " --special-paths" : "", clicking ? "" : " --no-clicks");
        StopProgram(run);
        return 1;
    }
    StopProgram(run);
    if (!options.keep) RemoveWorkDir(run.dir);
    std::printf("soak: ok, the program still answers, no sanitizer report (seed %llu)\n",
                (unsigned long long)options.seed);
    return 0;
}

// Runs one replay file; 0 passed, 1 failed, 2 the file is wrong.
int RunReplay(const Options& options, const std::string& file) {
    std::ifstream in(file);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read the file\n", file.c_str());
        return 2;
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    ProgramRun run;
    if (!MakeWorkDir(run.dir)) return 2;
    auto expand = [&](std::string text) {
        for (size_t at; (at = text.find("{dir}")) != std::string::npos;)
            text.replace(at, 5, run.dir);
        return text;
    };
    // Set-up lines first, then the program starts at the first send or wait.
    std::vector<std::string> script;
    size_t i = 0;
    int timeoutMs = int(options.stepTimeout * 1000);
    for (; i < lines.size(); ++i) {
        std::istringstream words(lines[i]);
        std::string verb, name;
        words >> verb;
        if (verb.empty() || verb[0] == '#') continue;
        if (verb == "send" || verb == "wait" || verb == "click" || verb == "expect-dialog") break;
        bool ok = true;
        if (verb == "fixtures") {
            unsigned long long seed = 0;
            std::string special;
            words >> seed >> special;
            FixturePools pools;
            ok = MakeFixtures(run.dir, seed, special == "special", pools);
            script.insert(script.end(), pools.scriptLines.begin(), pools.scriptLines.end());
        } else if (verb == "special") {
            ok = MakeSpecialFiles(run.dir);
        } else if (verb == "mkdir" && (words >> name)) {
            ok = mkdir((run.dir + "/" + name).c_str(), 0755) == 0;
        } else if (verb == "fifo" && (words >> name)) {
            ok = mkfifo((run.dir + "/" + name).c_str(), 0644) == 0;
        } else if (verb == "socket" && (words >> name)) {
            ok = MakeListeningSocket(run.dir + "/" + name);
        } else if (verb == "file" && (words >> name)) {
            std::string rest, parseError;
            std::getline(words, rest);
            Bytes bytes;
            ok = rest.find_first_not_of(' ') == std::string::npos ||
                 ParsePacketText(rest, run.dir, bytes, parseError);
            ok = ok && WriteFileBytes(run.dir + "/" + name, bytes);
        } else if (verb == "script") {
            script.push_back(expand(lines[i].substr(lines[i].find("script") + 7)));
        } else if (verb == "step-timeout") {
            double seconds = 0;
            ok = bool(words >> seconds) && seconds > 0;
            timeoutMs = int(seconds * 1000);
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "%s:%zu: cannot do \"%s\"\n", file.c_str(), i + 1,
                         lines[i].c_str());
            RemoveWorkDir(run.dir);
            return 2;
        }
    }
    std::string error;
    if (!StartProgram(run, options.program, script) || !Connect(run, error)) {
        PrintFailure(run, error.empty() ? "the program did not start" : error);
        StopProgram(run);
        return 1;
    }
    std::vector<std::string> expectations;
    bool ok = true;
    for (; i < lines.size() && ok; ++i) {
        std::istringstream words(lines[i]);
        std::string verb;
        words >> verb;
        if (verb.empty() || verb[0] == '#') continue;
        std::string rest;
        std::getline(words, rest);
        if (verb == "send") {
            Bytes packet;
            std::string parseError;
            if (!ParsePacketText(rest, run.dir, packet, parseError)) {
                std::fprintf(stderr, "%s:%zu: %s\n", file.c_str(), i + 1, parseError.c_str());
                StopProgram(run);
                return 2;
            }
            if (!Exchange(run, packet, timeoutMs, error)) {
                error = file + ":" + std::to_string(i + 1) + ": " + error;
                ok = false;
            }
        } else if (verb == "wait") {
            ok = Receive(run, 0, std::atoi(rest.c_str()), error);
        } else if (verb == "click") {
            int button = 0, x = 0, y = 0;
            if (std::sscanf(rest.c_str(), "%d %d %d", &button, &x, &y) != 3) {
                std::fprintf(stderr, "%s:%zu: click BUTTON X Y\n", file.c_str(), i + 1);
                StopProgram(run);
                return 2;
            }
            ok = Click(run, button, x, y, error);
        } else if (verb == "expect-dialog") {
            // The text in quotes, as the dialog log writes it.
            const size_t open = rest.find('"'), close = rest.rfind('"');
            if (open == std::string::npos || close == open) {
                std::fprintf(stderr, "%s:%zu: the text must be in quotes\n", file.c_str(), i + 1);
                StopProgram(run);
                return 2;
            }
            expectations.push_back(expand(rest.substr(open + 1, close - open - 1)));
        } else {
            std::fprintf(stderr, "%s:%zu: unknown line \"%s\"\n", file.c_str(), i + 1,
                         lines[i].c_str());
            StopProgram(run);
            return 2;
        }
    }
    if (ok) ok = FinalCheck(run, timeoutMs, error);
    const std::string dialogs = ReadText(run.dir + "/dialogs.log");
    for (const std::string& text : expectations) {
        if (ok && dialogs.find(text) == std::string::npos) {
            error = "the dialogs do not show \"" + text + "\"";
            ok = false;
        }
    }
    if (!ok) {
        PrintFailure(run, error);
        StopProgram(run);
        return 1;
    }
    StopProgram(run);
    if (!options.keep) RemoveWorkDir(run.dir);
    std::printf("replay %s: ok%s\n", file.c_str(),
                options.keep ? (", files in " + run.dir).c_str() : "");
    return 0;
}

std::string DefaultProgram(const char* argv0) {
    std::string self = argv0;
    const size_t slash = self.rfind('/');
    return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) +
           "/quorvane_scripted";
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app{
        "Drives quorvane_scripted with random command packets and checks that it "
        "neither crashes, reports a sanitizer error nor stops answering."};
    app.add_option("--seconds", options.seconds,
                   "how long to send packets (default 60, or $SOAK_SECONDS)");
    app.add_option("--seed", options.seed,
                   "the seed of the files and packets (default: the time, or $SOAK_SEED)");
    app.add_option("--steps", options.steps, "stop after this many packets");
    app.add_flag("--special-paths", options.special,
                 "also paths that are no regular file: FIFO, directory, socket, devices, URLs");
    app.add_option("--step-timeout", options.stepTimeout,
                   "seconds to wait for each answer (default 10)");
    app.add_option("--program", options.program,
                   "the program to drive (default: quorvane_scripted beside this one)");
    app.add_option("--failure-replay", options.failureReplay, "where a failure's replay file goes");
    app.add_flag("--keep", options.keep, "keep the work directory of a passing run or replay");
    app.add_flag("!--no-clicks", options.clicks, "send packets only, no mouse clicks");
    app.add_option("--replay", options.replays, "run these replay files instead of a soak")
        ->expected(1, -1);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    if (options.program.empty()) options.program = DefaultProgram(argv[0]);
    if (app.count("--seconds") == 0 && std::getenv("SOAK_SECONDS"))
        options.seconds = std::atof(std::getenv("SOAK_SECONDS"));
    if (app.count("--seed") == 0) {
        if (std::getenv("SOAK_SEED"))
            options.seed = std::strtoull(std::getenv("SOAK_SEED"), nullptr, 10);
        else
            options.seed = uint64_t(std::chrono::system_clock::now().time_since_epoch().count()) %
                           1000000007ULL;
    }
    char* absolute = realpath(options.program.c_str(), nullptr);
    if (absolute == nullptr || access(absolute, X_OK) != 0) {
        std::fprintf(stderr, "%s: not an executable program\n", options.program.c_str());
        return 2;
    }
    options.program = absolute;  // the program starts in the work directory
    std::free(absolute);
    signal(SIGPIPE, SIG_IGN);
    if (options.replays.empty()) return RunSoak(options);
    int worst = 0;
    for (const std::string& file : options.replays)
        worst = std::max(worst, RunReplay(options, file));
    return worst;
}
