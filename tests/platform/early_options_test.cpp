// The options every program reads before its application exists: the
// toolkit's own are left to the toolkit, anything else unknown is refused.

#include "platform/early_options.h"
#include "support/captured_stderr.h"

#include <QtTest>

class EarlyOptionsTest : public QObject {
    Q_OBJECT
private slots:
    void checkOptions_data();
    void checkOptions();
};

void EarlyOptionsTest::checkOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("read"); // the program's own options and arguments, or what stderr was told
    QTest::newRow("its own") << QStringList{"--resume", "--port", "7"} << "resume port=7";
    QTest::newRow("the toolkit's, its value after it") << QStringList{"-platform", "offscreen", "--resume"} << "resume";
    QTest::newRow("the toolkit's, two dashes, its value attached") << QStringList{"--style=fusion", "--port=7"}
                                                                   << "port=7";
    QTest::newRow("the toolkit's, without a value") << QStringList{"-reverse", "-nograb", "--resume"} << "resume";
    QTest::newRow("an argument no option takes") << QStringList{"--resume", "set.ptm"}
                                                 << "test: Unexpected argument 'set.ptm'.\nTry 'test --help'.\n";
    QTest::newRow("an unknown option") << QStringList{"-platform", "xcb", "--bogus"}
                                       << "test: Unknown option 'bogus'.\nTry 'test --help'.\n";
}

void EarlyOptionsTest::checkOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, read);
    QList<QByteArray> bytes{"test"};
    for (const QString &argument : arguments)
        bytes << argument.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &argument : bytes)
        argv.push_back(argument.data());
    QCommandLineParser parser;
    parser.addOptions({{"resume", "r"}, {"port", "p", "port"}});
    bool ok = false;
    const QByteArray said = stderrOf([&] { ok = periodix::checkOptions(int(argv.size()), argv.data(), parser, "test"); });
    QStringList got;
    if (parser.isSet("resume"))
        got << "resume";
    if (parser.isSet("port"))
        got << "port=" + parser.value("port");
    QCOMPARE(ok ? (got + parser.positionalArguments()).join(' ') : QString::fromLocal8Bit(said), read);
}

QTEST_GUILESS_MAIN(EarlyOptionsTest)
#include "early_options_test.moc"
