// Feeds arbitrary bytes to periodix-web's request head reader, as a hostile
// client would send them. A head it accepts has a method of token characters
// and a path that starts with "/" and holds no line end.

#include "web/http_request.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const periodix::web::HttpRequest request = periodix::web::parseRequestHead(bytes);
    if (request.valid) {
        if (request.method.isEmpty() || !request.path.startsWith('/') || request.path.contains('\n') ||
            request.path.contains('\r') || request.path.contains('?'))
            std::abort();
        for (auto it = request.headers.cbegin(); it != request.headers.cend(); ++it) {
            if (it.key() != it.key().toLower() || it.value().contains('\n'))
                std::abort();
        }
        (void)request.wantsWebSocket();
    }
    return 0;
}
