// Watches the raw sound (16-bit, one channel, 48 kHz) that ALSA's file plugin
// writes for a program: when its first bytes came, in milliseconds of the
// monotonic clock as datagram_receiver gives them, and, once it has not grown
// for half a second, how many seconds of it are loud.
//   sound_probe FILE SECONDS   prints "start MS" and "loud SECONDS", or "none"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include <sys/stat.h>

static long long nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int main(int argc, char *argv[])
{
    if (argc != 3)
        return 2;
    const auto size = [path = argv[1]] {
        struct stat s {};
        return ::stat(path, &s) == 0 ? s.st_size : 0;
    };
    const long long deadline = nowMs() + std::atoll(argv[2]) * 1000;
    while (size() == 0 && nowMs() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (size() == 0)
        return std::puts("none"), 1;
    std::printf("start %lld\n", nowMs());
    std::fflush(stdout);
    for (long long seen = size(), still = nowMs(); nowMs() - still < 500 && nowMs() < deadline;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (size() != seen)
            seen = size(), still = nowMs();
    }
    std::vector<std::int16_t> samples(std::size_t(size()) / 2);
    std::ifstream(argv[1], std::ios::binary).read(reinterpret_cast<char *>(samples.data()), std::streamsize(samples.size() * 2));
    long long loud = 0;
    for (const std::int16_t s : samples)
        loud += std::abs(int(s)) > 2000;
    std::printf("loud %.2f\n", double(loud) / 48000.0);
}
