// Paths that do not name a regular file, end to end: the real
// quorvane_scripted program on port 2023 gets, for every command that reads
// a file, a FIFO (no writer: a blocking open would hang for good), a
// directory, a socket, a device and a URL to Quorvane's own port. Each must
// fail on the command's own failure path (its message, or silence) and the
// program must go on answering: the packet after it is answered within a
// second.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/common.h"
#include "common/packet.h"
#include "common/protocol.h"
#include "support/process.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kAnswerWithinMs = 1000;

Bytes Packet(CommandCode code, const std::string& path, uint16_t port = 0) {
    Bytes packet(4 + path.size() + 1, 0);
    WriteBE16(packet.data(), uint16_t(code));
    WriteBE16(packet.data() + 2, port);
    std::memcpy(packet.data() + 4, path.c_str(), path.size());
    return packet;
}

// Sends one packet and waits for the window-geometry message that answers it.
bool Answered(int fd, const Bytes& packet) {
    if (::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL) != ssize_t(packet.size()))
        return false;
    return ReadAvailable(fd, kWindowGeometryMessageSize, kAnswerWithinMs).size() ==
           size_t(kWindowGeometryMessageSize);
}

// The texts of the boxes logged after byte `from` of the script log.
std::vector<std::string> BoxesSince(const std::string& log, size_t from) {
    std::vector<std::string> texts;
    const std::string key = " text=\"";
    for (size_t at = log.find(key, from); at != std::string::npos; at = log.find(key, at + 1)) {
        const size_t end = log.find("\" answer=", at);
        texts.push_back(log.substr(at + key.size(), end - at - key.size()));
    }
    return texts;
}

enum class Kind { Fifo, Directory, Socket, Device, Url };

struct KindName {
    Kind kind;
    const char* name;
} const kKinds[] = {{Kind::Fifo, "fifo"},
                    {Kind::Directory, "directory"},
                    {Kind::Socket, "socket"},
                    {Kind::Device, "device"},
                    {Kind::Url, "url"}};

// A path of the kind, named `<kind><extension>` in `dir` (made on first use).
std::string MakePath(const ScopedTempDir& dir, const KindName& kind, const std::string& extension,
                     std::vector<int>& sockets) {
    if (kind.kind == Kind::Url)
        return "tcp://127.0.0.1:2023" + (extension.empty() ? "" : "/x" + extension);
    const std::string path = dir.File(std::string(kind.name) + extension);
    struct stat info;
    if (::lstat(path.c_str(), &info) == 0) return path;
    switch (kind.kind) {
        case Kind::Fifo:
            ::mkfifo(path.c_str(), 0644);
            break;
        case Kind::Directory:
            std::filesystem::create_directory(path);
            break;
        case Kind::Socket: {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address = {};
            address.sun_family = AF_UNIX;
            std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
            ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            sockets.push_back(fd);
            break;
        }
        case Kind::Device:
            ::symlink("/dev/zero", path.c_str());  // endless bytes when read
            break;
        case Kind::Url:
            break;
    }
    return path;
}

struct Command {
    const char* name;
    const char* extension;
    CommandCode code;
    Bytes trigger;         // the packet that makes the program read, if not `code` itself
    bool viaImportList;    // the path stands in an import list opened with 177
    const char* existing;  // the message for a path that exists; nullptr: none
    const char* missing;   // and for one that does not (the URL)
};

