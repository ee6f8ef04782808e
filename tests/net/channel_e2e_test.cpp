// The command channel end to end: the real quorvane_scripted program under
// Xvfb in a temporary directory, with a stand-in control program that only
// sleeps, and this test as the one client on 127.0.0.1:2023. The program's
// standard output (the channel's log) goes to a file that the test reads.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/protocol.h"
#include "support/process.h"
#include "support/test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using Bytes = std::vector<uint8_t>;

constexpr milliseconds kStartWait{15000};
constexpr milliseconds kReplyWait{5000};
// Longer than a few 40 ms timer ticks: what has not happened by then won't.
constexpr milliseconds kQuietWait{400};

// One program run in `dir`, in a process group of its own so that stopping
// it also ends the stand-in control program it launched.
class ProgramRun {
public:
    explicit ProgramRun(const std::string& dir) : log_(dir + "/stdout.txt") {
        WriteExecutable(dir + "/Quorvane_Net.exe", "#!/bin/sh\nexec sleep 60\n");
        std::string program = BuildDirectory() + "/quorvane_scripted";
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setpgid(0, 0);
            int out = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err = ::open((dir + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (::chdir(dir.c_str()) != 0 || out < 0 || err < 0) ::_exit(127);
            ::dup2(out, 1);
            ::dup2(err, 2);
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (pid_ > 0) ::setpgid(pid_, pid_);
    }
    ~ProgramRun() {
        if (pid_ <= 0) return;
        ::kill(-pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    bool started() const { return pid_ > 0; }
    std::string Output() const { return ReadWholeFile(log_); }

    // Waits until the output holds `text` `times` times; false at the deadline.
    bool WaitForOutput(const std::string& text, int times = 1, milliseconds within = kReplyWait) {
        auto deadline = Clock::now() + within;
        do {
            if (Count(Output(), text) >= times) return true;
            std::this_thread::sleep_for(milliseconds(2));
        } while (Clock::now() < deadline);
        return false;
    }

    static int Count(const std::string& haystack, const std::string& needle) {
        int n = 0;
        for (size_t at = haystack.find(needle); at != std::string::npos;
             at = haystack.find(needle, at + needle.size()))
            ++n;
        return n;
    }

private:
    std::string log_;
    pid_t pid_ = -1;
};

// A client of the program's command port, sending each packet at once.
int ConnectClient(milliseconds within) {
    int fd = ConnectLoopback(kCommandPort, int(within.count()));
    int on = 1;
    if (fd >= 0) ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

int LocalPort(int fd) {
    sockaddr_in address = {};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

void Send(int fd, const Bytes& bytes) {
    ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
}

Bytes Receive(int fd, size_t size, milliseconds within) {
    std::string data = ReadAvailable(fd, size, int(within.count()));
    return Bytes(data.begin(), data.end());
}

// Bytes 0..2 of a settings colour in Configuration.dat, or "" before it exists.
std::string SavedSettingsColor(int offset) {
    std::string file = ReadWholeFile("Configuration.dat");
    if (file.size() < size_t(offset) + 3) return "";
    return file.substr(size_t(offset), 3);
}
constexpr int kGridDotOffset = 0;
constexpr int kBackgroundOffset = 4;
constexpr int kFrameOffset = 8;

bool WaitForColor(int offset, const std::string& rgb, milliseconds within = kReplyWait) {
    auto deadline = Clock::now() + within;
    do {
        if (SavedSettingsColor(offset) == rgb) return true;
        std::this_thread::sleep_for(milliseconds(10));
    } while (Clock::now() < deadline);
    return false;
}

// The program started in a temp dir, with this test connected as its first
// and only served client.
class ChannelEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        program_ = std::make_unique<ProgramRun>(dir_.path());
        ASSERT_TRUE(program_->started());
        client_ = ConnectClient(kStartWait);
        ASSERT_GE(client_, 0) << "nothing listens on port " << kCommandPort;
        accepted_ = "Accepted client: 127.0.0.1:" + std::to_string(LocalPort(client_)) + "\n";
        ASSERT_TRUE(program_->WaitForOutput(accepted_, 1, kStartWait))
            << "not accepted as the first client (another program on the port?):\n"
            << program_->Output();
    }
    void TearDown() override {
        if (client_ >= 0) ::close(client_);
        program_.reset();
    }

    // Sends one packet and returns the 18-byte geometry message it yields.
    Bytes Exchange(const Bytes& packet) {
        Send(client_, packet);
        return Receive(client_, kWindowGeometryMessageSize, kReplyWait);
    }

    ScopedTempDir dir_;
    std::unique_ptr<ProgramRun> program_;
    int client_ = -1;
    std::string accepted_;
};

TEST_F(ChannelEndToEnd, EveryPacketIsLoggedAndAnsweredByOneGeometryMessageFirst) {
    // Known, unknown and gap codes alike; one packet per exchange.
    const Bytes packets[] = {
        {0x00, 0xA3, 0x00, 0x02},           // 163 select port
        {0x00, 0x00},                       // 0
        {0x00, 0xBC, 1, 2, 3},              // 188, a gap in the table
        {0xFF, 0xFF},                       // 65535
        {0x00, 0xAB},                       // 171 disk shape
        {0x00, 0xA6, 0x00, 0x00, 7, 8, 9},  // 166 background colour
    };
    std::string expectedLog = accepted_;
    int sent = 0;
    for (const Bytes& packet : packets) {
        Bytes reply = Exchange(packet);
        ASSERT_EQ(reply.size(), size_t(kWindowGeometryMessageSize));
        EXPECT_EQ(reply[0], 0x00);
        EXPECT_EQ(reply[1], kWindowGeometryTag);
        // The geometry sent is the geometry just tracked into the settings file.
        std::string file = ReadWholeFile("Configuration.dat");
        ASSERT_GE(file.size(), 32u);
        EXPECT_EQ(file.substr(16, 16), std::string(reply.begin() + 2, reply.end()));
        // The dispatcher logs right after sending; wait for it before the next
        // packet, as the two threads' lines may otherwise interleave.
        ++sent;
        EXPECT_TRUE(program_->WaitForOutput("Send_Windows_Pos \n", sent));
        expectedLog += "Get: " + std::to_string(packet[0] * 256 + packet[1]) + "----" +
                       std::to_string(packet.size()) + " Bytes\nSend_Windows_Pos \n";
    }
    EXPECT_TRUE(WaitForColor(kBackgroundOffset, "\x07\x08\x09"));
    EXPECT_TRUE(Receive(client_, 1, kQuietWait).empty()) << "more than one message per packet";
    EXPECT_EQ(program_->Output(), expectedLog);
}

TEST_F(ChannelEndToEnd, OneBytePacketTakesItsCodeAndPayloadFromThePreviousPacket) {
    // Code 0x01A7 is not a command; its bytes stay in the mailbox.
    ASSERT_EQ(Exchange({0x01, 0xA7, 0x00, 0x00, 40, 50, 60}).size(),
              size_t(kWindowGeometryMessageSize));
    std::this_thread::sleep_for(kQuietWait);
    EXPECT_NE(SavedSettingsColor(kFrameOffset), "\x28\x32\x3C");

    // 0x00 then the stale 0xA7: the frame colour command with the stale colour.
    ASSERT_EQ(Exchange({0x00}).size(), size_t(kWindowGeometryMessageSize));
    EXPECT_TRUE(program_->WaitForOutput("Get: 423----7 Bytes\n"));
    EXPECT_TRUE(program_->WaitForOutput("Get: 167----1 Bytes\n"));
    EXPECT_TRUE(WaitForColor(kFrameOffset, "\x28\x32\x3C"));
}

TEST_F(ChannelEndToEnd, NewestPacketWithinOneTickWins) {
    // Two packets a few milliseconds apart usually meet within one 40 ms
    // tick; a pair that straddles a tick is run twice and tried again. The
    // second is sent once the first is logged, so each is a packet of its
    // own. The program's own log decides which case happened: once the newer
    // command's colour is on disk nothing is pending, and every command it
    // ran printed its "Send_Windows_Pos " line before that.
    ASSERT_EQ(Exchange({0x00, 0x00}).size(), size_t(kWindowGeometryMessageSize));  // timer runs
    // The geometry reply goes out just before its log line: let it land, then
    // keep the count of commands run by adding what each attempt ran.
    std::this_thread::sleep_for(kQuietWait);
    int dispatched = ProgramRun::Count(program_->Output(), "Send_Windows_Pos \n");
    for (int attempt = 1; attempt <= 20; ++attempt) {
        const uint8_t older = uint8_t(attempt), newer = uint8_t(100 + attempt);
        const int gets = ProgramRun::Count(program_->Output(), "Get: ");
        Send(client_, {0x00, 0xA6, 0x00, 0x00, older, older, older});  // background
        ASSERT_TRUE(program_->WaitForOutput("Get: ", gets + 1));
        Send(client_, {0x00, 0xA8, 0x00, 0x00, newer, newer, newer});  // grid dots
        ASSERT_TRUE(program_->WaitForOutput("Get: ", gets + 2)) << program_->Output();
        ASSERT_TRUE(WaitForColor(kGridDotOffset, std::string(3, char(newer))));

        const int runs = ProgramRun::Count(program_->Output(), "Send_Windows_Pos \n") - dispatched;
        Bytes replies = Receive(client_, size_t(runs) * kWindowGeometryMessageSize, kReplyWait);
        ASSERT_EQ(replies.size(), size_t(runs) * kWindowGeometryMessageSize);
        dispatched += runs;
        if (runs == 2) continue;  // the pair straddled a tick

        EXPECT_EQ(runs, 1);
        EXPECT_NE(SavedSettingsColor(kBackgroundOffset), std::string(3, char(older)))
            << "the replaced packet was executed";
        EXPECT_TRUE(Receive(client_, 1, kQuietWait).empty()) << "a second command ran";
        EXPECT_EQ(ProgramRun::Count(program_->Output(), "Get: "), gets + 2);
        return;
    }
    FAIL() << "no two packets met within one tick in 20 attempts";
}

TEST_F(ChannelEndToEnd, NoOtherClientIsEverServed) {
    int second = ConnectClient(kReplyWait);  // the backlog still takes it
    ASSERT_GE(second, 0);
    Send(second, {0x00, 0xA6, 0x00, 0x00, 1, 2, 3});
    EXPECT_TRUE(Receive(second, 1, kQuietWait).empty());
    ::close(second);

    // The first client is still the one served.
    ASSERT_EQ(Exchange({0x00, 0xA3, 0x00, 0x01}).size(), size_t(kWindowGeometryMessageSize));

    // After the first client leaves, a new one is never accepted either.
    ::close(client_);
    client_ = -1;
    int third = ConnectClient(kReplyWait);
    ASSERT_GE(third, 0);
    Send(third, {0x00, 0xA6, 0x00, 0x00, 1, 2, 3});
    EXPECT_TRUE(Receive(third, 1, kQuietWait).empty());
    ::close(third);

    EXPECT_EQ(program_->Output(), accepted_ + "Get: 163----4 Bytes\nSend_Windows_Pos \n");
    EXPECT_NE(SavedSettingsColor(kBackgroundOffset), "\x01\x02\x03");
}

TEST_F(ChannelEndToEnd, SecondRunningCopyReportsTheBindFailure) {
    std::string secondDir = dir_.File("second");
    ASSERT_EQ(::mkdir(secondDir.c_str(), 0755), 0);
    ProgramRun second(secondDir);
    ASSERT_TRUE(second.started());
    std::string failure = "bind() failed: " + std::to_string(EADDRINUSE) + "\n";
    EXPECT_TRUE(second.WaitForOutput(failure, 1, kStartWait)) << second.Output();
    // The first copy keeps serving its client.
    EXPECT_EQ(Exchange({0x00, 0xAB}).size(), size_t(kWindowGeometryMessageSize));
    EXPECT_EQ(second.Output(), failure);
}

}  // namespace
