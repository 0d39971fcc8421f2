#include "web/clock_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace periodix::web {

QByteArray clockJson(const feed::FeedState &state, bool forTools, bool withLeft)
{
    QJsonObject object;
    object.insert(QStringLiteral("state"), feed::statusName(state.status));
    object.insert(QStringLiteral("period"), state.period > 0 ? QJsonValue(state.period) : QJsonValue());
    object.insert(QStringLiteral("legend"), state.legend.isEmpty() ? QJsonValue() : QJsonValue(state.legend));
    object.insert(QStringLiteral("time"), state.time.isEmpty() ? QJsonValue() : QJsonValue(state.time));
    object.insert(QStringLiteral("counting"), state.counting());
    object.insert(QStringLiteral("countingDown"), state.countingDown);
    object.insert(QStringLiteral("sender"), state.sender.isEmpty() ? QJsonValue() : QJsonValue(state.sender));
    object.insert(QStringLiteral("otherClocks"), QJsonArray::fromStringList(state.otherClocks));
    object.insert(QStringLiteral("moreClocks"), state.moreClocks);
    object.insert(QStringLiteral("ends"), state.ends);
    object.insert(QStringLiteral("source"), state.fromFeed ? QStringLiteral("feed") : QStringLiteral("datagrams"));
    // What only the hall feed tells; null from the clock datagrams.
    const std::optional<protocol::ClockState> &told = state.told;
    object.insert(QStringLiteral("game"), told ? QJsonValue(told->game) : QJsonValue());
    object.insert(QStringLiteral("periods"), told ? QJsonValue(told->periods) : QJsonValue());
    object.insert(QStringLiteral("length"), told ? QJsonValue(told->length) : QJsonValue());
    const QString timer = told && told->countdown ? QStringLiteral("countdown") : QStringLiteral("countup");
    object.insert(QStringLiteral("timer"), told ? QJsonValue(timer) : QJsonValue());
    if (withLeft)
        object.insert(QStringLiteral("left"), state.feedLeftMs < 0 ? QJsonValue() : QJsonValue(double(state.feedLeftMs)));
    if (forTools) {
        object.insert(QStringLiteral("ignored"), double(state.ignored)); // JSON numbers are doubles
        object.insert(QStringLiteral("secondsSinceLast"),
                      state.sinceLastMs < 0 ? QJsonValue() : QJsonValue(double(state.sinceLastMs / 100) / 10.0));
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace periodix::web
