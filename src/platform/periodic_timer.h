#pragma once

#include "platform/monotonic_clock.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace periodix {

// The clock's periodic timer. Due times are anchored to the moment it is
// enabled (start + k intervals on a monotonic clock), so late events never add
// up to drift: an event that comes late reports the due times it passed as
// missed intervals instead of shifting the phase.
class PeriodicTimer : public QObject {
    Q_OBJECT
public:
    explicit PeriodicTimer(QObject *parent = nullptr, MonotonicClock &clock = steadyClock());

    int interval() const { return intervalMs_; }
    void setInterval(int milliseconds);

    bool isEnabled() const { return enabled_; }
    // Enabling an enabled timer changes nothing. Disabling discards the part
    // of the running interval that has passed: the next enable starts afresh.
    void setEnabled(bool enabled);
    // Disables, keeping the part of the running interval that has passed, so
    // that after the next enable the first event comes when it completes.
    void pause();

    // The number of due times passed since the previous event, less one; read
    // during the tick event. 0 while events keep pace.
    qint64 missedIntervals() const { return missed_; }

    // While hold() is true, due events wait; when it turns false they are
    // delivered with the missed count covering the time that passed.
    void setHold(std::function<bool()> hold) { hold_ = std::move(hold); }

    // The part of the running interval that has passed: while enabled, since
    // the last due time (at most an interval); after pause(), what it kept;
    // otherwise none.
    qint64 elapsedNs() const;

    // When the next due time falls, on the monotonic clock; for tests.
    qint64 nextDueNs() const;

public slots:
    // Delivers the event for every due time that has passed. The platform
    // timer calls it; tests call it after moving their clock.
    void deliverDue();

signals:
    void tick();

private:
    void arm();
    qint64 intervalNs() const { return qint64{intervalMs_} * 1'000'000; }

    MonotonicClock &clock_;
    QTimer wake_;
    std::function<bool()> hold_;
    int intervalMs_ = 1000;
    bool enabled_ = false;
    qint64 startNs_ = 0;     // enable time less the kept part
    qint64 deliveredDue_ = 0; // due times delivered since start
    qint64 keptNs_ = 0;      // part of an interval kept by pause()
    qint64 missed_ = 0;
};

} // namespace periodix
