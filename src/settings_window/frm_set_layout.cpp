// The settings window's controls, positions and looks.

#include "settings_window/frm_set.h"

#include "platform/looks.h"
#include "platform/symbol_font.h"
#include "platform/twips.h"
#include "platform/wrapping_check_box.h"
#include "clock/ansi_text.h"
#include "settings_window/period_grid.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QValidator>

namespace periodix {

namespace {

// Refuses characters a Period Script file cannot hold.
class LegendValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        for (QChar c : input) {
            if (!isLegendCharacter(c))
                return Invalid;
        }
        return Acceptable;
    }
};

template <class W>
W *place(W *widget, const char *name, int left, int top, int width, int height, qreal dpi)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(twipsRect(left, top, width, height, dpi));
    return widget;
}

QLabel *label(QWidget *parent, const char *name, const char *caption, Qt::Alignment alignment, int left, int top,
              int width, int height, qreal dpi)
{
    auto *l = place(new QLabel(QString::fromLatin1(caption), parent), name, left, top, width, height, dpi);
    l->setAlignment(alignment | Qt::AlignVCenter);
    l->setTextFormat(Qt::PlainText);
    shrinkToFit(l, l->text(), l->width());
    return l;
}

QGroupBox *frame(QWidget *parent, const char *name, const char *caption, const QColor &colour, int left, int top,
                 int width, int height, qreal dpi)
{
    auto *f = place(new QGroupBox(QString::fromLatin1(caption), parent), name, left, top, width, height, dpi);
    f->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); margin-top: 0.5em; }"
                                    "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px;"
                                    " color: %1; }")
                         .arg(colour.name()));
    return f;
}

QPushButton *button(QWidget *parent, const char *name, const char *caption, int left, int top, int width,
                    int height, qreal dpi)
{
    auto *b = place(new QPushButton(QString::fromLatin1(caption), parent), name, left, top, width, height, dpi);
    b->setAutoDefault(false);
    return b;
}

} // namespace

frmSet::frmSet(const DatagramSender &sender, QWidget *parent) : QDialog(parent), sender_(sender)
{
    setObjectName(QStringLiteral("frmSet"));
    setWindowTitle(QStringLiteral("Setting"));
    dpi_ = screenDpi();
    // The window's own font, with a face of the same metrics where it is missing.
    setFont(preferredFont({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                           QStringLiteral("DejaVu Sans")},
                          8.25));
    buildControls();
    Form_Load();
}

