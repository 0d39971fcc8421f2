#include "error_reporting/error_report.h"
#include "error_reporting/report_box.h"
#include "main_window/frm_main.h"
#include "platform/command_line.h"
#include "platform/udp_sender.h"
#include "settings_window/frm_set.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

int main(int argc, char *argv[])
{
    const std::unique_ptr<QCoreApplication> app = periodix::makeApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Periodix"));
    QApplication::setApplicationVersion(QStringLiteral(PERIODIX_VERSION));
    // --help and --version only; the clock takes everything else from its
    // settings window, and other arguments are passed over as before.
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral(
        "Game clock for sports played in timed periods; broadcasts the clock on UDP port 7699.\n"
        "Everything else is set in its settings window."));
    options.addHelpOption();
    options.addVersionOption();
    options.parse(QApplication::arguments());
    if (options.isSet(QStringLiteral("help")))
        options.showHelp();
    if (options.isSet(QStringLiteral("version")))
        options.showVersion();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/periodix.png")));
    periodix::setReportPresenter(periodix::showReportBox);

    periodix::UdpSender sender;
    periodix::frmMAIN window(sender, [](periodix::frmMAIN &main) {
        periodix::frmSet settings(main.wsTIME());
        settings.exec();
    });
    window.Form_Load();
    window.show();
    return app->exec();
}
