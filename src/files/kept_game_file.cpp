#include "files/kept_game_file.h"

#include "clock/ansi_text.h"
#include "files/regular_file.h"
#include "files/state_folder.h"

#include <QCryptographicHash>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <optional>

namespace periodix {

using namespace common;

namespace {

const QByteArray FirstLine = "Periodix kept game 2";

// Sixteen hexadecimal digits of the SHA-256 of the bytes.
QByteArray checkSum(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(16);
}

// The time of the game is in two slots of one width after the first line,
// "slot SEQUENCE CLOCK WRITTEN CHECK": each tick writes the older slot over
// in place, so a tick a power cut or a failing disk cuts short leaves the
// other whole. The check covers the slot and the check of the rest of the
// file, so no digit of the clock or of the time written changes unseen.
constexpr int SlotWidth = 5 + 10 + 1 + 11 + 1 + 24 + 1 + 16 + 1;

QByteArray slotLine(const KeptGame &game, quint32 sequence, const QByteArray &restCheck)
{
    const QByteArray fields = "slot " + QByteArray::number(sequence).rightJustified(10, '0') + ' '
                              + QByteArray::number(game.clockSeconds).rightJustified(11, ' ') + ' '
                              + game.written.toUTC().toString(Qt::ISODateWithMs).toUtf8().rightJustified(24, ' ');
    return fields + ' ' + checkSum(fields + restCheck) + '\n';
}

// Legends may hold any character of the code page, line ends included.
QByteArray encodeLegend(const QString &legend)
{
    return legend.isEmpty() ? QByteArray("-") : QUrl::toPercentEncoding(legend);
}

QString decodeLegend(const QByteArray &text)
{
    return text == "-" ? QString() : QUrl::fromPercentEncoding(text);
}

// Reads "key value" lines in their order; the first fault is kept.
class FieldReader {
public:
    // The first line is read before; a file cut inside its last line is
    // refused at that line.
    explicit FieldReader(const QByteArray &bytes) : lines_(bytes.split('\n'))
    {
        if (lines_.last().isEmpty())
            lines_.removeLast();
        else
            cutAt_ = lines_.size() - 1;
    }

    QByteArray text(const char *key)
    {
        if (!error_.isEmpty())
            return {};
        if (next_ >= lines_.size()) {
            fail(QStringLiteral("ends before \"%1\"").arg(QLatin1String(key)), 1);
            return {};
        }
        if (next_ == cutAt_) {
            ++next_;
            fail(QStringLiteral("cut short: the line has no end"));
            return {};
        }
        const QByteArray &line = lines_[next_++];
        const QByteArray prefix = QByteArray(key) + ' ';
        if (!line.startsWith(prefix)) {
            fail(QStringLiteral("\"%1\" expected").arg(QLatin1String(key)));
            return {};
        }
        return line.mid(prefix.size());
    }

    qint64 number(const QByteArray &padded, qint64 lowest, qint64 highest)
    {
        const QByteArray text = padded.trimmed();
        bool ok = false;
        const qint64 value = text.toLongLong(&ok);
        if (error_.isEmpty() && (!ok || value < lowest || value > highest || text.startsWith('+')))
            fail(QStringLiteral("\"%1\" is no number from %2 to %3").arg(QString::fromUtf8(text)).arg(lowest).arg(highest));
        return value;
    }
    qint64 number(const char *key, qint64 lowest, qint64 highest) { return number(text(key), lowest, highest); }

