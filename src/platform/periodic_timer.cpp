#include "platform/periodic_timer.h"

#include <algorithm>

namespace periodix {

namespace {
// How often a held timer looks again whether it may deliver.
constexpr int HoldPollMs = 20;
} // namespace

PeriodicTimer::PeriodicTimer(QObject *parent, MonotonicClock &clock)
    : QObject(parent), clock_(clock)
{
    wake_.setSingleShot(true);
    wake_.setTimerType(Qt::PreciseTimer);
    connect(&wake_, &QTimer::timeout, this, &PeriodicTimer::deliverDue);
}

void PeriodicTimer::setInterval(int milliseconds)
{
    intervalMs_ = std::max(1, milliseconds);
    if (enabled_)
        arm();
}

void PeriodicTimer::setEnabled(bool enabled)
{
    if (enabled == enabled_) {
        if (!enabled)
            keptNs_ = 0;
        return;
    }
    enabled_ = enabled;
    if (enabled) {
        startNs_ = clock_.nowNs() - keptNs_;
        keptNs_ = 0;
        deliveredDue_ = 0;
        arm();
    } else {
        wake_.stop();
        keptNs_ = 0;
    }
}

void PeriodicTimer::pause()
{
    if (!enabled_)
        return; // an earlier pause keeps what it kept
    const qint64 kept = clock_.nowNs() - startNs_ - deliveredDue_ * intervalNs();
    setEnabled(false);
    keptNs_ = std::max<qint64>(0, kept);
}

qint64 PeriodicTimer::elapsedNs() const
{
    if (!enabled_)
        return keptNs_;
    return std::clamp<qint64>(clock_.nowNs() - startNs_ - deliveredDue_ * intervalNs(), 0, intervalNs());
}

qint64 PeriodicTimer::nextDueNs() const
{
    return startNs_ + (deliveredDue_ + 1) * intervalNs();
}

void PeriodicTimer::arm()
{
    const qint64 waitNs = nextDueNs() - clock_.nowNs();
    const qint64 waitMs = waitNs <= 0 ? 0 : (waitNs + 999'999) / 1'000'000;
    wake_.start(static_cast<int>(std::min<qint64>(waitMs, intervalMs_)));
}

void PeriodicTimer::deliverDue()
{
    if (!enabled_)
        return;
    if (hold_ && hold_()) {
        wake_.start(HoldPollMs);
        return;
    }
    const qint64 passed = (clock_.nowNs() - startNs_) / intervalNs();
    if (passed <= deliveredDue_) { // early: nothing is due yet
        arm();
        return;
    }
    missed_ = passed - deliveredDue_ - 1;
    deliveredDue_ = passed;
    emit tick();
    missed_ = 0;
    if (enabled_ && !wake_.isActive())
        arm();
}

} // namespace periodix
