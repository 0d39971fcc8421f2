#include "feed/datagram_listener.h"
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
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("UDP port to listen on (7699)."),
                                  QStringLiteral("port"), QStringLiteral("7699"));
    const QCommandLineOption bind(QStringLiteral("bind"), QStringLiteral("Local address to listen on (all)."),
                                  QStringLiteral("address"));
    const QCommandLineOption fullScreen(QStringLiteral("fullscreen"), QStringLiteral("Start full screen."));
    options.addOptions({port, bind, fullScreen});
    options.process(app);

    bool portOk = false;
    const uint portNumber = options.value(port).toUInt(&portOk);
    if (!portOk || portNumber == 0 || portNumber > 65535) {
        std::fprintf(stderr, "periodix-display: no such port: %s\n", qPrintable(options.value(port)));
        return 2;
    }
    QHostAddress address(QHostAddress::AnyIPv4);
    if (options.isSet(bind) && !address.setAddress(options.value(bind))) {
        std::fprintf(stderr, "periodix-display: no such address: %s\n", qPrintable(options.value(bind)));
        return 2;
    }

    periodix::feed::DatagramListener listener;
    if (!listener.listen(address, static_cast<quint16>(portNumber))) {
        std::fprintf(stderr, "periodix-display: cannot listen on port %u: %s\n", portNumber,
                     qPrintable(listener.errorString()));
        return 1;
    }
    periodix::display::DisplayWindow window(static_cast<quint16>(portNumber));
    QObject::connect(&listener, &periodix::feed::DatagramListener::received, &window,
                     &periodix::display::DisplayWindow::receive);
    if (options.isSet(fullScreen))
        window.showFullScreen();
    else
        window.show();
    return app.exec();
}
