// Asks a headless Chromium, through its DevTools port on this machine, about
// the page it shows:
//   page_probe PORT eval EXPRESSION   prints the expression's value
//   page_probe PORT WxH EXPRESSION    the same, the page shown W by H pixels
//   page_probe PORT screenshot FILE   writes a PNG, transparent where the page is
// It gives up after ten seconds.

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QWebSocket>

#include <cstdio>

namespace {

int finish(int code, const QByteArray &text)
{
    std::fputs(text.constData(), code == 0 ? stdout : stderr);
    std::fputc('\n', code == 0 ? stdout : stderr);
    QCoreApplication::exit(code);
    return code;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s PORT eval EXPRESSION | PORT screenshot FILE\n", argv[0]);
        return 2;
    }
    const QString port = QString::fromLocal8Bit(argv[1]);
    const QByteArray verb = argv[2];
    const QString argument = QString::fromLocal8Bit(argv[3]);
    QTimer::singleShot(10'000, [] { finish(1, "page_probe: no answer"); });

    QNetworkAccessManager network;
    QWebSocket devtools;
    int nextId = 1;
    const auto call = [&](const QString &method, const QJsonObject &params) {
        devtools.sendTextMessage(QString::fromUtf8(
            QJsonDocument(QJsonObject{{"id", nextId++}, {"method", method}, {"params", params}}).toJson()));
    };
    QObject::connect(&devtools, &QWebSocket::connected, [&] {
        if (verb.contains('x')) { // a window of another shape, for as long as this call lasts
            call("Emulation.setDeviceMetricsOverride", {{"width", verb.split('x')[0].toInt()},
                                                         {"height", verb.split('x')[1].toInt()},
                                                         {"deviceScaleFactor", 1}, {"mobile", false}});
        }
        if (verb != "screenshot") {
            call("Runtime.evaluate", {{"expression", argument}, {"returnByValue", true}});
        } else {
            call("Emulation.setDefaultBackgroundColorOverride",
                 {{"color", QJsonObject{{"r", 0}, {"g", 0}, {"b", 0}, {"a", 0}}}});
            call("Page.captureScreenshot", {{"format", "png"}});
        }
    });
    QObject::connect(&devtools, &QWebSocket::textMessageReceived, [&](const QString &message) {
        const QJsonObject answer = QJsonDocument::fromJson(message.toUtf8()).object();
        if (answer.value("id").toInt() != nextId - 1)
            return; // not the last call's answer
        const QJsonObject result = answer.value("result").toObject();
        if (verb != "screenshot") {
            const QJsonValue value = result.value("result").toObject().value("value");
            finish(0, value.isString() ? value.toString().toUtf8()
                                       : QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact));
            return;
        }
        QFile file(argument);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(QByteArray::fromBase64(result.value("data").toString().toLatin1())) <= 0)
            finish(1, "page_probe: cannot write the screenshot");
        else
            finish(0, "");
    });

    QNetworkReply *targets = network.get(QNetworkRequest(QUrl("http://127.0.0.1:" + port + "/json/list")));
    QObject::connect(targets, &QNetworkReply::finished, [&] {
        const QJsonArray list = QJsonDocument::fromJson(targets->readAll()).array();
        for (const QJsonValue &target : list) {
            if (target.toObject().value("type").toString() == "page") {
                devtools.open(QUrl(target.toObject().value("webSocketDebuggerUrl").toString()));
                return;
            }
        }
        finish(1, "page_probe: no page");
    });
    return app.exec();
}
