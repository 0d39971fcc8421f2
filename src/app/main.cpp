#include "clock/game_keeper.h"
#include "error_reporting/error_report.h"
#include "error_reporting/report_box.h"
#include "main_window/frm_main.h"
#include "platform/command_line.h"
#include "platform/early_options.h"
#include "platform/udp_sender.h"
#include "settings_window/frm_set.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Periodix"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PERIODIX_VERSION));
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral(
        "Game clock for sports played in timed periods; broadcasts the clock on UDP port 7699.\n"
        "Everything else is set in its settings window.\n\n"
        "While the clock window shows a game, Periodix keeps its state (the period set, the\n"
        "timer type, the network, the period and the time) in\n"
        "$XDG_STATE_HOME/periodix/game (by default ~/.local/state/periodix/game)."));
    options.addHelpOption();
    options.addVersionOption();
    const QCommandLineOption resume(QStringLiteral("resume"),
                                    QStringLiteral("Takes up the last game where it stood, after a crash, a kill or a "
                                                   "power cut: the clock window opens stopped at the kept period "
                                                   "and time, without the settings window."));
    options.addOption(resume);
    if (!periodix::checkOptions(argc, argv, options, "periodix"))
        return 2;
    periodix::KeptGame game;
    if (options.isSet(resume) && !options.isSet(QStringLiteral("help")) && !options.isSet(QStringLiteral("version"))) {
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
    periodix::GameKeeper keeper(periodix::keptGamePath());
    periodix::frmMAIN window(sender, [](periodix::frmMAIN &main) {
        periodix::frmSet settings(main.wsTIME());
        settings.exec();
    });
    window.setGameKeeper(&keeper);
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
