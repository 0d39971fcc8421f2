#include "feed/period_set.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace periodix::feed;

// The period set a companion reads with --set: bytes on disk in, the periods
// or the message naming the file's line out.
class PeriodSetTest : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
};

void PeriodSetTest::read_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("read"); // legend=seconds ..., or the error after the file's name
    QTest::newRow("example") << QByteArray("TimeLeft\r\n1st Half\r\n20:00\r\nOvertime\r\nAsk me\r\n")
                             << "1st Half=1200 Overtime=?";
    QTest::newRow("lone CR, Windows-1252, no end on the last line")
        << QByteArray("TimePass\rM\xe4nner\r7:5") << "M\u00e4nner=425";
    QTest::newRow("no time line") << QByteArray("TimeLeft\r\nA\r\n1:00\r\nB\r\n")
                                  << ", line 5: Input past end of file";
    QTest::newRow("a time that is none") << QByteArray("TimeLeft\r\nA\r\nten\r\n") << ", line 3: Type mismatch";
    QTest::newRow("empty") << QByteArray() << ", line 1: Input past end of file";
    QTest::newRow("LF only: one line, no periods") << QByteArray("TimeLeft\nA\n1:00\n")
                                                   << ": no periods (lines end with CR LF or CR)";
}

void PeriodSetTest::read()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, read);
    QTemporaryDir dir;
    const QString path = dir.filePath("set.ptm");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    PeriodSet set;
    QString error;
    if (!readPeriodSet(path, set, error)) {
        QCOMPARE(error, path + read);
        return;
    }
    QStringList periods;
    for (const PeriodSet::Period &p : set.periods)
        periods << p.legend + '=' + (p.seconds ? QString::number(*p.seconds) : "?");
    QCOMPARE(periods.join(' '), read);
}

QTEST_GUILESS_MAIN(PeriodSetTest)
#include "period_set_test.moc"
