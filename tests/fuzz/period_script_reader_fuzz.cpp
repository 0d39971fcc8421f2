// Feeds arbitrary bytes to the Period Script reader the way "Load set" reads
// a file: the keyword line, then legend and time lines until the end. Checks
// that every byte is accounted for and that no line keeps a line end.

#include "error_reporting/runtime_error.h"
#include "clock/ansi_text.h"
#include "files/period_script_reader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    periodix::ScriptReader reader;
    reader.openBytes(bytes);
    qsizetype lineBytes = 0;
    int lines = 0;
    try {
        while (!reader.atEnd()) {
            const QString line = reader.readLine();
            ++lines;
            if (line.contains(u'\r'))
                std::abort(); // a CR always ends a line
            const QByteArray again = periodix::encodeAnsi(line);
            if (again.size() != line.size() || periodix::decodeAnsi(again) != line)
                std::abort(); // one byte per character, both ways
            lineBytes += again.size();
        }
        reader.readLine(); // past the end
        std::abort();      // must have raised
    } catch (const periodix::RuntimeError &e) {
        if (e.number != periodix::ErrInputPastEndOfFile)
            std::abort();
    }
    // What is not in a line is a line end: one CR, or CR LF.
    const qsizetype ends = bytes.count('\r');
    if (lineBytes + ends + bytes.count("\r\n") != bytes.size() || lines < ends)
        std::abort();
    return 0;
}
