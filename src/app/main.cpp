#include "files/game_keeper.h"
#include "files/game_lock.h"
#include "error_reporting/error_report.h"
#include "error_reporting/report_box.h"
#include "main_window/frm_main.h"
#include "platform/command_line.h"
#include "files/feed_key_file.h"
#include "protocol/ports.h"
#include "main_window/hall_feed_sender.h"
#include "platform/early_options.h"
#include "platform/udp_sender.h"
#include "settings_window/frm_set.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>

#include <cstdio>
#include <optional>

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Periodix"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PERIODIX_VERSION));
    QCommandLineParser options;
    using periodix::protocol::ClockPort;
    using periodix::protocol::HallFeedPort;
    options.setApplicationDescription(QStringLiteral(
        "Game clock for sports played in timed periods; broadcasts the clock on UDP port %1.\n"
        "Everything else is set in its settings window.\n\n"
        "While the clock window shows a game, Periodix keeps its state (the period set, the\n"
        "timer type, the network, the period and the time) in\n"
        "$XDG_STATE_HOME/periodix/game (by default ~/.local/state/periodix/game).\n"
        "One Periodix keeps it at a time: a second one keeps nothing.").arg(ClockPort));
    options.addHelpOption();
    options.addVersionOption();
    const QCommandLineOption resume(QStringLiteral("resume"),
                                    QStringLiteral("Takes up the last game where it stood, after a crash, a kill or a "
                                                   "power cut: the clock window opens stopped at the kept period "
                                                   "and time, without the settings window."));
    options.addOption(resume);
    const QCommandLineOption hallFeed(
        QStringLiteral("hall-feed"),
        QStringLiteral("Also sends the hall feed: the clock's whole state (run state, period, legend, length, "
                       "time to a tenth) as one datagram of JSON on UDP port %1, at once after every change "
                       "and four times a second in every state, to the same broadcast address and from the "
                       "same socket as the clock datagrams. periodix-display and periodix-web follow it in "
                       "preference to the clock datagrams: through lost datagrams, a horn for every end, "
                       "a stopped clock whose machine died shown as lost. --resume keeps it on.")
            .arg(HallFeedPort));
    const QCommandLineOption hallFeedPort(QStringLiteral("hall-feed-port"),
                                          QStringLiteral("The hall feed's UDP port (%1); turns the feed on.").arg(HallFeedPort),
                                          QStringLiteral("port"));
    const QCommandLineOption hallFeedKey(
        QStringLiteral("hall-feed-key"),
        QStringLiteral("Signs the hall feed with the key in this file, which only its owner may read; turns the feed "
                       "on. The companions given the same key (--feed-key) follow only a feed signed with it."),
        QStringLiteral("file"));
    options.addOptions({hallFeed, hallFeedPort, hallFeedKey});
    if (!periodix::checkOptions(argc, argv, options, "periodix"))
        return 2;
    const std::optional<quint16> feedOption = periodix::hallFeedPortOption(
        options.isSet(hallFeed) || options.isSet(hallFeedKey),
        options.isSet(hallFeedPort) ? std::optional(options.value(hallFeedPort)) : std::nullopt);
    if (!feedOption) {
        std::fprintf(stderr, "periodix: --hall-feed-port %s: not a port from 1 to 65535 other than %u\n",
                     qPrintable(options.value(hallFeedPort)), unsigned(ClockPort));
        return 2;
    }
    quint16 feedPort = *feedOption;
    QByteArray feedKey;
    if (QString error; options.isSet(hallFeedKey) && !periodix::readFeedKey(options.value(hallFeedKey), feedKey, error)) {
        std::fprintf(stderr, "periodix: --hall-feed-key %s: %s\n", qPrintable(options.value(hallFeedKey)), qPrintable(error));
        return 2;
    }
    periodix::KeptGame game;
    const bool starting = !options.isSet(QStringLiteral("help")) && !options.isSet(QStringLiteral("version"));
    periodix::GameLock lock(periodix::keptGamePath());
    QString why;
    const periodix::GameLock::Result locked = starting ? lock.tryLock(why) : periodix::GameLock::Result::CannotBeMade;
    const bool keeping = locked == periodix::GameLock::Result::Held;
    if (starting && !keeping) {
        const QString path = QDir::toNativeSeparators(periodix::keptGamePath());
        const bool held = locked == periodix::GameLock::Result::HeldByOther;
        if (options.isSet(resume)) {
            std::fprintf(stderr, "periodix: cannot resume: the game in %s %s (%s)\n", qPrintable(path),
                         held ? "is kept by another Periodix still running" : "cannot be locked", qPrintable(why));
            return 2;
        }
        if (held)
            std::fprintf(stderr, "Periodix: another Periodix (%s) keeps the game in %s; this one keeps nothing\n",
                         qPrintable(why), qPrintable(path));
        else
            std::fprintf(stderr, "Periodix: the game in %s cannot be locked (%s); this one keeps nothing\n",
                         qPrintable(path), qPrintable(why));
    }
    if (options.isSet(resume) && starting) {
        QString error;
        if (!periodix::readKeptGame(periodix::keptGamePath(), game, error)) {
            std::fprintf(stderr, "periodix: cannot resume: %s\n", qPrintable(error));
            return 2;
        }
    }
    const std::unique_ptr<QCoreApplication> app = periodix::makeApplication(argc, argv);
    if (options.isSet(QStringLiteral("help")))
        options.showHelp();
    if (options.isSet(QStringLiteral("version")))
        options.showVersion();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/periodix.png")));
    periodix::setReportPresenter(periodix::showReportBox);

    periodix::UdpSender sender;
    std::optional<periodix::GameKeeper> keeper;
    if (keeping)
        keeper.emplace(periodix::keptGamePath());
    periodix::frmMAIN window(sender, [](periodix::frmMAIN &main) {
        periodix::frmSet settings(main.wsTIME());
        settings.exec();
    });
    if (keeper)
        window.setGameKeeper(&*keeper);
    if (feedPort == 0 && options.isSet(resume))
        feedPort = game.hallFeedPort; // the resumed game had the feed
    if (feedPort != 0)
        window.useHallFeed(feedPort, feedKey);
    if (options.isSet(resume)) {
        std::fprintf(stderr, "Periodix: resuming the game kept at %s\n",
                     qPrintable(game.written.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))));
        window.Form_Resume(game);
    } else {
        window.Form_Load();
    }
    window.show();
    return app->exec();
}
