// The hand-over between the receive thread and the GUI thread, built with
// ThreadSanitizer: the mailbox under concurrent writers and readers, and the
// server with a real loopback client while the GUI side sends and takes.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "common/protocol.h"
#include "net/server.h"

namespace {

using Clock = std::chrono::steady_clock;

// Every byte of a test packet holds its value; its length follows from it.
int LengthFor(uint8_t value) {
    return 1 + value * 7;
}

TEST(Mailbox, NewestPacketReplacesAnUntakenOneAndTheTailStays) {
    ResetPacketMailbox();
    const uint8_t first[] = {1, 2, 3, 4, 5};
    const uint8_t second[] = {9, 8, 7};
    PostPacket(first, sizeof first);
    PostPacket(second, sizeof second);

    uint8_t packet[kPacketSize];
    int length = 0;
    ASSERT_TRUE(TakePacket(packet, &length));
    EXPECT_EQ(length, 3);
    const uint8_t expected[] = {9, 8, 7, 4, 5, 0};
    EXPECT_EQ(std::memcmp(packet, expected, sizeof expected), 0);
    EXPECT_FALSE(TakePacket(packet, &length));  // one slot: the first packet is gone
}

TEST(Mailbox, ConcurrentWritersAndReadersOnlySeeWholePackets) {
    ResetPacketMailbox();
    constexpr int kWriters = 2;
    constexpr int kReaders = 2;
    constexpr int kPostsPerWriter = 20000;
    std::atomic<int> writersLeft{kWriters};
    std::atomic<int> torn{0};
    std::atomic<int> taken{0};

    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([w, &writersLeft] {
            std::vector<uint8_t> bytes(kPacketSize);
            for (int i = 0; i < kPostsPerWriter; ++i) {
                uint8_t value = uint8_t(1 + (i * kWriters + w) % 255);
                std::memset(bytes.data(), value, size_t(LengthFor(value)));
                PostPacket(bytes.data(), LengthFor(value));
            }
            writersLeft.fetch_sub(1);
        });
    }
    for (int r = 0; r < kReaders; ++r) {
        threads.emplace_back([&] {
            uint8_t packet[kPacketSize];
            int length = 0;
            while (writersLeft.load() > 0 || taken.load() == 0) {
                if (!TakePacket(packet, &length)) continue;
                taken.fetch_add(1);
                uint8_t value = packet[0];
                bool whole = length == LengthFor(value);
                for (int i = 0; whole && i < length; ++i) whole = packet[i] == value;
                if (!whole) torn.fetch_add(1);
            }
        });
    }
    for (std::thread& t : threads) t.join();

    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(taken.load(), 0);
    // After the burst the newest packet still waits, once.
    uint8_t packet[kPacketSize];
    int length = 0;
    const uint8_t last[] = {0x00, 0xA3, 0x00, 0x05};
    PostPacket(last, sizeof last);
    ASSERT_TRUE(TakePacket(packet, &length));
    EXPECT_EQ(length, 4);
    EXPECT_EQ(std::memcmp(packet, last, sizeof last), 0);
    EXPECT_FALSE(TakePacket(packet, &length));
}

int ConnectLoopback(std::chrono::milliseconds within) {
    auto deadline = Clock::now() + within;
    while (Clock::now() < deadline) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(kCommandPort);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
        ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

// Receives exactly `size` bytes unless the deadline passes first.
bool ReceiveExactly(int fd, uint8_t* out, size_t size, std::chrono::milliseconds within) {
    auto deadline = Clock::now() + within;
    size_t got = 0;
    while (got < size) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p = {fd, POLLIN, 0};
        if (::poll(&p, 1, int(left.count())) <= 0) continue;
        ssize_t n = ::recv(fd, out + got, size - got, 0);
        if (n <= 0) return false;
        got += size_t(n);
    }
    return true;
}

TEST(CommandServer, RealClientPacketsComeInAndMessagesGoOut) {
    ResetPacketMailbox();
    const uint8_t message[] = {0x00, kPortLoadedTag, 0x00, 0x07};
    SendToControl(message, sizeof message);  // no client yet: dropped without error
    StartCommandServer();

    // The client connects while this (GUI) thread keeps sending, so the
    // receive thread publishes the client socket while it is being read.
    std::atomic<bool> clientDone{false};
    std::atomic<bool> clientOk{false};
    std::thread client([&] {
        int fd = ConnectLoopback(std::chrono::seconds(5));
        if (fd >= 0) {
            const uint8_t packet[] = {0x00, 0xA3, 0x00, 0x05};
            uint8_t received[sizeof message];
            bool sent = ::send(fd, packet, sizeof packet, 0) == ssize_t(sizeof packet);
            clientOk = sent &&
                       ReceiveExactly(fd, received, sizeof received, std::chrono::seconds(5)) &&
                       std::memcmp(received, message, sizeof message) == 0;
            ::close(fd);
        }
        clientDone = true;
    });

    uint8_t packet[kPacketSize];
    int length = 0;
    bool gotPacket = false;
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while ((!clientDone || !gotPacket) && Clock::now() < deadline) {
        if (!gotPacket && TakePacket(packet, &length)) {
            gotPacket = true;
            EXPECT_EQ(length, 4);
            EXPECT_EQ(std::memcmp(packet, "\x00\xA3\x00\x05", 4), 0);
        }
        SendToControl(message, sizeof message);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    client.join();
    EXPECT_TRUE(gotPacket);
    EXPECT_TRUE(clientOk);
}

}  // namespace
