#pragma once

#include "feed/clock_feed.h"
#include "platform/monotonic_clock.h"

#include <QTimer>
#include <QWidget>

class QLabel;

namespace periodix::display {

class Horn;

// The big clock for the hall: the period's legend and time in heavy digits on
// a dark background, amber while the clock counts and red while it does not;
// the clock's state below them (stopped, paused, "E N D", a red "LINK LOST"
// over dimmed digits), and in the bottom line how long ago the last datagram
// came and from which clock, other clocks heard on the network and the horn.
// Every text fits the window, whatever its size.
class DisplayWindow : public QWidget {
    Q_OBJECT
public:
    explicit DisplayWindow(quint16 port, feed::FeedSettings settings = {}, MonotonicClock &clock = steadyClock(),
                           QWidget *parent = nullptr);

    // Seconds and tenths in the last minute of a countdown; a faster refresh.
    void showTenths();
    // The horn at the end of each period, and on the H key.
    void useHorn();
    // Named in the bottom line while waiting.
    void setFeedPort(quint16 port) { feedPort_ = port; }

    // One datagram as it arrived.
    void receive(const QByteArray &bytes, const QString &sender);
    // One datagram of the clock's hall feed as it arrived.
    void receiveFeed(const QByteArray &bytes, const QString &sender);
    // Shows the clock's state now; a timer calls it several times a second.
    void refresh();

    int ignoredCount() const { return int(feed_.state(nowMs()).ignored); }
    int hornsBlown() const { return hornsBlown_; }

    // The colours of the digits.
    static const QColor Counting;
    static const QColor NotCounting;
    static const QColor Dimmed;
    bool linkLost() const;
    QString periodText() const;
    QString timeText() const;
    QString stateText() const;
    QString linkText() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void blowHorn();
    void fitDigits();
    void fitLine(QLabel *label);
    int lineSize() const;
    void layOutCorner(const QStringList &parts);
    void showTime(const QString &text);
    qint64 nowMs() const { return clock_.nowNs() / 1'000'000; }

    MonotonicClock &clock_;
    quint16 port_;
    quint16 feedPort_ = 0;
    QString from_;
    bool tenths_ = false;
    Horn *horn_ = nullptr;
    QString hornNote_;  // "no horn: ..." while the device cannot be had; "horn ready" once it came back
    int shownEnds_ = -1; // the ends of periods heard of so far; none before the first datagram
    int hornsBlown_ = 0;
    QStringList cornerParts_;
    feed::ClockFeed feed_;
    QTimer refresher_;
    QLabel *period_ = nullptr;
    QLabel *time_ = nullptr;
    QLabel *state_ = nullptr;
    QLabel *link_ = nullptr;
};

} // namespace periodix::display
