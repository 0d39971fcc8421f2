#include "web/publisher.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <algorithm>
#include <cstdio>

namespace periodix::web {

Publisher::Publisher(const QUrl &url, QNetworkAccessManager &network, QObject *parent)
    : QObject(parent), url_(url), network_(network)
{
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &Publisher::post);
}

int Publisher::pauseMs(int failures)
{
    // 250 ms, doubling, at most 8 s: back soon after a restart of nginx,
    // never hammering one that stays down.
    return 250 << std::clamp(failures - 1, 0, 5);
}

void Publisher::publish(const QByteArray &message)
{
    waiting_ = message;
    hasWaiting_ = true;
    if (!busy_ && !retry_.isActive())
        post();
}

void Publisher::post()
{
    // One POST at a time, so that they reach the server in order.
    if (!hasWaiting_ || busy_)
        return;
    sending_ = waiting_;
    hasWaiting_ = false;
    busy_ = true;
    QNetworkRequest request(url_);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setTransferTimeout(AnswerMs);
    QNetworkReply *reply = network_.post(request, sending_);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { done(reply); });
}

void Publisher::done(QNetworkReply *reply)
{
    reply->deleteLater();
    busy_ = false;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError && status >= 200 && status < 300) {
        if (failures_ > 0)
            std::fprintf(stderr, "periodix-web: publishing to %s works again\n", qPrintable(url_.toDisplayString()));
        failures_ = 0;
        post();
        return;
    }
    // Said once when it starts failing, not at every try.
    if (failures_ == 0)
        std::fprintf(stderr, "periodix-web: publishing to %s fails: %s\n", qPrintable(url_.toDisplayString()),
                     qPrintable(status ? QStringLiteral("HTTP %1").arg(status) : reply->errorString()));
    ++failures_;
    // The message that failed is tried again, unless a newer one came.
    if (!hasWaiting_) {
        waiting_ = sending_;
        hasWaiting_ = true;
    }
    retry_.start(pauseMs(failures_));
}

} // namespace periodix::web