TEST(PathKindsEndToEnd, NoCommandOpensWhatIsNotAFileOrStops) {
    ScopedTempDir dir;
    const Bytes startPreview = {0x00, 0xAA, 0, 100, 100, 100, 0, 0, 0, 0};
    Bytes convertRaw(kPacketSize, 0);
    WriteBE16(convertRaw.data(), uint16_t(CommandCode::ConvertRawFrames));
    convertRaw[4] = '4';
    convertRaw[8] = '8';
    const std::string output = dir.File("r.avi");
    std::memcpy(convertRaw.data() + 12, output.c_str(), output.size());

    const char* cannotOpen = " The file can not be opened ";
    const char* texture = "Texture can be loaded";
    const char* access = "Error access file ";
    const Command commands[] = {
        {"chain file", ".line", CommandCode::LoadChainFile, {}, false, nullptr, nullptr},
        {"video", ".avi", CommandCode::SetVideoPath, startPreview, false, nullptr, nullptr},
        {"project", ".quor", CommandCode::OpenFile, {}, false, nullptr, nullptr},
        {"import list", ".iqp", CommandCode::OpenFile, {}, false, nullptr, access},
        {"import file", ".iql", CommandCode::OpenFile, {}, true, "Error size *.iql file ", access},
        {"bitmap", ".bmp", CommandCode::LoadBackgroundImage, {}, false, texture, texture},
        {"raw frames", ".raw", CommandCode::SetRawFramePath, convertRaw, false, cannotOpen,
         cannotOpen},
    };

    WriteWholeFile(dir.File("script.txt"), "");
    WriteExecutable(dir.File("Quorvane_Net.exe"),
                    "#!/bin/sh\necho $$ > standin.pid\nexec sleep 60\n");
    const std::string log = dir.File("script.log");
    // Stops the program and its stand-in however the test ends.
    struct Cleanup {
        ChildProcess program;
        int client = -1;
        std::vector<int> sockets;
        std::string pidFile;
        ~Cleanup() {
            if (client >= 0) ::close(client);
            for (int fd : sockets) ::close(fd);
            const std::string pid = ReadWholeFile(pidFile);
            if (!pid.empty()) ::kill(std::stoi(pid), SIGKILL);
            StopChild(program);
        }
    } run;
    run.pidFile = dir.File("standin.pid");
    run.program =
        StartChild(BuildDirectory() + "/quorvane_scripted", {}, dir.path(), "quorvane",
                   {"QUORVANE_SCRIPT=" + dir.File("script.txt"), "QUORVANE_SCRIPT_LOG=" + log});
    run.client = ConnectLoopback(kCommandPort, 15000);
    const int client = run.client;
    ASSERT_GE(client, 0);
    // The first answer comes once the window is up.
    const Bytes first = Packet(CommandCode::SelectPort, "", 0);
    ASSERT_EQ(::send(client, first.data(), first.size(), MSG_NOSIGNAL), ssize_t(first.size()));
    ASSERT_EQ(ReadAvailable(client, kWindowGeometryMessageSize, 15000).size(),
              size_t(kWindowGeometryMessageSize));

    for (const Command& command : commands) {
        for (const KindName& kind : kKinds) {
            SCOPED_TRACE(std::string(command.name) + " as " + kind.name);
            std::string path = MakePath(dir, kind, command.extension, run.sockets);
            if (command.viaImportList) {
                const std::string list = dir.File(std::string("list-") + kind.name + ".iqp");
                const std::string entry =
                    kind.kind == Kind::Url ? path : std::filesystem::path(path).filename().string();
                WriteWholeFile(list, entry + "\r\n");
                path = list;
            }
            const size_t logBefore = ReadWholeFile(log).size();
            const auto start = std::chrono::steady_clock::now();
            bool answered = Answered(client, Packet(command.code, path));
            if (answered && !command.trigger.empty()) answered = Answered(client, command.trigger);
            // The next packet finds the program free: the read above has ended.
            answered = answered && Answered(client, Packet(CommandCode::SelectPort, "", 0));
            const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start);
            ASSERT_TRUE(answered) << "no answer after " << took.count() << " ms";

            const char* message = kind.kind == Kind::Url ? command.missing : command.existing;
            const std::vector<std::string> expected =
                message ? std::vector<std::string>{message} : std::vector<std::string>{};
            EXPECT_EQ(BoxesSince(ReadWholeFile(log), logBefore), expected);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(output));
}

}  // namespace
