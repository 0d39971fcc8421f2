#include "settings_fixture.h"

#include <QGroupBox>
#include <QtTest>

using namespace periodix;

class FrmSetLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void window_captionAndSize();
    void controls_matchLayoutAt96Dpi_data();
    void controls_matchLayoutAt96Dpi();
    void startUp_state();
    void startUp_proposesNetworkFromOwnAddress_data();
    void startUp_proposesNetworkFromOwnAddress();
    void startUp_addressWithFewerThanThreeParts_failsAtLine191();
    void legendBox_refusesWhatFilesCannotHold();
    void addressBox_showsPromptsWhilePartlyTyped();
};

void FrmSetLayoutTest::window_captionAndSize()
{
    SettingsFixture f;
    QCOMPARE(f.window->windowTitle(), QString("Setting"));
    QCOMPARE(f.window->size(), QSize(491, 314)); // 7365 x 4710 twips
}

void FrmSetLayoutTest::controls_matchLayoutAt96Dpi_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    const struct {
        const char *name, *caption;
        QRect twips;
    } table[] = {
        {"Frame1", "Timer Type", {0, 0, 3075, 1125}},
        {"optPASS", "Clock timer", {180, 330, 2085, 255}},
        {"lblPASS", "00:00", {2160, 360, 885, 225}},
        {"optLEFT", "Countdown timer", {180, 660, 2085, 255}},
        {"lblLEFT", "01:20", {2160, 690, 885, 225}},
        {"Frame2", "Periods", {0, 1140, 7335, 3015}},
        {"Label1", "Period legend", {120, 330, 1785, 225}},
        {"Label2", "ex. Quarter or Half Time", {120, 570, 1785, 225}},
        {"txtPERIODLEGEND", "", {1950, 270, 1515, 285}},
        {"Label3", "Period time", {120, 930, 1785, 225}},
        {"txtPERIODTIME", "00:00", {1950, 900, 615, 285}},
        {"vsTIMESEC", "", {3090, 900, 375, 315}},
        {"vsTIMEMIN", "", {2670, 900, 375, 315}},
        {"chkASKME", "I don't know. Ask me for this period.", {1980, 1230, 1575, 405}},
        {"grdPERIOD", "", {3690, 270, 3045, 2625}},
        {"cmdADD", "Add Period", {330, 1860, 1395, 375}},
        {"cmdREMOVE", "Remove Period", {1860, 1860, 1395, 375}},
        {"cmdUP", "5", {6810, 1110, 435, 435}},
        {"cmdDOWN", "6", {6810, 1680, 435, 435}},
        {"cmdSAVE", "Save set", {330, 2430, 1395, 375}},
        {"cmdLOAD", "Load set", {1860, 2430, 1395, 375}},
        {"cmdOK", "Ok", {3840, 4260, 1545, 405}},
        {"cmdCANCEL", "End", {5580, 4260, 1545, 405}},
        {"Frame3", "Network", {3150, 0, 4185, 1125}},
        {"Label4", "Broadcast IP", {180, 270, 1305, 225}},
        {"txtIP", "", {1530, 510, 1065, 285}},
        {"Label5", ".255", {2670, 570, 525, 255}},
    };
    for (const auto &row : table)
        QTest::newRow(row.name) << QString(row.name) << QString(row.caption) << row.twips;
}

void FrmSetLayoutTest::controls_matchLayoutAt96Dpi()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    SettingsFixture f;
    QWidget *w = f.window->findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    QString text;
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        text = b->text();
    else if (auto *l = qobject_cast<QLabel *>(w))
        text = l->text();
    else if (auto *g = qobject_cast<QGroupBox *>(w))
        text = g->title();
    else if (auto *e = qobject_cast<QLineEdit *>(w); e && name != "txtIP")
        text = e->text();
    QCOMPARE(text, caption);
}

