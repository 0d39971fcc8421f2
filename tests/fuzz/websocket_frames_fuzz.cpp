// Feeds arbitrary bytes to periodix-web's reader of a page's WebSocket
// frames, cut where the input's first byte says, as a hostile client would
// send them. Nothing comes after a fault or a Close, no message is over the
// limit nor a ping over 125 bytes, and a fault closes with a code the server gives.

#include "web/websocket_frames.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));
    const qsizetype piece = data[0] % 32 + 1;
    periodix::web::ClientFrameReader reader(64);
    bool ended = false;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        for (const periodix::web::ClientWord &word : reader.take(QByteArrayView(bytes).sliced(at, qMin(piece, bytes.size() - at)))) {
            const bool message = word.kind == periodix::web::ClientWord::Message;
            if (ended || word.payload.size() > (message ? 64 : 125))
                std::abort();
            ended = word.kind == periodix::web::ClientWord::Fault || word.kind == periodix::web::ClientWord::Close;
            if (word.kind == periodix::web::ClientWord::Fault && word.code != 1002 && word.code != 1007 && word.code != 1009)
                std::abort();
        }
    }
    return 0;
}
