// What a clean says it did: the status line, what it kept and why, the
// event log's line, and sizes in a form a person reads beside the exact one.

#include "core/cleaning/clean_summary.h"
#include "support/test_main.h"

#include <QLocale>

using namespace clarivex;
using namespace clarivex::cleaning;

class TestCleanSummary : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void texts_data();
    void texts();
    void sizes_data();
    void sizes();
};

void TestCleanSummary::texts_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<int>>("fates"); // RowFate per row
    QTest::addColumn<QList<qint64>>("sizes");
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QString>("done");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("log");

    const int cleaned = int(RowFate::Cleaned);
    const int inUse = int(RowFate::InUse);
    const int changed = int(RowFate::Changed);
    QList<int> many(5010, cleaned);
    QList<qint64> manySizes(5010, 27);
    manySizes[0] = 136192 - 5009 * 27; // 133 KB in all
    many << inUse << inUse;
    manySizes << 1 << 1;
    QTest::newRow("trash, two in use")
        << 0 << many << manySizes << QByteArray() << "Moved 5,010 files (133 KB) to the Trash"
        << "2 files were kept: in use"
        << "Clean (Move to Trash, Clean All): 5,010 Files, 136,192 Bytes; 2 Files kept: in use";
    QTest::newRow("delete one file") << 1 << QList<int>{cleaned} << QList<qint64>{12}
                                     << QByteArray() << "Deleted 1 file (12 bytes)"
                                     << ""
                                     << "Clean (Delete, Clean All): 1 Files, 12 Bytes";
    QTest::newRow("zip, kept for two reasons")
        << 3 << QList<int>{cleaned, inUse, changed, inUse} << QList<qint64>{3 << 20, 1, 1, 1}
        << QByteArray("/b/08-12-2026.zip") << "Zipped 1 file (3.0 MB) to /b/08-12-2026.zip"
        << "3 files were kept: 2 in use, 1 changed since the scan"
        << "Clean (Zip to folder, Clean All): 1 Files, 3,145,728 Bytes; 3 Files kept: 2 in use, "
           "1 changed since the scan";
    QTest::newRow("nothing cleaned")
        << 0 << QList<int>{int(RowFate::NotDone)} << QList<qint64>{5} << QByteArray()
        << "Nothing was cleaned."
        << "1 file was kept: not cleaned"
        << "Clean (Move to Trash, Clean All): 0 Files, 0 Bytes; 1 Files kept: not cleaned";
}

void TestCleanSummary::texts()
{
    QFETCH(int, mode);
    QFETCH(QList<int>, fates);
    QFETCH(QList<qint64>, sizes);
    QFETCH(QByteArray, archive);
    QFETCH(QString, done);
    QFETCH(QString, kept);
    QFETCH(QString, log);
    CleanReport report;
    for (int fate : std::as_const(fates))
        report.rows.append({RowFate(fate), {}, {}});
    report.archive = archive;
    const CleanTally tally = tallyClean(CleanMode(mode), report, sizes);
    QCOMPARE(cleanDoneText(tally), done);
    QCOMPARE(cleanKeptText(tally), kept);
    QCOMPARE(cleanLogText(tally, QStringLiteral("Clean All")), log);
}

void TestCleanSummary::sizes_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("totals") << qint64(743895772) << "743,895,772 bytes (709.4 MiB)";
    QTest::newRow("small") << qint64(999) << "999 bytes (999 bytes)";
    QTest::newRow("past 4 GiB") << (qint64(5) << 32) << "21,474,836,480 bytes (20.0 GiB)";
}

void TestCleanSummary::sizes()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(exactAndReadableBytes(bytes), text);
}

CLARIVEX_TEST_MAIN_CORE(TestCleanSummary)
#include "tst_clean_summary.moc"
