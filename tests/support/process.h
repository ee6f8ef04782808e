// Starting the real binaries from end-to-end tests: a child process in a
// given working directory with extra environment, its standard output and
// error captured in files, bounded waits, and a kill that always happens.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/protocol.h"

struct ChildProcess {
    pid_t pid = -1;
    std::string stdoutPath;
    std::string stderrPath;
    bool exited = false;
    int status = 0;  // exit status when exited normally, 128 + signal otherwise
};

// Starts `program` with `args` in `workingDirectory`; stdout and stderr go to
// files in that directory named after `label`. `environment` entries are
// "NAME=value" and are added to the inherited environment.
ChildProcess StartChild(const std::string& program, const std::vector<std::string>& args,
                        const std::string& workingDirectory, const std::string& label,
                        const std::vector<std::string>& environment = {});

// Waits up to `timeoutMs` for the child to end; true when it did.
bool WaitForExit(ChildProcess& child, int timeoutMs);

// Sends SIGTERM to the child's process group (the child and everything it
// started), then SIGKILL if needed, and reaps. Safe to call twice.
void StopChild(ChildProcess& child);

// Polls `condition` every 20 ms for up to `timeoutMs`.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

// A client socket connected to 127.0.0.1:port, retried up to `timeoutMs`; -1 on failure.
int ConnectLoopback(int port, int timeoutMs);

// Reads what arrives on `fd` within `timeoutMs` (returns early once `atLeast` bytes are in).
std::string ReadAvailable(int fd, size_t atLeast, int timeoutMs);

// A command packet as the control program sends it: the code and the port
// field big-endian, then `path` at offset 4 with its NUL.
std::vector<uint8_t> CommandPacket(CommandCode code, uint16_t port, const std::string& path);

// Sends `packet` on `fd` and reads `replyBytes` of answer within `timeoutMs`;
// false when the send fails or fewer bytes came.
bool Exchange(int fd, const std::vector<uint8_t>& packet, size_t replyBytes,
              std::vector<uint8_t>* reply = nullptr, int timeoutMs = 5000);

// Writes a file and marks it executable (stand-in programs).
void WriteExecutable(const std::string& path, const std::string& text);
