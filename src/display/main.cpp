#include "feed/listen_options.h"
#include "display/display_window.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("periodix-display"));
    QApplication::setApplicationVersion(QStringLiteral(PERIODIX_VERSION));

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Shows the Periodix game clock from its datagrams."));
    options.addHelpOption();
    options.addVersionOption();
    periodix::feed::ListenOptions listening(options);
    const QCommandLineOption fullScreen(QStringLiteral("fullscreen"), QStringLiteral("Start full screen."));
    options.addOption(fullScreen);
    options.process(app);

    periodix::feed::DatagramListener listener;
    if (const int status = listening.start(options, listener, "periodix-display"))
        return status;
    periodix::display::DisplayWindow window(listening.port(), listening.feedSettings());
    QObject::connect(&listener, &periodix::feed::DatagramListener::received, &window,
                     &periodix::display::DisplayWindow::receive);
    if (options.isSet(fullScreen))
        window.showFullScreen();
    else
        window.show();
    return app.exec();
}
