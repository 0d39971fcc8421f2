#include "main_window/frm_main.h"
#include "settings_fixture.h"
#include "support/manual_clock.h"
#include "support/when_shown.h"

#include <QApplication>
#include <QtTest>

using namespace periodix;
using namespace periodix::common;

namespace {

// The main window with the real settings window, which `operate` works on
// before the hand-off goes on.
struct HandOff {
    explicit HandOff(std::function<void(frmSet &)> operate, const QStringList &answers = {})
    {
        resetToProcessStart();
        for (const QString &a : answers)
            dialogs.inputs << a;
        sender.localAddress = QStringLiteral("127.0.1.9");
        window = std::make_unique<frmMAIN>(
            sender,
            [operate](frmMAIN &main) {
                frmSet settings(main.wsTIME());
                settings.show();
                operate(settings);
            },
            clock);
        window->Form_Load();
    }

    template <class T = QWidget>
    T *control(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    ScriptedReports reports;
    ScriptedDialogs dialogs;
    ManualClock clock;
    RecordingSender sender;
    std::unique_ptr<frmMAIN> window;
};

void addPeriod(frmSet &s, const QString &legend, int minutes, bool askMe = false)
{
    s.findChild<QLineEdit *>("txtPERIODLEGEND")->setText(legend);
    s.findChild<QCheckBox *>("chkASKME")->setChecked(askMe);
    s.findChild<QScrollBar *>("vsTIMEMIN")->setValue(minutes);
    s.cmdADD_Click();
}

} // namespace

class HandOffTest : public QObject {
    Q_OBJECT
private slots:
    void countdown_showsFullLengthStoppedAndBroadcastsToChosenAddress();
    void clockTimer_showsZero();
    void broadcastingOff_sendsNothingAndKeepsHost();
    void askMeFirstPeriod_isAskedFor();
    void closeBox_failsAtLine89();
    void realModalWindow_okHandsOver();
};

void HandOffTest::countdown_showsFullLengthStoppedAndBroadcastsToChosenAddress()
{
    HandOff h([](frmSet &s) {
        s.findChild<QRadioButton *>("optLEFT")->click();
        addPeriod(s, "1st Quarter", 10);
        addPeriod(s, "2nd Quarter", 10);
        s.cmdOK_Click();
    });
    QCOMPARE(h.control<QLabel>("lblTIME")->text(), QString("10:00"));
    QCOMPARE(textColour(h.control("lblTIME")), Red);
    QCOMPARE(h.control<QLabel>("lblPERIOD")->text(), QString("1st Quarter"));
    QCOMPARE(h.window->windowTitle(), QString("1st Quarter/10:00"));
    QCOMPARE(textColour(h.control("lblBROADCAST")), Green);
    QCOMPARE(h.sender.sent.size(), 1);
    QCOMPARE(h.sender.sent[0].payload, QByteArray("p1t10:00"));
    QCOMPARE(h.sender.sent[0].host, QString("127.0.1.255")); // the chosen network, from the first datagram on
    QCOMPARE(h.sender.sent[0].port, quint16(7699));
    QVERIFY(!h.window->Timer1().isEnabled());
    QVERIFY(!h.control("cmdSETTING")->isEnabled());
    QVERIFY(!h.control("cmdPREVPERIOD")->isEnabled());
    QVERIFY(!h.control("cmdNEXTPERIOD")->isEnabled());
    QVERIFY(h.reports.reports.isEmpty());
}

void HandOffTest::clockTimer_showsZero()
{
    HandOff h([](frmSet &s) {
        addPeriod(s, "Half", 45);
        s.cmdOK_Click();
    });
    QCOMPARE(ClockSeconds, 0);
    QCOMPARE(PeriodSeconds, 2700);
    QCOMPARE(h.control<QLabel>("lblTIME")->text(), QString("00:00"));
}

void HandOffTest::broadcastingOff_sendsNothingAndKeepsHost()
{
    HandOff h([](frmSet &s) {
        addPeriod(s, "Half", 45);
        s.findChild<QLineEdit *>("txtIP")->setText("000.000.000");
        s.cmdOK_Click();
    });
    QVERIFY(h.sender.sent.isEmpty());
    QCOMPARE(textColour(h.control("lblBROADCAST")), Red);
    QCOMPARE(h.sender.remoteHost(), QString("192.168.000.255")); // a recording sender: nothing leaves, no network namespace needed
    QCOMPARE(h.control<QLabel>("lblTIME")->text(), QString("00:00"));
}

void HandOffTest::askMeFirstPeriod_isAskedFor()
{
    HandOff h([](frmSet &s) {
        s.findChild<QRadioButton *>("optLEFT")->click();
        addPeriod(s, "Warm-up", 0, true);
        s.findChild<QScrollBar *>("vsTIMESEC")->setValue(0);
        addPeriod(s, "Game", 20);
        s.cmdOK_Click();
    }, {"3", "30"});
    QCOMPARE(h.dialogs.prompts, QStringList({"Minutes for the Warm-up", "Seconds for the Warm-up"}));
    QCOMPARE(h.control<QLabel>("lblTIME")->text(), QString("03:30"));
    QCOMPARE(PeriodTable(1).AskMe, True);
    QCOMPARE(h.sender.payloads(), QStringList({"p1t03:30"}));
    QVERIFY(h.reports.reports.isEmpty());
}

void HandOffTest::closeBox_failsAtLine89()
{
    HandOff h([](frmSet &s) {
        addPeriod(s, "Half", 45);
        s.close();
    });
    QVERIFY(!h.reports.reports.isEmpty()); // Ignore goes on to the conversion, which reports its own
    QCOMPARE(h.reports.reports[0].number, 9);
    QCOMPARE(h.reports.reports[0].procedure, QString("cmdSETTING_Click"));
    QCOMPARE(h.reports.reports[0].line, 89);
}

void HandOffTest::realModalWindow_okHandsOver()
{
    resetToProcessStart();
    ScriptedReports reports;
    RecordingSender sender;
    ManualClock clock;
    frmMAIN window(sender, [](frmMAIN &main) {
        whenShown<frmSet>([](frmSet *settings) {
            addPeriod(*settings, "Only", 5);
            QTest::mouseClick(settings->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
        });
        frmSet settings(main.wsTIME());
        settings.exec();
    }, clock);
    window.Form_Load();
    QCOMPARE(PeriodCount, qint16(1));
    QCOMPARE(window.findChild<QLabel *>("lblTIME")->text(), QString("00:00"));
    QVERIFY(!window.isVisible()); // shown by main() after the load steps
}

QTEST_MAIN(HandOffTest)
#include "handoff_test.moc"
