#pragma once

#include "platform/udp_sender.h"

#include <QHostAddress>
#include <QList>

// A UDP sender that sends nothing and keeps every datagram it was given.
class RecordingSender final : public periodix::DatagramSender {
public:
    struct Datagram {
        QString host; // dotted, as the address was parsed
        quint16 port;
        QByteArray payload;
    };

    QString localIP() const override { return localAddress; }

    QStringList payloads() const
    {
        QStringList texts;
        for (const Datagram &d : sent)
            texts << QString::fromLatin1(d.payload);
        return texts;
    }

    QList<Datagram> sent;
    QString localAddress = QStringLiteral("127.0.0.1");
    bool failSends = false; // a network that refuses every datagram

protected:
    void transmit(quint32 address, quint16 port, const QByteArray &payload) override
    {
        if (failSends)
            periodix::raiseError(10051, QStringLiteral("Network is unreachable"));
        sent.append({QHostAddress(address).toString(), port, payload});
    }
};
