#pragma once

#include <QHash>
#include <QObject>
#include <QSocketNotifier>

namespace periodix::web {

class LiveSocket;

// Watches every live page's connection in one epoll set, which the event
// loop sees as one descriptor. Qt polls each of its sockets on every turn
// of the event loop, and turns each one's write notifier on and off as its
// buffer fills and drains: with thousands of pages, each turn would cost
// more than the sending itself.
class PagePoller : public QObject {
    Q_OBJECT
public:
    explicit PagePoller(QObject *parent = nullptr);
    ~PagePoller() override;

    void add(int fd, LiveSocket *page);
    // Writable is told only while something waits to be written.
    void wantWrite(int fd, bool want);
    void remove(int fd);

private:
    void poll();

    int epoll_;
    QSocketNotifier notifier_;
    QHash<int, LiveSocket *> pages_;
};

} // namespace periodix::web
