#include "web/http_request.h"

#include <QList>

namespace periodix::web {

namespace {

bool isToken(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                        QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
        if (!ok)
            return false;
    }
    return true;
}

bool isPrintable(const QByteArray &text)
{
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && u != '\t') || u == 0x7f)
            return false;
    }
    return true;
}

} // namespace

bool HttpRequest::wantsWebSocket() const
{
    return header("upgrade").toLower() == "websocket" && header("connection").toLower().contains("upgrade");
}

HttpRequest parseRequestHead(const QByteArray &head)
{
    HttpRequest request;
    if (!head.endsWith("\r\n\r\n"))
        return request;
    // The lines without their CR LF; the last one lost it with the empty line.
    QList<QByteArray> lines = head.chopped(4).split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (!lines[i].endsWith('\r'))
            return request; // a bare LF
        lines[i].chop(1);
    }
    const QList<QByteArray> requestLine = lines.first().split(' ');
    if (requestLine.size() != 3 || !isToken(requestLine[0]) || !requestLine[1].startsWith('/') ||
        !isPrintable(requestLine[1]) || !requestLine[2].startsWith("HTTP/1."))
        return request;
    request.method = requestLine[0];
    const QByteArray &target = requestLine[1];
    const qsizetype query = target.indexOf('?');
    request.path = query < 0 ? target : target.left(query);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(line.left(colon)) || !isPrintable(line))
            return request;
        request.headers.insert(line.left(colon).toLower(), line.mid(colon + 1).trimmed());
    }
    request.valid = true;
    return request;
}

} // namespace periodix::web
