#pragma once

#include "error_reporting/statement_guard.h"
#include "platform/udp_sender.h"

#include <QDialog>
#include <QTimer>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QCheckBox;

namespace periodix {

class PeriodGrid;

// The settings window: the period set editor, the timer type with its demos,
// the broadcast network, Period Script files, and "Ok" and "End".
class frmSet : public QDialog {
    Q_OBJECT
public:
    // The sender is the main window's; it tells the machine's own address.
    explicit frmSet(const DatagramSender &sender, QWidget *parent = nullptr);

    // The window's procedures.
    void Form_Load();
    void FIX_GRID();
    void cmdADD_Click();
    void cmdREMOVE_Click();
    void cmdUP_Click();
    void cmdDOWN_Click();
    void chkASKME_Click();
    void vsTIMEMIN_Change();
    void vsTIMESEC_Change();
    void optLEFT_Click();
    void optPASS_Click();
    void tmrLEFTdemo_Timer();
    void tmrPASSdemo_Timer();
    void cmdSAVE_Click();
    void cmdLOAD_Click();
    void cmdOK_Click();
    void cmdCANCEL_Click();
    void Form_QueryUnload();

    QTimer &tmrLEFTdemo() { return tmrLEFTdemo_; }
    QTimer &tmrPASSdemo() { return tmrPASSdemo_; }
    qreal dpi() const { return dpi_; }

    static inline const QString FileFilter = QStringLiteral("Period Script (*.ptm)|*.ptm|All files (*.*)|*.*");

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    QString timeText() const; // of the two scroll bars
    void exchangeWithNeighbour(Procedure &p, int firstLine, qint16 r, int step);
    QString askFileName(Procedure &p, int firstLine, bool saving);
    QString askAboutLeftovers(const QString &fileName, bool saving);

    const DatagramSender &sender_;
    qreal dpi_ = 96;

    // The demos' counters.
    qint16 PassDemoSeconds = 0;
    qint16 LeftDemoSeconds = 0;
    qint16 PassDemoMinutes = 0;
    qint16 LeftDemoMinutes = 0;

    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QRadioButton *optPASS = nullptr;
    QRadioButton *optLEFT = nullptr;
    QLabel *lblPASS = nullptr;
    QLabel *lblLEFT = nullptr;
    QLineEdit *txtPERIODLEGEND = nullptr;
    QLineEdit *txtPERIODTIME = nullptr;
    QScrollBar *vsTIMESEC = nullptr;
    QScrollBar *vsTIMEMIN = nullptr;
    QCheckBox *chkASKME = nullptr;
    PeriodGrid *grdPERIOD = nullptr;
    QPushButton *cmdADD = nullptr;
    QPushButton *cmdREMOVE = nullptr;
    QPushButton *cmdUP = nullptr;
    QPushButton *cmdDOWN = nullptr;
    QPushButton *cmdSAVE = nullptr;
    QPushButton *cmdLOAD = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCANCEL = nullptr;
    QLineEdit *txtIP = nullptr;
    QTimer tmrLEFTdemo_;
    QTimer tmrPASSdemo_;
};

} // namespace periodix
