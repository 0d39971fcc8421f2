// Listens for the clock's datagrams and prints one line per datagram:
//   <wall-clock milliseconds> <sender address>:<port> <payload>
// Usage: datagram_receiver PORT SECONDS [INTERFACE]
// It ends by itself after SECONDS, or on SIGTERM.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
volatile std::sig_atomic_t stop = 0;
void onTerm(int)
{
    stop = 1;
}
// Wall-clock milliseconds, as `date +%s%3N` gives them to the scripts.
long long nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PORT SECONDS [INTERFACE]\n", argv[0]);
        return 2;
    }
    std::signal(SIGTERM, onTerm);
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (argc > 3 && ::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, argv[3], socklen_t(std::strlen(argv[3]))) != 0) {
        std::perror("SO_BINDTODEVICE");
        return 1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[1])));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        std::perror("bind");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    const long long end = nowMs() + std::atoll(argv[2]) * 1000;
    char buffer[2048];
    while (!stop && nowMs() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        sockaddr_in from{};
        socklen_t size = sizeof from;
        const ssize_t n = ::recvfrom(fd, buffer, sizeof buffer - 1, 0, reinterpret_cast<sockaddr *>(&from), &size);
        if (n < 0)
            continue;
        buffer[n] = '\0';
        char sender[INET_ADDRSTRLEN];
        ::inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender);
        std::printf("%lld %s:%u %s\n", nowMs(), sender, unsigned(ntohs(from.sin_port)), buffer);
        std::fflush(stdout);
    }
    return 0;
}
