#include "display/display_window.h"

#include "display/horn.h"
#include "platform/looks.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include <cstdio>

namespace periodix::display {

// Amber and red read apart on a projector from across the hall, by hue and
// by brightness, and red means stopped as on the operator's own window.
const QColor DisplayWindow::Counting(255, 196, 0);
const QColor DisplayWindow::NotCounting(255, 48, 48);
const QColor DisplayWindow::Dimmed(110, 110, 110);

namespace {
const QColor Background(16, 16, 16);
const QColor Quiet(170, 170, 170);
const QColor Alarm(255, 64, 64);

QLabel *makeLabel(QWidget *parent, const char *name, const QColor &colour, Qt::Alignment alignment)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(alignment);
    setTextColour(label, colour);
    // The window sets the sizes; a label's text never holds the window open.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    label->setMinimumSize(1, 1);
    return label;
}
} // namespace

DisplayWindow::DisplayWindow(quint16 port, feed::FeedSettings settings, MonotonicClock &clock, QWidget *parent)
    : QWidget(parent), clock_(clock), port_(port), from_(settings.from.name()), feed_(std::move(settings))
{
    setObjectName(QStringLiteral("displayWindow"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Background);
    setPalette(palette);
    setAutoFillBackground(true);
    resize(800, 450);

    period_ = makeLabel(this, "period", Quiet, Qt::AlignCenter);
    period_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed); // a line of its own
    period_->setFont(heavyFont(28));
    time_ = makeLabel(this, "time", NotCounting, Qt::AlignCenter);
    time_->setFont(heavyFont(96));
    state_ = makeLabel(this, "state", Quiet, Qt::AlignCenter);
    state_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    state_->setFont(heavyFont(20, QFont::Bold));
    link_ = makeLabel(this, "link", Quiet, Qt::AlignRight | Qt::AlignBottom);
    link_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(period_);
    layout->addWidget(time_, 1);
    layout->addWidget(state_);
    layout->addWidget(link_);

    refresher_.setInterval(250);
    connect(&refresher_, &QTimer::timeout, this, &DisplayWindow::refresh);
    refresher_.start();
    refresh();
}

void DisplayWindow::showTenths()
{
    tenths_ = true;
    refresher_.setInterval(20); // a tenth shows within a fifth of itself
    refresh();
}

void DisplayWindow::useHorn()
{
    if (horn_)
        return;
    horn_ = new Horn(this);
    connect(horn_, &Horn::unavailable, this, [this](const QString &reason) {
        if (!hornNote_.startsWith(QStringLiteral("no horn")))
            std::fprintf(stderr, "periodix-display: no horn: %s (trying again)\n", qPrintable(reason));
        hornNote_ = QStringLiteral("no horn: ") + reason;
        refresh();
    });
    connect(horn_, &Horn::ready, this, [this] {
        if (hornNote_.isEmpty())
            return; // ready from the start: nothing to tell
        std::fprintf(stderr, "periodix-display: horn ready\n");
        hornNote_ = QStringLiteral("horn ready");
        refresh();
    });
}

void DisplayWindow::blowHorn()
{
    ++hornsBlown_;
    if (horn_)
        horn_->blow();
}

void DisplayWindow::receive(const QByteArray &bytes, const QString &sender)
{
    feed_.receive(bytes, sender, nowMs());
    refresh();
}

void DisplayWindow::receiveFeed(const QByteArray &bytes, const QString &sender)
{
    feed_.receiveFeed(bytes, sender, nowMs());
    refresh();
}

bool DisplayWindow::linkLost() const
{
    return feed_.state(nowMs()).status == feed::FeedState::Status::Lost;
}

namespace {
// The line under the digits for each state of the clock.
QString stateLine(feed::FeedState::Status status)
{
    using Status = feed::FeedState::Status;
    switch (status) {
    case Status::Stopped: return QStringLiteral("Stopped");
    case Status::Paused: return QStringLiteral("Paused");
    case Status::Ended: return QStringLiteral("E N D");
    case Status::Lost: return QStringLiteral("LINK LOST");
    case Status::Waiting:
    case Status::Running: break;
    }
    return QString();
}
} // namespace