void frmSet::buildControls()
{
    const qreal dpi = dpi_;
    setFixedSize(twipsToPixels(7365, dpi), twipsToPixels(4710, dpi));
    const QColor darkBlue(0, 0, 192);
    const Qt::Alignment right = Qt::AlignRight;

    Frame1 = frame(this, "Frame1", "Timer Type", darkBlue, 0, 0, 3075, 1125, dpi);
    optPASS = place(new QRadioButton(QStringLiteral("Clock timer"), Frame1), "optPASS", 180, 330, 2085, 255, dpi);
    optPASS->setChecked(true);
    lblPASS = label(Frame1, "lblPASS", "00:00", Qt::AlignHCenter, 2160, 360, 885, 225, dpi);
    optLEFT = place(new QRadioButton(QStringLiteral("Countdown timer"), Frame1), "optLEFT", 180, 660, 2085, 255, dpi);
    lblLEFT = label(Frame1, "lblLEFT", "01:20", Qt::AlignHCenter, 2160, 690, 885, 225, dpi);

    Frame2 = frame(this, "Frame2", "Periods", darkBlue, 0, 1140, 7335, 3015, dpi);
    label(Frame2, "Label1", "Period legend", right, 120, 330, 1785, 225, dpi);
    label(Frame2, "Label2", "ex. Quarter or Half Time", right, 120, 570, 1785, 225, dpi);
    txtPERIODLEGEND = place(new QLineEdit(Frame2), "txtPERIODLEGEND", 1950, 270, 1515, 285, dpi);
    txtPERIODLEGEND->setMaxLength(15);
    txtPERIODLEGEND->setValidator(new LegendValidator(txtPERIODLEGEND));
    label(Frame2, "Label3", "Period time", right, 120, 930, 1785, 225, dpi);
    txtPERIODTIME = place(new QLineEdit(QStringLiteral("00:00"), Frame2), "txtPERIODTIME", 1950, 900, 615, 285, dpi);
    txtPERIODTIME->setEnabled(false);
    vsTIMESEC = place(new QScrollBar(Qt::Vertical, Frame2), "vsTIMESEC", 3090, 900, 375, 315, dpi);
    vsTIMESEC->setRange(0, 60);
    vsTIMEMIN = place(new QScrollBar(Qt::Vertical, Frame2), "vsTIMEMIN", 2670, 900, 375, 315, dpi);
    vsTIMEMIN->setRange(0, 200);
    for (QScrollBar *bar : {vsTIMESEC, vsTIMEMIN}) {
        bar->setFocusPolicy(Qt::StrongFocus); // they take their turn in the tab order
        bar->setSingleStep(1); // the arrows
        bar->setPageStep(10);  // a click in the track
        bar->setValue(0);
    }
    chkASKME = place(new WrappingCheckBox(QStringLiteral("I don't know. Ask me for this period."), Frame2), "chkASKME",
                     1980, 1230, 1575, 405, dpi);
    grdPERIOD = place(new PeriodGrid(Frame2), "grdPERIOD", 3690, 270, 3045, 2625, dpi);
    grdPERIOD->setFont(font()); // the same face, in the grid's Greek character set
    cmdADD = button(Frame2, "cmdADD", "Add Period", 330, 1860, 1395, 375, dpi);
    cmdREMOVE = button(Frame2, "cmdREMOVE", "Remove Period", 1860, 1860, 1395, 375, dpi);
    cmdUP = place(new SymbolButton(QStringLiteral("5"), 15.75, QFont::Normal, Frame2), "cmdUP", 6810, 1110, 435, 435, dpi);
    cmdDOWN = place(new SymbolButton(QStringLiteral("6"), 15.75, QFont::Normal, Frame2), "cmdDOWN", 6810, 1680, 435, 435,
                    dpi);
    cmdUP->setAutoDefault(false);
    cmdDOWN->setAutoDefault(false);
    cmdSAVE = button(Frame2, "cmdSAVE", "Save set", 330, 2430, 1395, 375, dpi);
    cmdLOAD = button(Frame2, "cmdLOAD", "Load set", 1860, 2430, 1395, 375, dpi);

    cmdOK = button(this, "cmdOK", "Ok", 3840, 4260, 1545, 405, dpi);
    cmdCANCEL = button(this, "cmdCANCEL", "End", 5580, 4260, 1545, 405, dpi);

    Frame3 = frame(this, "Frame3", "Network", QColor(0, 0, 255), 3150, 0, 4185, 1125, dpi);
    label(Frame3, "Label4", "Broadcast IP", right, 180, 270, 1305, 225, dpi);
    txtIP = place(new QLineEdit(Frame3), "txtIP", 1530, 510, 1065, 285, dpi);
    txtIP->setInputMask(QStringLiteral("000.000.000;_"));
    txtIP->setTextMargins(0, 0, 0, 0);
    shrinkToFit(txtIP, QStringLiteral("000.000.000"), txtIP->width() - 8);
    label(Frame3, "Label5", ".255", Qt::AlignLeft, 2670, 570, 525, 255, dpi);

    QWidget *order[] = {optPASS, optLEFT, txtPERIODLEGEND, txtPERIODTIME, vsTIMESEC, vsTIMEMIN, chkASKME,
                        grdPERIOD, cmdADD, cmdREMOVE, cmdUP, cmdDOWN, cmdSAVE, cmdLOAD, cmdOK, cmdCANCEL, txtIP};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    tmrLEFTdemo_.setObjectName(QStringLiteral("tmrLEFTdemo"));
    tmrPASSdemo_.setObjectName(QStringLiteral("tmrPASSdemo"));
    for (QTimer *demo : {&tmrLEFTdemo_, &tmrPASSdemo_}) {
        demo->setInterval(999);
        demo->stop();
    }

    connect(cmdADD, &QPushButton::clicked, this, &frmSet::cmdADD_Click);
    connect(cmdREMOVE, &QPushButton::clicked, this, &frmSet::cmdREMOVE_Click);
    connect(cmdUP, &QPushButton::clicked, this, &frmSet::cmdUP_Click);
    connect(cmdDOWN, &QPushButton::clicked, this, &frmSet::cmdDOWN_Click);
    connect(chkASKME, &QCheckBox::stateChanged, this, &frmSet::chkASKME_Click);
    connect(vsTIMEMIN, &QScrollBar::valueChanged, this, &frmSet::vsTIMEMIN_Change);
    connect(vsTIMESEC, &QScrollBar::valueChanged, this, &frmSet::vsTIMESEC_Change);
    connect(optLEFT, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optLEFT_Click();
    });
    connect(optPASS, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optPASS_Click();
    });
    connect(&tmrLEFTdemo_, &QTimer::timeout, this, &frmSet::tmrLEFTdemo_Timer);
    connect(&tmrPASSdemo_, &QTimer::timeout, this, &frmSet::tmrPASSdemo_Timer);
    connect(cmdSAVE, &QPushButton::clicked, this, &frmSet::cmdSAVE_Click);
    connect(cmdLOAD, &QPushButton::clicked, this, &frmSet::cmdLOAD_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmSet::cmdOK_Click);
    connect(cmdCANCEL, &QPushButton::clicked, this, &frmSet::cmdCANCEL_Click);
}

void frmSet::closeEvent(QCloseEvent *event)
{
    // Both "Ok" and the close box come here; the window always closes.
    Form_QueryUnload();
    event->accept();
    done(QDialog::Accepted);
}

void frmSet::keyPressEvent(QKeyEvent *event)
{
    // Escape is no way out of the settings: only "Ok", "End" and the close box.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace periodix
