#include "feed/feed_sequence.h"

namespace periodix::feed {

bool FeedSequence::isNewer(const protocol::HallFeed &feed, qint64 nowMs) const
{
    const qint64 silentMs = nowMs - heardMs_;
    if (!newest_ || restarted_ || feed.clock.game != newest_->clock.game)
        return !signed_ || !newest_ || silentMs > RestartMs; // another game's count starts anew
    if (feed.seq <= newest_->seq)
        return silentMs > RestartMs;
    return feed.seq - newest_->seq <= MostBurst + silentMs * MostPerSecond / 1000;
}

void FeedSequence::take(const protocol::HallFeed &feed, qint64 nowMs)
{
    newest_ = feed;
    heardMs_ = nowMs;
    restarted_ = false;
}

} // namespace periodix::feed
