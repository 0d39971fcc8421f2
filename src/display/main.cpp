#include "feed/listen_options.h"
#include "display/display_window.h"
#include "platform/command_line.h"
#include "platform/early_options.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("periodix-display"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PERIODIX_VERSION));

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Shows the Periodix game clock from its hall feed or its datagrams."));
    options.addHelpOption();
    options.addVersionOption();
    periodix::feed::ListenOptions listening(options);
    const QCommandLineOption fullScreen(QStringLiteral("fullscreen"), QStringLiteral("Start full screen."));
    const QCommandLineOption horn(QStringLiteral("horn"),
                                  QStringLiteral("Sound a horn at the end of each period (H sounds it at any time)."));
    const QCommandLineOption tenths(QStringLiteral("tenths"),
                                    QStringLiteral("Show seconds and tenths in the last minute of a countdown."));
    options.addOptions({fullScreen, horn, tenths});
    if (!periodix::checkOptions(argc, argv, options, "periodix-display"))
        return 2;
    const std::unique_ptr<QCoreApplication> app = periodix::makeApplication(argc, argv);
    options.process(*app);

    if (!qobject_cast<QApplication *>(app.get())) {
        std::fprintf(stderr, "periodix-display: -h, -v, --help and --version are no values\n");
        return 2;
    }
    periodix::feed::DatagramListener listener;
    if (const int status = listening.start(options, listener, "periodix-display"))
        return status;
    periodix::display::DisplayWindow window(listening.port(), listening.feedSettings());
    window.setFeedPort(listening.feedPort());
    QObject::connect(&listener, &periodix::feed::DatagramListener::received, &window,
                     &periodix::display::DisplayWindow::receive);
    QObject::connect(&listener, &periodix::feed::DatagramListener::feedReceived, &window,
                     &periodix::display::DisplayWindow::receiveFeed);
    if (options.isSet(tenths))
        window.showTenths();
    if (options.isSet(horn))
        window.useHorn();
    if (options.isSet(fullScreen))
        window.showFullScreen();
    else
        window.show();
    return app->exec();
}
