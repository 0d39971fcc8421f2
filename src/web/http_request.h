#pragma once

#include <QByteArray>
#include <QHash>

namespace periodix::web {

// The head of one HTTP request, as far as periodix-web reads it.
struct HttpRequest {
    bool valid = false;
    QByteArray method;                 // "GET"
    QByteArray path;                   // "/clock.json", without the query
    QHash<QByteArray, QByteArray> headers; // names in lower case

    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    // The request asks to become a WebSocket connection.
    bool wantsWebSocket() const;
};

// Reads a request head: the request line and the header lines, each ended
// by CR LF, up to and with the empty line. Anything else is not valid.
HttpRequest parseRequestHead(const QByteArray &head);

} // namespace periodix::web
