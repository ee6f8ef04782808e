// Child processes and loopback sockets for end-to-end tests.
#include "support/process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "common/common.h"

ChildProcess StartChild(const std::string& program, const std::vector<std::string>& args,
                        const std::string& workingDirectory, const std::string& label,
                        const std::vector<std::string>& environment) {
    ChildProcess child;
    child.stdoutPath = workingDirectory + "/" + label + ".out";
    child.stderrPath = workingDirectory + "/" + label + ".err";
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);  // own group, so stopping it also ends what it started
        if (chdir(workingDirectory.c_str()) != 0) _exit(126);
        int out = open(child.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(child.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        for (const std::string& entry : environment) putenv(strdup(entry.c_str()));
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    setpgid(pid, pid);
    child.pid = pid;
    return child;
}

static bool Reap(ChildProcess& child, int options) {
    if (child.exited || child.pid <= 0) return true;
    int status = 0;
    pid_t done = waitpid(child.pid, &status, options);
    if (done != child.pid) return false;
    child.exited = true;
    child.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

bool WaitForExit(ChildProcess& child, int timeoutMs) {
    return WaitUntil([&] { return Reap(child, WNOHANG); }, timeoutMs);
}

void StopChild(ChildProcess& child) {
    if (child.pid <= 0 || child.exited) return;
    kill(-child.pid, SIGTERM);
    if (!WaitForExit(child, 2000)) {
        kill(-child.pid, SIGKILL);
        Reap(child, 0);
    }
    kill(-child.pid, SIGKILL);  // anything left in the group
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int ConnectLoopback(int port, int timeoutMs) {
    int connected = -1;
    WaitUntil(
        [&] {
            int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address = {};
            address.sin_family = AF_INET;
            address.sin_port = htons(uint16_t(port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                connected = fd;
                return true;
            }
            close(fd);
            return false;
        },
        timeoutMs);
    return connected;
}

std::string ReadAvailable(int fd, size_t atLeast, int timeoutMs) {
    std::string data;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (data.size() < atLeast) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) break;
        pollfd waiting = {fd, POLLIN, 0};
        if (poll(&waiting, 1, int(left)) <= 0) break;
        char buffer[4096];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        data.append(buffer, size_t(n));
    }
    return data;
}

void WriteExecutable(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    chmod(path.c_str(), 0755);
}

std::vector<uint8_t> CommandPacket(CommandCode code, uint16_t port, const std::string& path) {
    std::vector<uint8_t> packet(4 + path.size() + 1, 0);
    WriteBE16(packet.data(), uint16_t(code));
    WriteBE16(packet.data() + 2, port);
    std::memcpy(packet.data() + 4, path.c_str(), path.size());
    return packet;
}

bool Exchange(int fd, const std::vector<uint8_t>& packet, size_t replyBytes,
              std::vector<uint8_t>* reply, int timeoutMs) {
    if (::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL) != ssize_t(packet.size()))
        return false;
    const std::string got = ReadAvailable(fd, replyBytes, timeoutMs);
    if (reply) reply->assign(got.begin(), got.end());
    return got.size() == replyBytes;
}
