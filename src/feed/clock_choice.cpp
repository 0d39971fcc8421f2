#include "feed/clock_choice.h"

#include "feed/feed_sequence.h"

#include <QList>

#include <algorithm>

namespace periodix::feed {

ClockChoice::Verdict ClockChoice::take(const ClockId &sender, qint64 nowMs, const Followed &followed)
{
    const bool chosen = from_.isEmpty() || from_.takes(sender);
    if (sender == followed_ || (followed_.isEmpty() && chosen)) {
        followed_ = sender;
        return Verdict::Follows;
    }
    const qint64 silent = nowMs - followed.lastMs;
    const auto heard = others_.find(sender);
    const bool cameAfter = (heard == others_.end() ? nowMs : heard->second.first) > followed.lastMs;
    const bool resumed = cameAfter && chosen && followed.sameGame && sender.address == followed_.address
                         && silent > FeedSequence::LostAfterMs;
    const bool replaces = cameAfter && silent >= GoneAfterMs && (from_.isEmpty() ? followed.lost : chosen && from_.port == 0);
    if (!resumed && !replaces) {
        heardOther(sender, nowMs);
        return Verdict::Other;
    }
    if (heard != others_.end())
        others_.erase(heard);
    followed_ = sender;
    return resumed ? Verdict::Resumed : Verdict::Replaces;
}

void ClockChoice::heardOther(const ClockId &sender, qint64 nowMs)
{
    const auto heard = others_.find(sender);
    others_[sender] = {heard == others_.end() ? nowMs : heard->second.first, nowMs};
    // A network full of senders costs a bounded list: those silent for a
    // minute go, and past the bound the oldest.
    if (others_.size() <= std::size_t(OthersKept) && nowMs - prunedMs_ < 1000)
        return;
    prunedMs_ = nowMs;
    std::erase_if(others_, [nowMs](const auto &other) { return nowMs - other.second.last > OtherHeardMs; });
    while (others_.size() > std::size_t(OthersKept))
        others_.erase(std::min_element(others_.begin(), others_.end(), [](const auto &a, const auto &b) {
            return a.second.last < b.second.last;
        }));
}

QStringList ClockChoice::others(qint64 nowMs, int &more) const
{
    QList<std::pair<qint64, QString>> heard;
    for (const auto &[clock, times] : others_) {
        if (nowMs - times.last <= OtherHeardMs)
            heard.append({times.last, clock.name()});
    }
    // The most recently heard first.
    std::sort(heard.begin(), heard.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    QStringList named;
    more = 0;
    for (int i = 0; i < heard.size(); ++i) {
        if (i < OthersNamed)
            named << heard[i].second;
        else
            ++more;
    }
    return named;
}

} // namespace periodix::feed
