#include "main_window_fixture.h"
#include "platform/twips.h"

#include <QFontMetrics>
#include <QMenu>
#include <QtTest>

using namespace periodix;

class FrmMainLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void window_isFixedToolWindowAtItsPlace();
    void controls_matchLayoutAt96Dpi_data();
    void controls_matchLayoutAt96Dpi();
    void buttons_captionsToolTipsAndTabOrder();
    void initialState();
    void resetMenu_hasTwoItems();
    void digits_fitTheirLabel();
    void twips_scaleWithTheScreensDpi_data();
    void twips_scaleWithTheScreensDpi();
};

void FrmMainLayoutTest::window_isFixedToolWindowAtItsPlace()
{
    MainWindowFixture f;
    QCOMPARE(f.window->dpi(), 96.0);
    QCOMPARE(f.window->size(), QSize(216, 153)); // 3240 x 2295 twips
    QCOMPARE(f.window->minimumSize(), f.window->maximumSize());
    QCOMPARE(f.window->pos(), QPoint(235, 183)); // 3525, 2745 twips
    const Qt::WindowFlags flags = f.window->windowFlags();
    QVERIFY(flags.testFlag(Qt::Tool));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(f.window->windowTitle(), QString("Periodix"));
}

void FrmMainLayoutTest::controls_matchLayoutAt96Dpi_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    const struct {
        const char *name;
        QRect twips;
    } table[] = {
        {"lblPERIOD", {0, 0, 3195, 255}},       {"lblBROADCAST", {3000, -30, 225, 315}},
        {"lblTIME", {570, 270, 2085, 735}},     {"lblPAUSE", {540, 270, 2145, 615}},
        {"lblEND", {630, 330, 1995, 495}},      {"cmd1DW", {30, 270, 525, 375}},
        {"cmd10DW", {30, 660, 525, 375}},       {"cmd1UP", {2670, 270, 525, 375}},
        {"cmd10UP", {2670, 660, 525, 375}},     {"cmdRESET", {30, 1080, 825, 555}},
        {"cmdSTART", {1200, 1080, 825, 540}},   {"cmdPAUSE", {2370, 1080, 825, 540}},
        {"cmdSETTING", {30, 1680, 825, 555}},   {"cmdPREVPERIOD", {1200, 1680, 825, 540}},
        {"cmdNEXTPERIOD", {2370, 1680, 825, 540}},
    };
    for (const auto &row : table)
        QTest::newRow(row.name) << QString(row.name) << row.twips;
}

void FrmMainLayoutTest::controls_matchLayoutAt96Dpi()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    MainWindowFixture f;
    QWidget *w = f.window->findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
}

void FrmMainLayoutTest::buttons_captionsToolTipsAndTabOrder()
{
    MainWindowFixture f;
    const struct {
        const char *name, *caption, *tip;
    } order[] = {{"cmdSETTING", "@", "Settings"}, {"cmdRESET", "q", "Reset"},     {"cmdSTART", "4", "Start"},
                 {"cmdPREVPERIOD", "9", "Previous"}, {"cmdPAUSE", ";", "Pause"}, {"cmdNEXTPERIOD", ":", "Next"},
                 {"cmd1UP", "4", ""},             {"cmd1DW", "3", ""},          {"cmd10UP", "8", ""},
                 {"cmd10DW", "7", ""}};
    QWidget *previous = nullptr;
    for (const auto &b : order) {
        auto *button = f.control<QPushButton>(b.name);
        QVERIFY2(button, b.name);
        QCOMPARE(button->text(), QString(b.caption));
        QCOMPARE(button->toolTip(), QString(b.tip));
        if (previous)
            QCOMPARE(previous->nextInFocusChain(), button);
        previous = button;
    }
    QCOMPARE(f.control<QPushButton>("cmdSTART")->font().pointSizeF(), 26.25);
    QCOMPARE(f.control<QPushButton>("cmd1UP")->font().pointSizeF(), 12.0);
}

void FrmMainLayoutTest::initialState()
{
    MainWindowFixture f;
    QVERIFY(f.control("lblPAUSE")->isHidden());
    QVERIFY(f.control("lblEND")->isHidden());
    QVERIFY(!f.enabled("cmdPREVPERIOD"));
    QVERIFY(f.enabled("cmdNEXTPERIOD"));
    QVERIFY(!f.window->Timer1().isEnabled());
    QCOMPARE(f.window->Timer1().interval(), 1000);
    QCOMPARE(textColour(f.control("lblBROADCAST")), Red);
    QCOMPARE(textColour(f.control("lblPERIOD")), QColor(0, 0, 255));
    QCOMPARE(textColour(f.control("lblEND")), QColor(255, 255, 0));
    QCOMPARE(textColour(f.control("lblPAUSE")), Green);
    QCOMPARE(f.control<QLabel>("lblTIME")->text(), QString("99:99"));
    QCOMPARE(f.control<QLabel>("lblEND")->text(), QString("E N D"));
    QCOMPARE(f.control<QLabel>("lblPAUSE")->text(), QString("P a u s e d"));
    QCOMPARE(f.control<QLabel>("lblBROADCAST")->text(), QString("="));
    QCOMPARE(f.control<QLabel>("lblTIME")->font().weight(), QFont::Black);
}

void FrmMainLayoutTest::resetMenu_hasTwoItems()
{
    MainWindowFixture f;
    auto *menu = f.window->findChild<QMenu *>("mnRESET");
    QVERIFY(menu);
    QCOMPARE(menu->title(), QString("Reset"));
    QCOMPARE(menu->actions().size(), 2);
    QCOMPARE(menu->actions()[0]->objectName(), QString("mnRESETYES"));
    QCOMPARE(menu->actions()[0]->text(), QString("Yes Reset time"));
    QCOMPARE(menu->actions()[1]->objectName(), QString("mnRESETNO"));
    QCOMPARE(menu->actions()[1]->text(), QString("No/Cancel"));
}

void FrmMainLayoutTest::digits_fitTheirLabel()
{
    MainWindowFixture f;
    auto *label = f.control<QLabel>("lblTIME");
    QVERIFY(QFontMetrics(label->font()).horizontalAdvance("99:99") <= label->width());
    QVERIFY(QFontMetrics(label->font()).height() <= label->height());
}

void FrmMainLayoutTest::twips_scaleWithTheScreensDpi_data()
{
    QTest::addColumn<qreal>("dpi");
    QTest::addColumn<QRect>("digits"); // lblTIME: 570, 270, 2085, 735 twips
    QTest::newRow("96") << qreal(96) << QRect(38, 18, 139, 49);
    QTest::newRow("144") << qreal(144) << QRect(57, 27, 209, 74);
    QTest::newRow("192") << qreal(192) << QRect(76, 36, 278, 98);
}

void FrmMainLayoutTest::twips_scaleWithTheScreensDpi()
{
    QFETCH(qreal, dpi);
    QFETCH(QRect, digits);
    QCOMPARE(twipsRect(570, 270, 2085, 735, dpi), digits);
}

QTEST_MAIN(FrmMainLayoutTest)
#include "frm_main_layout_test.moc"
