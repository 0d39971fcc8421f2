// Feeds arbitrary bytes to the companions' datagram parser. Whatever it accepts
// must be one of the clock's two forms, and must read back the same.

#include "protocol/clock_datagram.h"

#include <cstdint>
#include <cstdlib>

using periodix::protocol::ClockDatagram;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const ClockDatagram d = periodix::protocol::parseDatagram(bytes);
    switch (d.kind) {
    case ClockDatagram::Kind::Pause:
        if (bytes != "pause")
            std::abort();
        break;
    case ClockDatagram::Kind::Clock: {
        // Rebuilt from what was parsed, the datagram is the same bytes.
        const QByteArray again = periodix::protocol::clockDatagram(d.period, d.time);
        if (again != bytes || d.period < 0 || d.period > 32767 || bytes.size() > periodix::protocol::LongestDatagram)
            std::abort();
        for (char c : bytes) {
            if (static_cast<unsigned char>(c) > 127)
                std::abort();
        }
        break;
    }
    case ClockDatagram::Kind::Invalid:
        if (d.period != 0 || !d.time.isEmpty())
            std::abort();
        break;
    }
    return 0;
}