    // The line last read, or the one after it; the first line is read before.
    void fail(const QString &what, int ahead = 0)
    {
        if (error_.isEmpty())
            error_ = QStringLiteral("line %1: %2").arg(next_ + 1 + ahead).arg(what);
    }
    void failAt(int line, const QString &what)
    {
        if (error_.isEmpty())
            error_ = QStringLiteral("line %1: %2").arg(line).arg(what);
    }
    bool atEnd() const { return next_ >= lines_.size(); }
    // The next line's value when it has this key, which a file may leave out.
    std::optional<QByteArray> optionalText(const char *key)
    {
        const QByteArray prefix = QByteArray(key) + ' ';
        if (!error_.isEmpty() || atEnd() || next_ == cutAt_ || !lines_[next_].startsWith(prefix))
            return std::nullopt;
        return lines_[next_++].mid(prefix.size());
    }
    const QString &error() const { return error_; }

private:
    QList<QByteArray> lines_;
    qsizetype next_ = 0;
    qsizetype cutAt_ = -1; // the line without an end
    QString error_;
};

bool isBroadcastAddress(const QString &text)
{
    const QStringList parts = text.split(u'.');
    if (parts.size() != 4 || parts[3] != QStringLiteral("255"))
        return false;
    for (const QString &part : parts) {
        if (part.isEmpty() || part.size() > 5)
            return false;
        for (QChar c : part) {
            if (!c.isDigit() || c.unicode() > 127)
                return false;
        }
    }
    return true;
}

constexpr qint64 Min16 = std::numeric_limits<qint16>::min();
constexpr qint64 Max16 = std::numeric_limits<qint16>::max();
constexpr qint64 Min32 = std::numeric_limits<qint32>::min();
constexpr qint64 Max32 = std::numeric_limits<qint32>::max();

} // namespace

QByteArray keptGameRest(const KeptGame &game)
{
    QByteArray out = "timer " + QByteArray::number(game.timerMode) + '\n';
    out += "network " + game.broadcastAddress.toUtf8() + '\n';
    out += "period " + QByteArray::number(game.currentPeriod) + " of " + QByteArray::number(game.periods.size()) + '\n';
    out += "length " + QByteArray::number(game.periodSeconds) + '\n';
    out += QByteArray("ended ") + (game.ended ? "yes" : "no") + '\n';
    if (!game.game.isEmpty())
        out += "game " + game.game.toUtf8() + '\n';
    if (game.hallFeedPort != 0)
        out += "hall feed " + QByteArray::number(game.hallFeedPort) + '\n';
    // Each period: "Ask me" flag, minutes, seconds (the answers, for an
    // "Ask me" period), legend.
    for (const PeriodRecord &r : game.periods) {
        out += "set " + QByteArray::number(r.AskMe) + ' ' + QByteArray::number(r.Minutes) + ' '
               + QByteArray::number(r.Seconds) + ' ' + encodeLegend(r.Legend) + '\n';
    }
    return out + "check " + checkSum(out) + '\n';
}

KeptGameSlot keptGameSlot(const KeptGame &game, quint32 sequence, const QByteArray &rest)
{
    return {FirstLine.size() + 1 + qint64(sequence % 2) * SlotWidth, slotLine(game, sequence, checkSum(rest))};
}

QByteArray encodeKeptGame(const KeptGame &game)
{
    // Both slots hold the game: 0 first, 1 after it, the newer.
    const QByteArray rest = keptGameRest(game);
    return FirstLine + '\n' + slotLine(game, 0, checkSum(rest)) + slotLine(game, 1, checkSum(rest)) + rest;
}

bool decodeKeptGame(const QByteArray &bytes, KeptGame &game, QString &error)
{
    if (!bytes.startsWith(FirstLine + '\n')) {
        if (bytes.startsWith(FirstLine + "\r\n"))
            error = QStringLiteral("line 1: damaged, its lines end with CR LF");
        else if (bytes.startsWith("Periodix kept game "))
            error = QStringLiteral("kept by another version of Periodix");
        else
            error = QStringLiteral("not a game kept by Periodix");
        return false;
    }
    FieldReader in(bytes.mid(FirstLine.size() + 1));
    KeptGame read;
    // The slots are checked once the rest of the file is.
    const QByteArray slotLines[2] = {in.text("slot"), in.text("slot")};
    read.timerMode = qint32(in.number("timer", ClockTimer, CountdownTimer));
    read.broadcastAddress = QString::fromUtf8(in.text("network"));
    if (in.error().isEmpty() && !isBroadcastAddress(read.broadcastAddress))
        in.fail(QStringLiteral("\"%1\" is no broadcast address").arg(read.broadcastAddress));
    const QList<QByteArray> period = in.text("period").split(' ');
    const bool periodForm = period.size() == 3 && period[1] == "of";
    if (in.error().isEmpty() && !periodForm)
        in.fail(QStringLiteral("\"period N of COUNT\" expected"));
    const qint64 count = periodForm ? in.number(period[2], 1, Max16) : 0;
    read.currentPeriod = qint16(periodForm ? in.number(period[0], 1, count) : 0);
    read.periodSeconds = qint32(in.number("length", Min32, Max32));
    const QByteArray ended = in.text("ended");
    if (in.error().isEmpty() && ended != "yes" && ended != "no")
        in.fail(QStringLiteral("\"ended yes\" or \"ended no\" expected"));
    read.ended = ended == "yes";
    // Written since the hall feed came; older files have neither.
    if (const std::optional<QByteArray> id = in.optionalText("game")) {
        // Sixteen hexadecimal digits, as Periodix makes them.
        read.game = QString::fromUtf8(*id);
        const bool hex = std::all_of(id->cbegin(), id->cend(),
                                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
        if (id->size() != 16 || !hex)
            in.fail(QStringLiteral("\"%1\" is no game's identity").arg(read.game));
    }
    if (const std::optional<QByteArray> port = in.optionalText("hall feed"))
        read.hallFeedPort = quint16(in.number(*port, 1, 65535));
    for (qint64 i = 0; i < count && in.error().isEmpty(); ++i) {
        const QList<QByteArray> fields = in.text("set").split(' ');
        if (in.error().isEmpty() && fields.size() != 4) {
            in.fail(QStringLiteral("\"set ASKME MINUTES SECONDS LEGEND\" expected"));
            break;
        }
        PeriodRecord r;
        r.AskMe = qint16(in.number(fields.value(0), True, False));
        if (r.AskMe != True && r.AskMe != False)
            in.fail(QStringLiteral("the \"Ask me\" flag is -1 or 0"));
        r.Minutes = qint16(in.number(fields.value(1), Min16, Max16));
        r.Seconds = qint16(in.number(fields.value(2), Min16, Max16));
        r.Legend = decodeLegend(fields.value(3));
        for (QChar c : r.Legend) {
            if (!isAnsiCharacter(c)) {
                in.fail(QStringLiteral("a legend a Period Script file cannot hold"));
                break;
            }
        }
        read.periods.append(r);
    }
    if (in.error().isEmpty() && in.optionalText("set"))
        in.fail(QStringLiteral("more than %1 periods").arg(count));
    const QByteArray check = in.text("check");
    const int checkLine = int(3 + 6 + (read.game.isEmpty() ? 0 : 1) + (read.hallFeedPort ? 1 : 0) + count);
    if (in.error().isEmpty() && !in.atEnd())
        in.fail(QStringLiteral("a line after the check"), 1);
    const qsizetype restAt = FirstLine.size() + 1 + 2 * SlotWidth;
    if (in.error().isEmpty() && check != checkSum(bytes.mid(restAt, bytes.lastIndexOf("\ncheck ") + 1 - restAt)))
        in.failAt(checkLine, QStringLiteral("the check sum does not match: the file is damaged"));
    // The newest slot that is whole.
    const QByteArray restCheck = checkSum(bytes.mid(restAt));
    int newest = -1;
    quint32 newestSequence = 0;
    for (int i = 0; i < 2 && in.error().isEmpty(); ++i) {
        const QByteArray line = "slot " + slotLines[i] + '\n';
        const quint32 sequence = slotLines[i].left(10).toUInt();
        if (line.size() == SlotWidth && line.mid(SlotWidth - 17, 16) == checkSum(line.left(SlotWidth - 18) + restCheck)
            && (newest < 0 || sequence > newestSequence)) {
            newest = i;
            newestSequence = sequence;
        }
    }
    if (in.error().isEmpty() && newest < 0)
        in.failAt(2, QStringLiteral("neither slot of the time is whole: the file is damaged"));
    if (in.error().isEmpty()) {
        const QByteArray &slot = slotLines[newest];
        read.clockSeconds = qint32(in.number(slot.mid(11, 11), Min32, Max32));
        read.written = QDateTime::fromString(QString::fromUtf8(slot.mid(23, 24).trimmed()), Qt::ISODateWithMs);
        if (!read.written.isValid())
            in.failAt(2 + newest, QStringLiteral("\"%1\" is no time").arg(QString::fromUtf8(slot.mid(23, 24))));
        // Against the set: the length the period's own line gives (the answers
        // for an "Ask me" period), and a time the end check leaves between 0
        // and that length.
        const PeriodRecord &r = read.periods[read.currentPeriod - 1];
        const qint64 length = qint64{r.Minutes} * 60 + r.Seconds;
        if (length < Min16 || length > Max16 || read.periodSeconds != length)
            in.failAt(7, QStringLiteral("\"length %1\" is not the length of period %2 of the set")
                             .arg(read.periodSeconds)
                             .arg(read.currentPeriod));
        else if (read.clockSeconds < std::min<qint64>(0, length) || read.clockSeconds > std::max<qint64>(0, length))
            in.failAt(2 + newest, QStringLiteral("\"clock %1\" is outside the period").arg(read.clockSeconds));
    }
    if (!in.error().isEmpty()) {
        error = in.error();
        return false;
    }
    game = read;
    return true;
}

QString keptGamePath()
{
    return stateFolder() + QStringLiteral("/game");
}

bool readKeptGame(const QString &path, KeptGame &game, QString &error)
{
    // A kept game is a few hundred bytes a period; anything far larger is not one.
    constexpr qint64 Largest = 8 << 20;
    QByteArray bytes;
    int failure = 0;
    QString why;
    if (!readRegularFile(path, Largest, bytes, failure)) {
        why = failure == ENOENT         ? QStringLiteral("no game is kept (the file does not exist)")
              : failure == FileTooLarge ? QStringLiteral("too large for a kept game")
                                        : fileErrorText(failure);
    } else if (!decodeKeptGame(bytes, game, why)) {
        why = QStringLiteral("cannot be read, %1").arg(why);
    }
    if (why.isEmpty())
        return true;
    error = QStringLiteral("%1: %2").arg(path, why);
    return false;
}

} // namespace periodix
