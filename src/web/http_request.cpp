#include "web/http_request.h"

#include <QList>

#include <cstring>

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
    if (requestLine.size() != 3 || !isToken(requestLine[0]) || !isPrintable(requestLine[1]) || requestLine[1].contains('\t') ||
        (requestLine[2] != "HTTP/1.1" && requestLine[2] != "HTTP/1.0"))
        return request;
    request.method = requestLine[0];
    QByteArray target = requestLine[1];
    QByteArray authority;
    for (const char *const scheme : {"http://", "https://"}) {
        const qsizetype length = qsizetype(std::strlen(scheme));
        if (target.toLower().startsWith(scheme)) {
            const qsizetype slash = target.indexOf('/', length);
            authority = target.mid(length, slash < 0 ? -1 : slash - length);
            target = slash < 0 ? QByteArray("/") : target.mid(slash);
            if (authority.isEmpty())
                return request;
        }
    }
    if (!target.startsWith('/'))
        return request;
    const qsizetype query = target.indexOf('?');
    request.path = query < 0 ? target : target.left(query);
    int hosts = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(line.left(colon)) || !isPrintable(line))
            return request;
        const QByteArray name = line.left(colon).toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        hosts += name == "host";
        const auto known = request.headers.constFind(name);
        if (known == request.headers.cend())
            request.headers.insert(name, value);
        else if (name == "host" || (name == "content-length" && *known != value))
            return request; // two that differ: which one holds is anyone's guess
        else if (name != "content-length")
            request.headers.insert(name, *known + ", " + value);
    }
    request.version = requestLine[2];
    if (requestLine[2] == "HTTP/1.1" && hosts != 1)
        return request;
    request.host = authority.isEmpty() ? request.header("host") : authority;
    request.valid = true;
    return request;
}

} // namespace periodix::web
