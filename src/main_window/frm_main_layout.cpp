// The main window's controls, positions and looks.

#include "main_window/frm_main.h"

#include "error_reporting/error_report.h"
#include "error_reporting/protector.h"
#include "main_window/hall_feed_sender.h"
#include "platform/twips.h"
#include "platform/looks.h"
#include "platform/symbol_font.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>

namespace periodix {

namespace {

void fitText(QLabel *label, const QString &sample)
{
    shrinkToFit(label, sample, label->width() - 2);
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption, qreal pointSize, const QColor &colour)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(heavyFont(pointSize));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText); // a legend shows as typed, markup and all
    setTextColour(label, colour);
    return label;
}

} // namespace

frmMAIN::frmMAIN(DatagramSender &sender, SettingsOpener openSettings, MonotonicClock &clock, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      sender_(sender), openSettings_(std::move(openSettings)), timer1_(this, clock), clock_(clock)
{
    // The window's initialisation starts the crash handler, before anything else.
    vbwProtector::vbwInitializeProtector();
    // The program ends when this window closes (closeEvent), with "End" in the
    // settings window, or with Abort in an error report; never because the
    // last of the other windows (a report, an input box, a dialog) has
    // closed, which Qt would take for the last window since this one is a
    // tool window.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    setObjectName(QStringLiteral("frmMAIN"));
    setWindowTitle(QStringLiteral("Periodix"));
    dpi_ = screenDpi();

    timer1_.setObjectName(QStringLiteral("Timer1"));
    timer1_.setInterval(1000);
    timer1_.setEnabled(false);
    // No tick runs while an error report waits for the operator.
    timer1_.setHold([] { return isReportOpen(); });
    connect(&timer1_, &PeriodicTimer::tick, this, &frmMAIN::Timer1_Timer);

    buildControls();
    qApp->installEventFilter(this);
}

frmMAIN::~frmMAIN()
{
    qApp->removeEventFilter(this);
}

void frmMAIN::buildControls()
{
    const qreal dpi = dpi_;
    setFixedSize(twipsToPixels(3240, dpi), twipsToPixels(2295, dpi));
    move(twipsToPixels(3525, dpi), twipsToPixels(2745, dpi));

    lblPERIOD = makeLabel(this, "lblPERIOD", QStringLiteral("1st Quarter"), 9.75, QColor(0, 0, 255));
    lblPERIOD->setGeometry(twipsRect(0, 0, 3195, 255, dpi));
    lblPERIOD->setAutoFillBackground(true);
    QPalette workspace = lblPERIOD->palette();
    workspace.setColor(QPalette::Window, QColor(171, 171, 171)); // the application workspace grey
    lblPERIOD->setPalette(workspace);
    lblPERIOD->setToolTip(QString());

    lblTIME = makeLabel(this, "lblTIME", QStringLiteral("99:99"), 27.75, Black);
    lblTIME->setGeometry(twipsRect(570, 270, 2085, 735, dpi));
    lblTIME->setAutoFillBackground(true);
    fitText(lblTIME, QStringLiteral("99:99"));

    lblPAUSE = makeLabel(this, "lblPAUSE", QStringLiteral("P a u s e d"), 21.75, Green);
    lblPAUSE->setGeometry(twipsRect(540, 270, 2145, 615, dpi));
    fitText(lblPAUSE, lblPAUSE->text());
    lblPAUSE->hide();

    lblEND = makeLabel(this, "lblEND", QStringLiteral("E N D"), 21.75, QColor(255, 255, 0));
    lblEND->setGeometry(twipsRect(630, 330, 1995, 495, dpi));
    fitText(lblEND, lblEND->text());
    lblEND->hide();

    auto *broadcast = new SymbolLabel(QStringLiteral("="), 12, this);
    lblBROADCAST = broadcast;
    lblBROADCAST->setObjectName(QStringLiteral("lblBROADCAST"));
    lblBROADCAST->setGeometry(twipsRect(3000, -30, 225, 315, dpi));
    lblBROADCAST->setAlignment(Qt::AlignCenter);
    setTextColour(lblBROADCAST, Red);

    struct ButtonSpec {
        QPushButton **button;
        const char *name;
        const char *caption;
        bool large;
        int left, top, width, height;
        const char *toolTip;
    };
    const ButtonSpec specs[] = {
        {&cmdSETTING, "cmdSETTING", "@", true, 30, 1680, 825, 555, "Settings"},
        {&cmdRESET, "cmdRESET", "q", true, 30, 1080, 825, 555, "Reset"},
        {&cmdSTART, "cmdSTART", "4", true, 1200, 1080, 825, 540, "Start"},
        {&cmdPREVPERIOD, "cmdPREVPERIOD", "9", true, 1200, 1680, 825, 540, "Previous"},
        {&cmdPAUSE, "cmdPAUSE", ";", true, 2370, 1080, 825, 540, "Pause"},
        {&cmdNEXTPERIOD, "cmdNEXTPERIOD", ":", true, 2370, 1680, 825, 540, "Next"},
        {&cmd1UP, "cmd1UP", "4", false, 2670, 270, 525, 375, ""},
        {&cmd1DW, "cmd1DW", "3", false, 30, 270, 525, 375, ""},
        {&cmd10UP, "cmd10UP", "8", false, 2670, 660, 525, 375, ""},
        {&cmd10DW, "cmd10DW", "7", false, 30, 660, 525, 375, ""},
    };
    QWidget *previous = nullptr;
    for (const ButtonSpec &spec : specs) { // in tab order
        auto *button = new SymbolButton(QString::fromLatin1(spec.caption), spec.large ? 26.25 : 12,
                                        spec.large ? 700 : 400, this);
        button->setObjectName(QLatin1String(spec.name));
        button->setGeometry(twipsRect(spec.left, spec.top, spec.width, spec.height, dpi));
        button->setToolTip(QString::fromLatin1(spec.toolTip));
        button->setFocusPolicy(Qt::StrongFocus);
        button->setAutoDefault(false);
        if (previous)
            setTabOrder(previous, button);
        previous = button;
        *spec.button = button;
    }
    cmdPREVPERIOD->setEnabled(false);

    // "E N D" and the broadcast indicator lie over the digits and the legend.
    lblEND->raise();
    lblBROADCAST->raise();

    mnRESET = new QMenu(QStringLiteral("Reset"), this);
    mnRESET->setObjectName(QStringLiteral("mnRESET"));
    mnRESETYES = mnRESET->addAction(QStringLiteral("Yes Reset time"));
    mnRESETYES->setObjectName(QStringLiteral("mnRESETYES"));
    mnRESETNO = mnRESET->addAction(QStringLiteral("No/Cancel"));
    mnRESETNO->setObjectName(QStringLiteral("mnRESETNO"));

    connect(cmdSTART, &QPushButton::clicked, this, &frmMAIN::cmdSTART_Click);
    connect(cmdPAUSE, &QPushButton::clicked, this, &frmMAIN::cmdPAUSE_Click);
    connect(cmdRESET, &QPushButton::clicked, this, &frmMAIN::cmdRESET_Click);
    connect(mnRESETYES, &QAction::triggered, this, &frmMAIN::mnRESETYES_Click);
    connect(cmdNEXTPERIOD, &QPushButton::clicked, this, &frmMAIN::cmdNEXTPERIOD_Click);
    connect(cmdPREVPERIOD, &QPushButton::clicked, this, &frmMAIN::cmdPREVPERIOD_Click);
    connect(cmdSETTING, &QPushButton::clicked, this, &frmMAIN::cmdSETTING_Click);
    connect(cmd1UP, &QPushButton::clicked, this, &frmMAIN::cmd1UP_Click);
    connect(cmd1DW, &QPushButton::clicked, this, &frmMAIN::cmd1DW_Click);
    connect(cmd10UP, &QPushButton::clicked, this, &frmMAIN::cmd10UP_Click);
    connect(cmd10DW, &QPushButton::clicked, this, &frmMAIN::cmd10DW_Click);
}

bool frmMAIN::eventFilter(QObject *watched, QEvent *event)
{
    // Key preview: the window sees every key press before the focused control,
    // once, whichever control has the focus; the key then goes on to it.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto *target = static_cast<QWidget *>(watched);
        const bool firstReceiver = target == focusWidget() || (focusWidget() == nullptr && target == this);
        if (firstReceiver && target->window() == this) {
            const auto *key = static_cast<QKeyEvent *>(event);
            Form_KeyDown(key->key(), key->modifiers());
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMAIN::closeEvent(QCloseEvent *event)
{
    // Closing the clock window ends the program; nothing is saved.
    event->accept();
    QApplication::quit();
}

} // namespace periodix
