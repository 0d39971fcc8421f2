#include "feed/listen_options.h"
#include "platform/early_options.h"
#include "web/web_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QUrl>

#include <cstdio>

#include <sys/resource.h>

namespace {

// "periodix-web: --http-port 0: not a port from 1 to 65535", as Periodix says it.
int fail(const char *option, const QString &value, const char *what)
{
    std::fprintf(stderr, "periodix-web: %s %s: %s\n", option, qPrintable(value), what);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("periodix-web"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PERIODIX_VERSION));

    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("Serves the Periodix game clock to web browsers and live-stream overlays, from its hall feed or its datagrams."));
    options.addHelpOption();
    options.addVersionOption();
    periodix::feed::ListenOptions listening(options);
    const QCommandLineOption httpPort(QStringLiteral("http-port"),
                                      QStringLiteral("HTTP port of the page and its updates (8699)."),
                                      QStringLiteral("port"), QStringLiteral("8699"));
    const QCommandLineOption httpBind(QStringLiteral("http-bind"),
                                      QStringLiteral("Address to serve the page on (127.0.0.1: this machine only)."),
                                      QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption trustedProxy(
        QStringLiteral("trusted-proxy"),
        QStringLiteral("A reverse proxy in front: its X-Forwarded-For names each client (none)."),
        QStringLiteral("address"));
    const QCommandLineOption maxBrowsers(QStringLiteral("max-browsers"),
                                         QStringLiteral("Pages connected at once, at most (64; 8 from one address)."),
                                         QStringLiteral("count"), QStringLiteral("64"));
    const QCommandLineOption publish(
        QStringLiteral("publish"),
        QStringLiteral("Also hands what the pages hear to this pub/sub server by HTTP POST, for pages served "
                       "by nginx (repeatable; none)."),
        QStringLiteral("url"));
    options.addOptions({httpPort, httpBind, trustedProxy, maxBrowsers, publish});
    if (!periodix::checkOptions(argc, argv, options, "periodix-web"))
        return 2;
    QCoreApplication app(argc, argv);
    options.process(app);

    quint16 webPort = 0;
    if (!periodix::feed::parsePort(options.value(httpPort), webPort))
        return fail("--http-port", options.value(httpPort), "not a port from 1 to 65535");
    QHostAddress webAddress;
    if (!webAddress.setAddress(options.value(httpBind)))
        return fail("--http-bind", options.value(httpBind), "not an address");

    QHostAddress proxy;
    if (options.isSet(trustedProxy) && !proxy.setAddress(options.value(trustedProxy)))
        return fail("--trusted-proxy", options.value(trustedProxy), "not an address");

    QList<QUrl> publishTo;
    for (const QString &value : options.values(publish)) {
        const QUrl url(value, QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty() || (url.scheme() != u"http" && url.scheme() != u"https"))
            return fail("--publish", value, "not an http:// or https:// address");
        publishTo.append(url);
    }

    periodix::web::WebLimits limits;
    bool countOk = false;
    limits.browsers = options.value(maxBrowsers).toInt(&countOk);
    if (!countOk || limits.browsers < 1 || limits.browsers > 4096)
        return fail("--max-browsers", options.value(maxBrowsers), "not a count from 1 to 4096");

    // Each page and each request holds a descriptor, and a shell's soft
    // limit is often 1,024: raised as far as the hard limit lets, and said
    // when that is not enough for the pages asked for.
    rlimit files{};
    const rlim_t needed = rlim_t(limits.browsers + limits.requests + 64);
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < needed) {
        files.rlim_cur = std::min(needed, files.rlim_max);
        ::setrlimit(RLIMIT_NOFILE, &files);
        if (files.rlim_cur < needed)
            std::fprintf(stderr,
                         "periodix-web: only %llu open files allowed: fewer pages than --max-browsers %d may connect\n",
                         static_cast<unsigned long long>(files.rlim_cur), limits.browsers);
    }

    periodix::feed::DatagramListener listener;
    if (const int status = listening.start(options, listener, "periodix-web"))
        return status;
    periodix::web::WebServer server(periodix::steadyClock(), limits, listening.feedSettings());
    server.setTrustedProxy(proxy);
    for (const QUrl &url : std::as_const(publishTo))
        server.publishTo(url);
    if (!server.listen(webAddress, webPort)) {
        std::fprintf(stderr, "periodix-web: cannot serve on %s port %u: %s\n", qPrintable(webAddress.toString()),
                     unsigned(webPort), qPrintable(server.errorString()));
        return 1;
    }
    QObject::connect(&listener, &periodix::feed::DatagramListener::received, &server,
                     &periodix::web::WebServer::receive);
    QObject::connect(&listener, &periodix::feed::DatagramListener::feedReceived, &server,
                     &periodix::web::WebServer::receiveFeed);
    const QString host = webAddress.protocol() == QAbstractSocket::IPv6Protocol
                             ? u'[' + webAddress.toString() + u']'
                             : webAddress.toString();
    std::printf("periodix-web: the clock from UDP port %u (its hall feed %u), the page at http://%s:%u/\n",
                unsigned(listening.port()), unsigned(listening.feedPort()),
                qPrintable(host), unsigned(server.port()));
    for (const QUrl &url : std::as_const(publishTo))
        std::printf("periodix-web: publishing to %s\n", qPrintable(url.toDisplayString()));
    std::fflush(stdout);
    return app.exec();
}
