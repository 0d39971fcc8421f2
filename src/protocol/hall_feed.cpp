#include "protocol/hall_feed.h"

#include "protocol/clock_datagram.h"
#include "protocol/time_text.h"

#include <QJsonArray>
#include <QMessageAuthenticationCode>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace periodix::protocol {

namespace {
constexpr qint64 LargestSeq = qint64{1} << 53; // a JSON number a reader keeps exactly
constexpr int LongestGame = 64;
constexpr qint64 Min32 = std::numeric_limits<qint32>::min();
constexpr qint64 Max32 = std::numeric_limits<qint32>::max();

QByteArray jsonString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}


// A whole number in the object, within its range.
std::optional<qint64> whole(const QJsonObject &object, const char *key, qint64 lowest, qint64 highest)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!(number >= double(lowest) && number <= double(highest)) || std::floor(number) != number)
        return std::nullopt;
    return qint64(number);
}

std::optional<QString> text(const QJsonObject &object, const char *key, int longest)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString() || value.toString().size() > longest)
        return std::nullopt;
    return value.toString();
}
QByteArray encodeFitted(const HallFeed &feed)
{
    // Written by hand to keep the fields in the documented order.
    QByteArray out = "{\"v\":" + QByteArray::number(HallFeedVersion);
    out += ",\"seq\":" + QByteArray::number(feed.seq);
    out += ",\"game\":" + jsonString(feed.clock.game);
    out += ",\"state\":\"" + runName(feed.clock.run).toLatin1() + '"';
    out += ",\"period\":" + QByteArray::number(feed.clock.period);
    out += ",\"periods\":" + QByteArray::number(feed.clock.periods);
    out += ",\"legend\":" + jsonString(feed.clock.legend);
    out += QByteArray(",\"timer\":") + (feed.clock.countdown ? "\"countdown\"" : "\"countup\"");
    out += ",\"length\":" + QByteArray::number(feed.clock.length);
    out += ",\"clock\":" + QByteArray::number(double(feed.clockTenths) / 10, 'f', 1);
    out += ",\"time\":" + jsonString(feed.time) + '}';
    return out;
}

} // namespace

HallFeed hallFeed(const ClockState &state, qint64 seq)
{
    HallFeed feed;
    feed.seq = seq;
    feed.clock = state;
    feed.clock.elapsedNs = 0; // told as the tenths
    feed.clockTenths = clockTenths(state);
    feed.time = timeText(state.seconds);
    return feed;
}

QByteArray encodeHallFeed(const HallFeed &feed)
{
    // A legend of a period set may be longer than a feed datagram takes (a
    // Period Script file holds any length; escapes take six bytes): it is cut
    // to fit, so that the feed always arrives.
    HallFeed fitted = feed;
    fitted.clock.legend.truncate(LongestLegend);
    QByteArray out = encodeFitted(fitted);
    while (out.size() > LongestHallFeed && !fitted.clock.legend.isEmpty()) {
        fitted.clock.legend.chop(1);
        out = encodeFitted(fitted);
    }
    return out;
}


QByteArray signHallFeed(const QByteArray &json, const QByteArray &key)
{
    return json + '\n' + QMessageAuthenticationCode::hash(json, key, QCryptographicHash::Sha256).toHex();
}

std::optional<QByteArray> verifiedHallFeed(const QByteArray &datagram, const QByteArray &key)
{
    const qsizetype split = datagram.size() - SignatureSize;
    if (split < 0 || datagram[split] != '\n')
        return std::nullopt;
    const QByteArray json = datagram.first(split);
    const QByteArray expected = signHallFeed(json, key).sliced(split);
    // Compared in full whatever differs, so that the time taken tells nothing.
    char differs = 0;
    for (qsizetype i = 0; i < SignatureSize; ++i)
        differs |= char(expected[i] ^ datagram[split + i]);
    if (differs != 0)
        return std::nullopt;
    return json;
}

std::optional<HallFeed> parseHallFeed(const QByteArray &bytes)
{
    if (bytes.size() > LongestHallFeed)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    HallFeed feed;
    const auto version = whole(object, "v", HallFeedVersion, HallFeedVersion);
    const auto seq = whole(object, "seq", 1, LargestSeq);
    const auto game = text(object, "game", LongestGame);
    const auto state = text(object, "state", 16);
    const auto periods = whole(object, "periods", 1, 32767);
    const auto period = whole(object, "period", 1, periods.value_or(0));
    const auto legend = text(object, "legend", LongestLegend);
    const auto timer = text(object, "timer", 16);
    const auto length = whole(object, "length", Min32, Max32);
    const auto time = text(object, "time", LongestTime);
    const QJsonValue clock = object.value(QLatin1String("clock"));
    if (!version || !seq || !game || game->isEmpty() || !state || !period || !legend || !timer || !length || !time
        || !clock.isDouble())
        return std::nullopt;
    // The digits as the clock datagram has them, within the clock's range.
    const std::optional<qint32> seconds = readTimeText(time->toLatin1(), LongestTime);
    const double tenths = std::round(clock.toDouble() * 10);
    if (!seconds || !(std::abs(tenths) <= double(Max32) * 10))
        return std::nullopt;
    int stateIndex = 0;
    while (stateIndex < 4 && *state != runName(HallFeed::State(stateIndex)))
        ++stateIndex;
    if (stateIndex == 4 || (*timer != QLatin1String("countdown") && *timer != QLatin1String("countup")))
        return std::nullopt;
    feed.seq = *seq;
    feed.clock.game = *game;
    feed.clock.run = HallFeed::State(stateIndex);
    feed.clock.period = int(*period);
    feed.clock.periods = int(*periods);
    feed.clock.legend = *legend;
    feed.clock.countdown = *timer == QLatin1String("countdown");
    feed.clock.length = qint32(*length);
    feed.clockTenths = qint64(tenths);
    feed.time = *time;
    feed.clock.seconds = *seconds;
    return feed;
}

} // namespace periodix::protocol
