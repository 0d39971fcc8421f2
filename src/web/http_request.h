#pragma once

#include <QByteArray>
#include <QHash>

namespace periodix::web {

// The head of one HTTP request, as far as periodix-web reads it.
struct HttpRequest {
    bool valid = false;
    QByteArray method;                 // "GET"
    QByteArray version;                // "HTTP/1.1" or "HTTP/1.0"
    QByteArray path;                   // "/clock.json", without the query
    QByteArray host;                   // the Host header, or the authority of an absolute URI
    QHash<QByteArray, QByteArray> headers; // names in lower case

    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    // The request asks to become a WebSocket connection.
    bool wantsWebSocket() const;
};

// Reads a request head: the request line and the header lines, each ended
// by CR LF, up to and with the empty line. The target is a path or an
// absolute URI (as sent to proxies), the version HTTP/1.0 or HTTP/1.1; an
// HTTP/1.1 request has exactly one Host. A header given twice is one list,
// joined by ", ", except Host, which comes once, and Content-Length, which
// must agree with itself.
// Anything else is not valid.
HttpRequest parseRequestHead(const QByteArray &head);

} // namespace periodix::web
