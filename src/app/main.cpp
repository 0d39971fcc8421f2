#include "error_reporting/error_report.h"
#include "error_reporting/report_box.h"
#include "main_window/frm_main.h"
#include "platform/udp_sender.h"
#include "settings_window/frm_set.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Periodix"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/periodix.png")));
    periodix::setReportPresenter(periodix::showReportBox);

    periodix::UdpSender sender;
    periodix::frmMAIN window(sender, [](periodix::frmMAIN &main) {
        periodix::frmSet settings(main.wsTIME());
        settings.exec();
    });
    window.Form_Load();
    window.show();
    return app.exec();
}
