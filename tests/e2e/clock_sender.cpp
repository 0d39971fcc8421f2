// A second clock: sends "p<period>t<mm:ss>" once a second, counting down,
// from one socket (one address and port), as Periodix does.
// Usage: clock_sender FROM-ADDRESS TO-ADDRESS PORT PERIOD SECONDS
// The scripts run it only inside their own network namespace.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char *argv[])
{
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s FROM-ADDRESS TO-ADDRESS PORT PERIOD SECONDS\n", argv[0]);
        return 2;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    sockaddr_in to = from;
    to.sin_port = htons(std::atoi(argv[3]));
    if (::inet_pton(AF_INET, argv[1], &from.sin_addr) != 1 || ::inet_pton(AF_INET, argv[2], &to.sin_addr) != 1 ||
        ::bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof from) != 0) {
        std::perror("clock_sender");
        return 1;
    }
    for (int left = std::atoi(argv[5]); left >= 0; --left) {
        char text[32];
        std::snprintf(text, sizeof text, "p%dt%02d:%02d", std::atoi(argv[4]), left / 60, left % 60);
        ::sendto(fd, text, std::string(text).size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
        if (left > 0)
            ::sleep(1);
    }
    return 0;
}
