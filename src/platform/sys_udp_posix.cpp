// UDP datagrams on Linux. Live output sends
// thousands of datagrams per frame, so they go out in batches through
// sendmmsg, with the message headers built on the stack per batch.
#include <arpa/inet.h>
#include <errno.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "platform/sys.h"

namespace {
constexpr int kBatch = 256;
constexpr int kSendBuffer = 4 << 20;

sockaddr_in Ipv4(uint32_t address, uint16_t port) {
    sockaddr_in out;
    memset(&out, 0, sizeof out);
    out.sin_family = AF_INET;
    out.sin_addr.s_addr = htonl(address);
    out.sin_port = htons(port);
    return out;
}
}  // namespace

SysSocket Sys_UdpSocket() {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return kSysInvalidSocket;
    int size = kSendBuffer;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);  // a larger buffer is a bonus
    unsigned char ttl = 1;
    ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    return fd;
}

int Sys_UdpSendBatch(SysSocket socket, const SysDatagram* datagrams, int count) {
    mmsghdr messages[kBatch];
    iovec parts[kBatch];
    sockaddr_in targets[kBatch];
    int sent = 0;
    while (sent < count) {
        int batch = count - sent < kBatch ? count - sent : kBatch;
        for (int i = 0; i < batch; ++i) {
            const SysDatagram& d = datagrams[sent + i];
            targets[i] = Ipv4(d.address, d.port);
            parts[i].iov_base = const_cast<void*>(d.data);
            parts[i].iov_len = d.size;
            memset(&messages[i], 0, sizeof messages[i]);
            messages[i].msg_hdr.msg_name = &targets[i];
            messages[i].msg_hdr.msg_namelen = sizeof targets[i];
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        int done = 0;
        while (done < batch) {
            int n = ::sendmmsg(int(socket), messages + done, unsigned(batch - done), 0);
            if (n < 0) {
                if (errno == EINTR) continue;
                return sent + done;
            }
            done += n;
        }
        sent += batch;
    }
    return sent;
}

bool Sys_UdpBind(SysSocket socket, uint32_t address, uint16_t port, uint16_t* boundPort) {
    sockaddr_in local = Ipv4(address, port);
    if (::bind(int(socket), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return false;
    socklen_t length = sizeof local;
    if (::getsockname(int(socket), reinterpret_cast<sockaddr*>(&local), &length) != 0) return false;
    if (boundPort) *boundPort = ntohs(local.sin_port);
    return true;
}

int Sys_UdpReceiveFrom(SysSocket socket, void* buffer, int size, int timeoutMs, uint32_t* address,
                       uint16_t* port) {
    pollfd waiting = {int(socket), POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&waiting, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) return ready;
    sockaddr_in from;
    socklen_t length = sizeof from;
    ssize_t n = ::recvfrom(int(socket), buffer, size_t(size), 0, reinterpret_cast<sockaddr*>(&from),
                           &length);
    if (n < 0) return -1;
    if (address) *address = ntohl(from.sin_addr.s_addr);
    if (port) *port = ntohs(from.sin_port);
    return int(n);
}

bool Sys_UdpSetMulticastInterface(SysSocket socket, uint32_t address) {
    in_addr local;
    local.s_addr = htonl(address);
    return ::setsockopt(int(socket), IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local) == 0;
}

bool Sys_UdpAllowBroadcast(SysSocket socket) {
    int on = 1;
    return ::setsockopt(int(socket), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
}

int Sys_UdpRouteError(uint32_t local, uint32_t address, uint16_t port) {
    // A datagram socket's connect only looks the route up.
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return errno;
    sockaddr_in from = Ipv4(local, 0), to = Ipv4(address, port);
    int error = 0;
    if (local != 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0)
        error = errno;
    else if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
        error = errno;
    ::close(fd);
    return error;
}

bool Sys_Ipv4BroadcastFor(uint32_t address, uint32_t* broadcast) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return false;
    bool found = false;
    for (const ifaddrs* a = list; a != nullptr && !found; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_netmask == nullptr ||
            a->ifa_addr->sa_family != AF_INET || !(a->ifa_flags & IFF_BROADCAST) ||
            !(a->ifa_flags & IFF_UP))
            continue;
        const uint32_t local =
            ntohl(reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr);
        const uint32_t mask =
            ntohl(reinterpret_cast<const sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr);
        if (mask == 0xFFFFFFFFu || (local & mask) != (address & mask)) continue;
        *broadcast = local | ~mask;
        found = true;
    }
    ::freeifaddrs(list);
    return found;
}
