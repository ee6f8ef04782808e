// POSIX sockets, threads, time and file existence. Shared by the real Linux
// build and the scripted test build: only the interactive parts differ.
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "common/common.h"
#include "platform/sys.h"

bool Sys_NetStartup() {
    return true;
}
void Sys_NetCleanup() {}
int Sys_LastSocketError() {
    return errno;
}
int Sys_LastError() {
    return errno;
}

SysSocket Sys_TcpSocket() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? kSysInvalidSocket : SysSocket(fd);
}

bool Sys_BindLoopback(SysSocket socket, uint16_t port) {
    // SO_REUSEADDR lets a restart bind over connections in TIME_WAIT; unlike
    // SO_REUSEPORT it still refuses a second listener on the port.
    int on = 1;
    ::setsockopt(int(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::bind(int(socket), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool Sys_Listen(SysSocket socket, int backlog) {
    return ::listen(int(socket), backlog) == 0;
}

SysSocket Sys_Accept(SysSocket listener, char peerAddress[16], uint16_t* peerPort) {
    sockaddr_in peer = {};
    socklen_t length = sizeof peer;
    int fd;
    do {
        fd = ::accept4(int(listener), reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return kSysInvalidSocket;
    if (::inet_ntop(AF_INET, &peer.sin_addr, peerAddress, 16) == nullptr) peerAddress[0] = '\0';
    *peerPort = ntohs(peer.sin_port);
    return SysSocket(fd);
}

int Sys_Recv(SysSocket socket, void* buffer, int size) {
    ssize_t n;
    do {
        n = ::recv(int(socket), buffer, size_t(size), 0);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? -1 : int(n);
}

int Sys_Send(SysSocket socket, const void* data, int size) {
    ssize_t n = ::send(int(socket), data, size_t(size), MSG_NOSIGNAL);
    return n < 0 ? -1 : int(n);
}

void Sys_SendImmediately(SysSocket socket) {
    int on = 1;
    ::setsockopt(int(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void Sys_CloseSocket(SysSocket socket) {
    ::close(int(socket));
}

namespace {
struct ThreadStart {
    void (*fn)(void*);
    void* arg;
};
void* ThreadMain(void* raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    start.fn(start.arg);
    return nullptr;
}
}  // namespace

bool Sys_StartThread(void (*fn)(void*), void* arg) {
    pthread_t thread;
    auto* start = new ThreadStart{fn, arg};
    int error = ::pthread_create(&thread, nullptr, ThreadMain, start);
    if (error != 0) {
        delete start;
        errno = error;
        return false;
    }
    ::pthread_detach(thread);
    return true;
}

void Sys_LowerThreadPriority() {
    // The nice value is per thread on Linux; failure leaves it as it was.
    ::setpriority(PRIO_PROCESS, ::gettid(), 10);
}

bool Sys_RaiseThreadPriority() {
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    // A low real-time priority wakes the thread at its time even while other
    // programs keep both cores busy, which a nice value alone does not; the
    // kernel's real-time throttling still leaves the rest of the machine a
    // share. Without the privilege for it, a nice value below normal.
    sched_param param = {};
    param.sched_priority = 10;
    if (::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &param) == 0) return true;
    return ::setpriority(PRIO_PROCESS, ::gettid(), -10) == 0;
}

void Sys_NormalThreadPriority() {
    ::prctl(PR_SET_TIMERSLACK, 0UL, 0, 0, 0);  // 0: the thread's default slack
    sched_param param = {};
    ::pthread_setschedparam(::pthread_self(), SCHED_OTHER, &param);
    ::setpriority(PRIO_PROCESS, ::gettid(), 0);
}

void Sys_Sleep(int milliseconds) {
    timespec request = {milliseconds / 1000, long(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&request, &request) != 0 && errno == EINTR) {
    }
}

uint64_t Sys_MonotonicNanoseconds() {
    timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000ull + uint64_t(now.tv_nsec);
}

void Sys_SleepUntilNanoseconds(uint64_t deadline) {
    timespec until = {time_t(deadline / 1000000000ull), long(deadline % 1000000000ull)};
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

void Sys_WaitUntilNanoseconds(uint64_t deadline, uint64_t spinNs) {
    if (deadline > spinNs) Sys_SleepUntilNanoseconds(deadline - spinNs);
    while (Sys_MonotonicNanoseconds() < deadline) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
}

void Sys_KeepFromChildren(void* start, size_t size) {
    const long page = ::sysconf(_SC_PAGESIZE);
    if (page <= 0) return;
    const uintptr_t first = (uintptr_t(start) + uintptr_t(page) - 1) & ~uintptr_t(page - 1);
    const uintptr_t end = (uintptr_t(start) + size) & ~uintptr_t(page - 1);
    if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_DONTFORK);
}

bool Sys_FileExists(const char* path) {
    struct stat info;
    return ::stat(path, &info) == 0;
}

bool Sys_MachineId(char* out, size_t size) {
    if (size == 0) return false;
    for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        FILE* file = fopen(path, "re");
        if (file == nullptr) continue;
        const bool got = fgets(out, int(size), file) != nullptr;
        fclose(file);
        if (!got) continue;
        out[strcspn(out, "\r\n")] = 0;
        if (out[0] != 0) return true;
    }
    if (gethostname(out, size) != 0) return false;
    out[size - 1] = 0;
    return out[0] != 0;
}
