// The command server. The receive thread accepts exactly one connection on
// 127.0.0.1:2023 and receives packets for the rest of the run; each packet is
// logged and replaces whatever waits in the one-slot PacketMailbox. The GUI
// thread takes packets from the mailbox in its timer and sends status
// messages on the accepted socket.
//
// Only the mailbox and the client socket are shared between the threads: the
// mailbox is copied in and out under one lock, so the dispatcher always works
// on a complete, stable copy; the client socket is published once through an
// atomic.
//
// The socket sends each write at once (no Nagle delay): the control program
// answers one message with its next command, so a small message held back
// for the acknowledgement of the one before only stalls the channel. The
// reports of one command (a project's "port loaded" messages) are held while
// it runs and go out as one write when it ends.
#include "net/server.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "common/protocol.h"
#include "platform/sys.h"

namespace {

constexpr int kListenBacklog = 5;

struct PacketMailbox {
    std::mutex lock;
    uint8_t buffer[kPacketSize];  // never cleared: bytes past `length` are stale
    int32_t length;
    uint8_t pending;
};

PacketMailbox g_mailbox;
SysSocket g_listener = kSysInvalidSocket;
std::atomic<SysSocket> g_client{kSysInvalidSocket};
// Private to the receive thread; never cleared either, so the code of a
// one-byte packet takes its low byte from the previous packet.
uint8_t g_receiveBuffer[kPacketSize];

// GUI thread only.
struct HeldSends {
    bool holding;
    std::vector<uint8_t> bytes;
};
HeldSends g_held = {false, {}};

void LogLine(const char* format, int value) {
    std::printf(format, value);
    std::fflush(stdout);
}

void ReceiveThread(void*) {
    char peerAddress[16] = {};
    uint16_t peerPort = 0;
    SysSocket client = Sys_Accept(g_listener, peerAddress, &peerPort);
    if (client == kSysInvalidSocket) {
        LogLine("accept() failed: %d\n", Sys_LastSocketError());
        return;
    }
    Sys_SendImmediately(client);
    g_client.store(client, std::memory_order_release);
    std::printf("Accepted client: %s:%d\n", peerAddress, int(peerPort));
    std::fflush(stdout);

    for (;;) {
        int received = Sys_Recv(client, g_receiveBuffer, int(kPacketSize));
        if (received == 0) return;
        if (received < 0) {
            LogLine("recv() failed: %d\n", Sys_LastSocketError());
            return;
        }
        unsigned code = g_receiveBuffer[0] * 256u + g_receiveBuffer[1];
        std::printf("Get: %u----%d Bytes\n", code, received);
        std::fflush(stdout);
        PostPacket(g_receiveBuffer, received);
    }
}

}  // namespace

void StartCommandServer() {
    if (!Sys_NetStartup()) {
        std::printf("Failed to load Winsock!\n");
        std::fflush(stdout);
        return;
    }
    SysSocket listener = Sys_TcpSocket();
    if (listener == kSysInvalidSocket) {
        LogLine("socket() failed: %d\n", Sys_LastSocketError());
        return;
    }
    // Loopback only: the port has no authentication and its commands write
    // files, so it must not be reachable from other hosts.
    if (!Sys_BindLoopback(listener, kCommandPort)) {
        LogLine("bind() failed: %d\n", Sys_LastSocketError());
        return;  // the socket is left open for the rest of the run
    }
    Sys_Listen(listener, kListenBacklog);
    g_listener = listener;
    if (!Sys_StartThread(ReceiveThread, nullptr)) {
        LogLine("CreateThread() failed: %d\n", Sys_LastError());
        Sys_CloseSocket(listener);
        g_listener = kSysInvalidSocket;
        Sys_NetCleanup();
    }
}

void SendToControl(const void* bytes, int length) {
    if (g_held.holding) {
        const uint8_t* first = static_cast<const uint8_t*>(bytes);
        g_held.bytes.insert(g_held.bytes.end(), first, first + length);
        return;
    }
    SysSocket client = g_client.load(std::memory_order_acquire);
    if (client == kSysInvalidSocket) return;
    Sys_Send(client, bytes, length);
}

void HoldSends() {
    g_held.holding = true;
}

void ReleaseSends() {
    g_held.holding = false;
    const SysSocket client = g_client.load(std::memory_order_acquire);
    size_t sent = 0;
    // One write unless the kernel takes less; then the rest follows.
    while (client != kSysInvalidSocket && sent < g_held.bytes.size()) {
        const int n = Sys_Send(client, g_held.bytes.data() + sent, int(g_held.bytes.size() - sent));
        if (n <= 0) break;
        sent += size_t(n);
    }
    g_held.bytes.clear();
}

void PostPacket(const uint8_t* bytes, int length) {
    if (length < 1) return;
    if (length > int(kPacketSize)) length = int(kPacketSize);
    std::lock_guard<std::mutex> hold(g_mailbox.lock);
    std::memcpy(g_mailbox.buffer, bytes, size_t(length));
    g_mailbox.length = length;
    g_mailbox.pending = 1;
}

bool TakePacket(uint8_t packet[kPacketSize], int* length) {
    std::lock_guard<std::mutex> hold(g_mailbox.lock);
    if (!g_mailbox.pending) return false;
    std::memcpy(packet, g_mailbox.buffer, kPacketSize);
    *length = g_mailbox.length;
    g_mailbox.pending = 0;
    return true;
}

void ResetPacketMailbox() {
    g_held.holding = false;
    g_held.bytes.clear();
    std::lock_guard<std::mutex> hold(g_mailbox.lock);
    std::memset(g_mailbox.buffer, 0, sizeof g_mailbox.buffer);
    g_mailbox.length = 0;
    g_mailbox.pending = 0;
}