void FrmSetLayoutTest::startUp_state()
{
    SettingsFixture f;
    QCOMPARE(f.grid()->rows(), 1);
    QCOMPARE(f.grid()->textMatrix(0, 1), QString("Period Descr"));
    QCOMPARE(f.grid()->textMatrix(0, 2), QString("Time"));
    QCOMPARE(f.grid()->colWidth(0), 0);
    QCOMPARE(f.grid()->colWidth(1), 1955);
    QCOMPARE(f.grid()->colWidth(2), 700);
    QCOMPARE(f.timeBox(), QString("00:00"));
    QVERIFY(!f.control("txtPERIODTIME")->isEnabled());
    QVERIFY(f.clockTimer()->isChecked());
    QVERIFY(!f.clockTimer()->font().bold());
    QVERIFY(!f.askMe()->isChecked());
    QCOMPARE(f.minutes()->maximum(), 200);
    QCOMPARE(f.seconds()->maximum(), 60);
    QCOMPARE(f.minutes()->pageStep(), 10);
    QCOMPARE(f.legendBox()->maxLength(), 15);
    QCOMPARE(common::PeriodSetDirty, False);
    QVERIFY(f.window->tmrPASSdemo().isActive());
    QVERIFY(f.window->tmrLEFTdemo().isActive());
    QCOMPARE(f.window->tmrPASSdemo().interval(), 999);
    QCOMPARE(f.window->tmrLEFTdemo().interval(), 999);
    QVERIFY(f.reports.reports.isEmpty());
}

void FrmSetLayoutTest::startUp_proposesNetworkFromOwnAddress_data()
{
    QTest::addColumn<QString>("own");
    QTest::addColumn<QString>("proposed");
    QTest::newRow("short parts padded") << "127.0.0.5" << "127.000.000";
    QTest::newRow("full parts") << "127.255.254.1" << "127.255.254";
}

void FrmSetLayoutTest::startUp_proposesNetworkFromOwnAddress()
{
    QFETCH(QString, own);
    QFETCH(QString, proposed);
    SettingsFixture f(own);
    QCOMPARE(f.address()->displayText(), proposed);
}

void FrmSetLayoutTest::startUp_addressWithFewerThanThreeParts_failsAtLine191()
{
    SettingsFixture f("127.1");
    QCOMPARE(f.reports.reports.size(), 1);
    QCOMPARE(f.reports.reports[0].number, 9);
    QCOMPARE(f.reports.reports[0].procedure, QString("Form_Load"));
    QCOMPARE(f.reports.reports[0].line, 191);
    // Ignore: the rest of the start-up ran.
    QCOMPARE(f.address()->displayText(), QString("___.___.___"));
    QVERIFY(f.window->tmrLEFTdemo().isActive());
}

void FrmSetLayoutTest::legendBox_refusesWhatFilesCannotHold()
{
    SettingsFixture f;
    QLineEdit *box = f.legendBox();
    box->setFocus();
    QTest::keyClicks(box, "1st Half");
    QCOMPARE(box->text(), QString("1st Half"));
    QTest::keyClick(box, Qt::Key_Tab); // moves the focus, types nothing
    for (QChar c : {QChar(0x20AC), QChar(0x4E2D), QChar(9)}) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &key);
    }
    QCOMPARE(box->text(), QString::fromUtf16(u"1st Half\u20ac")); // the euro is in the code page
    box->clear();
    QTest::keyClicks(box, "Sixteen chars!!!");
    QCOMPARE(box->text().size(), 15);
}

void FrmSetLayoutTest::addressBox_showsPromptsWhilePartlyTyped()
{
    SettingsFixture f;
    QLineEdit *box = f.address();
    box->clear();
    QCOMPARE(box->displayText(), QString("___.___.___"));
    box->setFocus();
    box->setCursorPosition(0);
    QTest::keyClicks(box, "19");
    box->setCursorPosition(4);
    QTest::keyClicks(box, "1");
    QCOMPARE(box->displayText(), QString("19_.1__.___"));
}

QTEST_MAIN(FrmSetLayoutTest)
#include "frm_set_layout_test.moc"
