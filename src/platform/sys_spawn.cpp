// Program start with posix_spawn and a waiter thread per child.
//
// Why a thread and not SIGCHLD: ignoring SIGCHLD (or SA_NOCLDWAIT) applies
// to every child of the process, so a library that waits for its own
// children (QProcess, the video library's helpers, a test harness) would
// find them gone; the setting would also be inherited by the started
// program. A thread that waits for one pid touches nothing else.
#include "platform/sys_spawn.h"

#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstring>
#include <string>

extern char** environ;

namespace {

void* WaitForChild(void* raw) {
    pid_t child = pid_t(reinterpret_cast<intptr_t>(raw));
    int status;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return nullptr;
}

}  // namespace

bool SpawnDetached(const char* path) {
    std::string program = std::strchr(path, '/') != nullptr ? path : std::string("./") + path;
    char* argv[] = {program.data(), nullptr};

    // The child starts with no blocked signals and default handling of the
    // signals a GUI process may have changed for itself.
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t child;
    int error = ::posix_spawn(&child, program.c_str(), nullptr, &attributes, argv, environ);
    ::posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        errno = error;
        return false;
    }

    pthread_t waiter;
    if (::pthread_create(&waiter, nullptr, WaitForChild,
                         reinterpret_cast<void*>(intptr_t(child))) == 0) {
        ::pthread_detach(waiter);
    }
    // Without a waiter thread the child still runs; when it ends before us
    // it stays a zombie until this process exits (threads hardly ever fail).
    return true;
}
