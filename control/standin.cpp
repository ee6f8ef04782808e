// Stand-in control program: connects to Quorvane on 127.0.0.1:2023 and holds
// the connection until Quorvane closes it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

int main() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(2023);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            char buffer[256];
            while (read(fd, buffer, sizeof buffer) > 0) {
            }
            return 0;
        }
        close(fd);
        usleep(200000);
    }
    return 1;
}