void DisplayWindow::refresh()
{
    using Status = feed::FeedState::Status;
    const feed::FeedState state = feed_.state(nowMs());
    const bool lost = state.status == Status::Lost;
    if (state.status == Status::Waiting) {
        state_->setText(from_.isEmpty() ? QStringLiteral("Waiting for the clock on port %1").arg(port_)
                                        : QStringLiteral("Waiting for the clock at %1 on port %2").arg(from_).arg(port_));
    } else {
        state_->setText(stateLine(state.status));
        period_->setText(!state.legend.isEmpty() ? state.legend
                         : state.period > 0      ? QStringLiteral("Period %1").arg(state.period)
                                                 : QString());
        showTime(tenths_ && !state.tenths.isEmpty() ? state.tenths : state.time);
    }
    // The horn each time a counting clock reaches the end of its period,
    // whichever datagrams were lost on the way and whatever the state before
    // (a start from a pause sends nothing): never on a display started on an
    // ended period, a reset or a correction.
    if (shownEnds_ >= 0 && state.ends > shownEnds_)
        blowHorn();
    if (state.status != Status::Waiting)
        shownEnds_ = state.ends;
    // Counting or not, told from across the hall; digits that may be old dimmed.
    setTextColour(time_, lost || state.status == Status::Waiting ? Dimmed
                         : state.counting()                     ? Counting
                                                                : NotCounting);
    setTextColour(state_, lost ? Alarm : Quiet);
    fitLine(period_);
    fitLine(state_);

    QStringList parts;
    if (state.status == Status::Waiting && feedPort_ != 0)
        parts << QStringLiteral("its hall feed on port %1").arg(feedPort_);
    if (state.sinceLastMs >= 0)
        parts << QStringLiteral("%1 s ago from %2 (%3)")
                     .arg(state.sinceLastMs / 1000.0, 0, 'f', 1)
                     .arg(state.sender, state.fromFeed ? QStringLiteral("hall feed") : QStringLiteral("clock datagrams"));
    if (state.ignored > 0)
        parts << QStringLiteral("ignored %1").arg(state.ignored);
    for (int i = 0; i < state.otherClocks.size(); ++i)
        parts << (i == 0 ? QStringLiteral("other clocks (choose with --from): ") : QString()) + state.otherClocks[i];
    if (state.moreClocks > 0)
        parts << QStringLiteral("and %1 more").arg(state.moreClocks);
    if (!hornNote_.isEmpty())
        parts << hornNote_;
    layOutCorner(parts);
    setTextColour(link_, lost ? Alarm : Quiet);
    QString title = QStringLiteral("Periodix display: ");
    if (state.status == Status::Waiting)
        title += state_->text();
    else
        title += periodText() + u' ' + timeText() + (lost || stateText().isEmpty() ? QString() : u' ' + stateText());
    if (lost)
        title += QStringLiteral(" (link lost)");
    setWindowTitle(title.trimmed());
}

QString DisplayWindow::periodText() const
{
    return period_->text();
}

QString DisplayWindow::timeText() const
{
    return time_->text();
}

QString DisplayWindow::stateText() const
{
    return state_->text();
}

QString DisplayWindow::linkText() const
{
    return link_->text();
}

void DisplayWindow::showTime(const QString &text)
{
    if (time_->text() == text)
        return;
    const bool sameShape = time_->text().size() == text.size();
    time_->setText(text);
    if (!sameShape)
        fitDigits();
}

void DisplayWindow::fitDigits()
{
    // As large as the window allows: the digits fill most of its width. The
    // size is that of "00:00" unless the text is longer, so the digits keep
    // their size whatever they show (tenths too); the face's figures are all
    // of one width.
    const QString text = time_->text();
    const QString sample = text.size() > 5 ? text : QStringLiteral("00:00");
    QFont font = time_->font();
    const int width = std::max(100, this->width() * 9 / 10);
    const int height = std::max(40, this->height() * 55 / 100);
    font.setPixelSize(height);
    const int advance = QFontMetrics(font).horizontalAdvance(sample);
    if (advance > width)
        font.setPixelSize(std::max(12, height * width / advance));
    time_->setFont(font);
    // The period and the state take a line each, the corner two small ones;
    // the digits take the rest.
    QFont small = period_->font();
    small.setPixelSize(lineSize());
    const int line = QFontMetrics(small).height() + 8;
    period_->setFixedHeight(line);
    state_->setFixedHeight(line);
    QFont corner = link_->font();
    corner.setPixelSize(std::max(11, this->height() / 60));
    link_->setFont(corner);
    link_->setFixedHeight(2 * QFontMetrics(corner).lineSpacing() + 4);
    fitLine(period_);
    fitLine(state_);
    layOutCorner(cornerParts_);
}

int DisplayWindow::lineSize() const
{
    return std::max(14, this->height() / 12);
}

void DisplayWindow::fitLine(QLabel *label)
{
    // A line's size, or smaller when its text is wider than the window.
    QFont font = label->font();
    font.setPixelSize(lineSize());
    const int width = std::max(50, this->width() - 24);
    const int advance = QFontMetrics(font).horizontalAdvance(label->text());
    if (advance > width)
        font.setPixelSize(std::max(8, lineSize() * width / advance));
    if (font != label->font())
        label->setFont(font);
}

void DisplayWindow::layOutCorner(const QStringList &parts)
{
    // At most two lines, filled part by part from the right; a part never
    // breaks (an address cut in two would be wrong to type into --from), and
    // what does not fit is left off at the end.
    cornerParts_ = parts;
    const QFontMetrics metrics(link_->font());
    const int width = std::max(50, this->width() - 16);
    const QString gap = QStringLiteral("   ");
    QStringList lines{QString()};
    for (const QString &part : parts) {
        QString &last = lines.last();
        const QString joined = last.isEmpty() ? part : last + gap + part;
        if (metrics.horizontalAdvance(joined) <= width) {
            last = joined;
        } else if (lines.size() < 2 && !last.isEmpty() && metrics.horizontalAdvance(part) <= width) {
            lines << part;
        } else {
            break;
        }
    }
    link_->setText(lines.join(u'\n'));
}

void DisplayWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitDigits();
}

void DisplayWindow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_F11:
        setWindowState(windowState() ^ Qt::WindowFullScreen);
        break;
    case Qt::Key_Escape:
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        break;
    case Qt::Key_Q:
        close();
        break;
    case Qt::Key_H: // the hall staff try the volume before the game
        if (horn_)
            blowHorn();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace periodix::display
