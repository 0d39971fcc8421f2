#pragma once

#include "feed/clock_feed.h"
#include "platform/monotonic_clock.h"

#include <QTimer>
#include <QWidget>

class QLabel;

namespace periodix::display {

class Horn;

// The big clock for the hall: the period's legend and time in heavy digits on
// a dark background, the clock's state below them (stopped, paused, "E N D"),
// and in a corner how long ago the last datagram came and from where, a lost
// link, and other clocks heard on the network.
class DisplayWindow : public QWidget {
    Q_OBJECT
public:
    explicit DisplayWindow(quint16 port, feed::FeedSettings settings = {}, MonotonicClock &clock = steadyClock(),
                           QWidget *parent = nullptr);

    // Seconds and tenths in the last minute of a countdown; a faster refresh.
    void showTenths();
    // The horn at the end of each period, and on the H key.
    void useHorn();

    // One datagram as it arrived.
    void receive(const QByteArray &bytes, const QString &sender);
    // Shows the clock's state now; a timer calls it several times a second.
    void refresh();

    int ignoredCount() const { return feed_.state(nowMs()).ignored; }
    bool linkLost() const;
    QString periodText() const;
    QString timeText() const;
    QString stateText() const;
    QString linkText() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void fitDigits();
    void showTime(const QString &text);
    qint64 nowMs() const { return clock_.nowNs() / 1'000'000; }

    MonotonicClock &clock_;
    quint16 port_;
    QString from_;
    bool tenths_ = false;
    Horn *horn_ = nullptr;
    QString hornProblem_;
    feed::FeedState::Status shownStatus_ = feed::FeedState::Status::Waiting;
    feed::ClockFeed feed_;
    QTimer refresher_;
    QLabel *period_ = nullptr;
    QLabel *time_ = nullptr;
    QLabel *state_ = nullptr;
    QLabel *link_ = nullptr;
};

} // namespace periodix::display
