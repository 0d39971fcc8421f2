#include "web/websocket_frames.h"

#include <QCryptographicHash>
#include <QStringDecoder>

namespace periodix::web {

namespace {

enum Opcode { Continuation = 0x0, Text = 0x1, Binary = 0x2, CloseOp = 0x8, PingOp = 0x9, PongOp = 0xa };

quint64 bigEndian(QByteArrayView bytes)
{
    quint64 value = 0;
    for (const char c : bytes)
        value = value << 8 | quint8(c);
    return value;
}

bool validUtf8(QByteArrayView bytes)
{
    // Stateless, so that a sequence cut off at the end is a fault too.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)QString(decoder(bytes));
    return !decoder.hasError();
}

// The codes a peer may close with: those defined for use, and the
// registered and private ranges.
bool validCloseCode(quint64 code)
{
    return (code >= 1000 && code <= 1014 && code != 1004 && code != 1005 && code != 1006) ||
           (code >= 3000 && code <= 4999);
}

QByteArray serverFrame(int opcode, QByteArrayView payload)
{
    QByteArray frame;
    frame.reserve(payload.size() + 10);
    frame += char(0x80 | opcode);
    const auto size = quint64(payload.size());
    if (size < 126) {
        frame += char(size);
    } else if (size < 65536) {
        frame += char(126);
        frame += char(size >> 8);
        frame += char(size & 0xff);
    } else {
        frame += char(127);
        for (int shift = 56; shift >= 0; shift -= 8)
            frame += char((size >> shift) & 0xff);
    }
    frame += payload;
    return frame;
}

} // namespace

void ClientFrameReader::fail(QList<ClientWord> &words, quint16 code)
{
    words.append(ClientWord{ClientWord::Fault, {}, code});
    ended_ = true;
    buffer_.clear();
    message_.clear();
}

QList<ClientWord> ClientFrameReader::take(QByteArrayView bytes)
{
    QList<ClientWord> words;
    if (ended_)
        return words;
    buffer_.append(bytes);
    while (buffer_.size() >= 2) {
        const auto first = quint8(buffer_[0]);
        const auto second = quint8(buffer_[1]);
        const bool fin = first & 0x80;
        const int opcode = first & 0x0f;
        const bool control = opcode & 0x8;
        const bool known = opcode <= Binary || (opcode >= CloseOp && opcode <= PongOp);
        // No extension was agreed, so no reserved bit may be set; and a
        // client masks every frame it sends.
        if ((first & 0x70) || !known || !(second & 0x80)) {
            fail(words, ProtocolError);
            break;
        }
        quint64 length = second & 0x7f;
        qsizetype headSize = 2;
        if (length == 126 || length == 127) {
            headSize = length == 126 ? 4 : 10;
            if (buffer_.size() < headSize)
                break;
            length = bigEndian(QByteArrayView(buffer_).sliced(2, headSize - 2));
            // A length in the fewest bytes that hold it, as the standard asks.
            if ((headSize == 4 && length < 126) || (headSize == 10 && (length < 65536 || length >> 63))) {
                fail(words, ProtocolError);
                break;
            }
        }
        if (control && (!fin || length > 125)) {
            fail(words, ProtocolError);
            break;
        }
        // Too big is known from the head: nothing of it is kept.
        if (!control && length > maxMessage_ - quint64(message_.size())) {
            fail(words, MessageTooBig);
            break;
        }
        const qsizetype frameSize = headSize + 4 + qsizetype(length);
        if (buffer_.size() < frameSize)
            break;
        const QByteArray mask = buffer_.mid(headSize, 4);
        QByteArray payload = buffer_.mid(headSize + 4, qsizetype(length));
        buffer_.remove(0, frameSize);
        for (qsizetype i = 0; i < payload.size(); ++i)
            payload[i] = char(payload[i] ^ mask[i % 4]);

        if (opcode == PingOp || opcode == PongOp) {
            words.append(ClientWord{opcode == PingOp ? ClientWord::Ping : ClientWord::Pong, payload, 0});
            continue;
        }
        if (opcode == CloseOp) {
            const quint64 code = payload.size() >= 2 ? bigEndian(QByteArrayView(payload).first(2)) : 1005;
            if (payload.size() == 1 || (payload.size() >= 2 && !validCloseCode(code)))
                fail(words, ProtocolError);
            else if (!validUtf8(QByteArrayView(payload).sliced(qMin(payload.size(), qsizetype(2)))))
                fail(words, InvalidText);
            else {
                words.append(ClientWord{ClientWord::Close, {}, quint16(code)});
                ended_ = true; // nothing after a Close is read
            }
            break;
        }
        // A message is its first frame and its continuations, one at a time.
        if ((opcode == Continuation) == (messageOpcode_ == 0)) {
            fail(words, ProtocolError);
            break;
        }
        if (opcode != Continuation) {
            messageOpcode_ = opcode;
            message_.clear();
        }
        message_ += payload;
        if (!fin)
            continue;
        if (messageOpcode_ == Text && !validUtf8(message_)) {
            fail(words, InvalidText);
            break;
        }
        words.append(ClientWord{ClientWord::Message, message_, 0});
        message_.clear();
        messageOpcode_ = 0;
    }
    return words;
}

QByteArray textFrame(QByteArrayView utf8)
{
    return serverFrame(Text, utf8);
}

QByteArray closeFrame(quint16 code)
{
    const char payload[2] = {char(code >> 8), char(code & 0xff)};
    return serverFrame(CloseOp, QByteArrayView(payload, 2));
}

QByteArray pingFrame()
{
    return serverFrame(PingOp, {});
}

QByteArray pongFrame(QByteArrayView payload)
{
    return serverFrame(PongOp, payload);
}

QByteArray acceptKey(const QByteArray &key)
{
    const auto decoded = QByteArray::fromBase64Encoding(key, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != 16)
        return {};
    return QCryptographicHash::hash(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11", QCryptographicHash::Sha1).toBase64();
}

} // namespace periodix::web
