#pragma once

#include <QObject>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace periodix::web {

// Hands what the pages hear to a pub/sub server (nginx's nchan) by HTTP
// POST, one message at a time on a kept-alive connection. It never holds up
// the pages or the datagrams: while a POST is on its way only the newest
// message waits, and a server that is down, slow or refuses is tried again
// after a pause that grows with each failure.
class Publisher : public QObject {
    Q_OBJECT
public:
    Publisher(const QUrl &url, QNetworkAccessManager &network, QObject *parent = nullptr);

    void publish(const QByteArray &message);
    // The last POST failed (its message waits for the next try).
    bool failing() const { return failures_ > 0; }
    QUrl url() const { return url_; }

    // The pause before the next try after `failures` in a row.
    static int pauseMs(int failures);
    // A POST not answered within this long has failed.
    static constexpr int AnswerMs = 3000;

private:
    void post();
    void done(QNetworkReply *reply);

    QUrl url_;
    QNetworkAccessManager &network_;
    QByteArray waiting_;
    bool hasWaiting_ = false;
    QByteArray sending_;
    bool busy_ = false; // a POST is on its way
    int failures_ = 0;
    QTimer retry_;
};

} // namespace periodix::web
