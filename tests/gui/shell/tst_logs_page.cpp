#include "gui/shell/logs_page.h"
#include "support/test_main.h"

#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>

#include <unistd.h>

using namespace clarivex;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

qint64 residentBytes()
{
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * ::sysconf(_SC_PAGESIZE);
}

QStringList column(const TLogsPage &page, int which)
{
    QStringList texts;
    for (const LogEntry &row : page.rows())
        texts << (which == 0 ? row.dateTime : row.event);
    return texts;
}

} // namespace

class TestLogsPage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void layout();
    void loadShowsEveryLine();
    void loadReplacesRowsAndCreatesTheFile();
    void failedLoadKeepsTheRows();
    void writeEvent_data();
    void writeEvent();
    void clearLogsThenWrite();
    void clearLogsWithUndeletableFile();
    void sorting_data();
    void sorting();
    void rowsAfterSortGoToTheEnd();
    void settingsRoundTrip_data();
    void settingsRoundTrip();
    void largeLogStaysCompact();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestLogsPage::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath("state/logs.log");
}

void TestLogsPage::layout()
{
    TLogsPage page(m_path);
    QCOMPARE(page.cbLogEvents->text(), QStringLiteral("Log Events"));
    QVERIFY(page.cbLogEvents->isChecked()); // on until the settings say otherwise
    QCOMPARE(page.btnClearLogs->text(), QStringLiteral("Clear Logs"));
    QTreeView *list = page.ListViewLogs;
    QCOMPARE(list->model()->columnCount(), 2);
    QCOMPARE(list->model()->headerData(0, Qt::Horizontal), QStringLiteral("Date & Time"));
    QCOMPARE(list->model()->headerData(1, Qt::Horizontal), QStringLiteral("Event"));
    QCOMPARE(list->columnWidth(0), 140);
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(!list->isSortingEnabled()); // rows keep their order until a header click
}

void TestLogsPage::loadShowsEveryLine()
{
    QDir().mkpath(m_dir->filePath("state"));
    writeFile(m_path, "06-12-2026 13:05:22;Main Program Started\r\n"
                      "no separator here\r\n"
                      "07-12-2026;Found: 1;2;3 Bytes\r\n");
    TLogsPage page(m_path);
    page.loadLog();
    const QList<LogEntry> expected{{"06-12-2026 13:05:22", "Main Program Started"},
                                   {"", "no separator here"},
                                   {"07-12-2026", "Found: 1;2;3 Bytes"}};
    QCOMPARE(page.rows(), expected);
}

void TestLogsPage::loadReplacesRowsAndCreatesTheFile()
{
    TLogsPage page(m_path);
    page.addRow({"01-01-2026", "stale"});
    page.loadLog();
    QVERIFY(page.rows().isEmpty());
    QVERIFY(QFile::exists(m_path));
    page.loadLog(); // a second load shows the file once, not twice
    QVERIFY(page.rows().isEmpty());
}

void TestLogsPage::failedLoadKeepsTheRows()
{
    writeFile(m_dir->filePath("plain"), "a file where the folder should be");
    TLogsPage page(m_dir->filePath("plain/logs.log"));
    page.addRow({"01-01-2026", "kept"});
    QVERIFY_THROWS_EXCEPTION(EventLogError, page.loadLog());
    QCOMPARE(page.rows().size(), 1);
    QVERIFY_THROWS_EXCEPTION(EventLogError, page.WriteLogEvent("Temporary Files - Begin"));
}

void TestLogsPage::writeEvent_data()
{
    QTest::addColumn<bool>("logEvents");
    QTest::newRow("log events on") << true;
    QTest::newRow("log events off") << false;
}

void TestLogsPage::writeEvent()
{
    QFETCH(bool, logEvents);
    TLogsPage page(m_path);
    page.loadLog();
    page.cbLogEvents->setChecked(logEvents);
    page.WriteLogEvent("Duplicate Files - Begin");
    page.WriteLogEvent("Found: 0 Files");
    const QByteArray file = contents(m_path);
    if (!logEvents) {
        QVERIFY(page.rows().isEmpty());
        QCOMPARE(file, QByteArray());
        return;
    }
    QCOMPARE(column(page, 1), (QStringList{"Duplicate Files - Begin", "Found: 0 Files"}));
    // What the page shows is what the file holds, line for line.
    QByteArray expected;
    for (const LogEntry &row : page.rows()) {
        QVERIFY(!row.dateTime.isEmpty());
        expected += (row.dateTime + ';' + row.event).toUtf8() + "\r\n";
    }
    QCOMPARE(file, expected);
}

void TestLogsPage::clearLogsThenWrite()
{
    TLogsPage page(m_path);
    page.WriteLogEvent("Main Program Started");
    page.WriteLogEvent("Temporary Files - Begin");
    QTest::mouseClick(page.btnClearLogs, Qt::LeftButton);
    QVERIFY(page.rows().isEmpty());
    QVERIFY(!QFile::exists(m_path));
    page.WriteLogEvent("Temporary Files - End");
    QCOMPARE(page.rows().size(), 1);
    TLogsPage restarted(m_path);
    restarted.loadLog();
    QCOMPARE(restarted.rows(), page.rows());
}

void TestLogsPage::clearLogsWithUndeletableFile()
{
    // A folder in the file's place cannot be removed as a file: the list is
    // emptied all the same and nothing is raised.
    QDir().mkpath(m_path + "/inside");
    TLogsPage page(m_path);
    page.addRow({"01-01-2026", "shown"});
    page.btnClearLogsClick();
    QVERIFY(page.rows().isEmpty());
    QVERIFY(QFileInfo(m_path).isDir());
}

void TestLogsPage::sorting_data()
{
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<int>("byColumn");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("as added") << QList<int>{} << 1
                              << QStringList{"beta", "Alpha", "gamma", "alpha"};
    QTest::newRow("event, first click descending")
        << QList<int>{1} << 1 << QStringList{"gamma", "beta", "Alpha", "alpha"};
    QTest::newRow("event, second click ascending, case folded, ties kept in order")
        << QList<int>{1, 1} << 1 << QStringList{"Alpha", "alpha", "beta", "gamma"};
    QTest::newRow("date column first click ascending")
        << QList<int>{1, 0} << 0 << QStringList{"", "a-2", "B-1", "c-3"};
    QTest::newRow("date column twice descending")
        << QList<int>{0, 0} << 0 << QStringList{"c-3", "B-1", "a-2", ""};
}

void TestLogsPage::sorting()
{
    QFETCH(QList<int>, clicks);
    QFETCH(int, byColumn);
    QFETCH(QStringList, expected);
    TLogsPage page(m_path);
    page.addRow({"B-1", "beta"});
    page.addRow({"a-2", "Alpha"});
    page.addRow({"c-3", "gamma"});
    page.addRow({"", "alpha"});
    for (int clicked : clicks)
        emit page.ListViewLogs->header()->sectionClicked(clicked);
    QCOMPARE(column(page, byColumn), expected);
}

void TestLogsPage::rowsAfterSortGoToTheEnd()
{
    TLogsPage page(m_path);
    page.addRow({"2", "b"});
    page.addRow({"1", "a"});
    page.columnClicked(1);
    page.WriteLogEvent("z first by name, but written last");
    QCOMPARE(column(page, 1), (QStringList{"b", "a", "z first by name, but written last"}));
    QCOMPARE(page.sortColumn(), 1);
    QVERIFY(!page.sortAscending());
}

void TestLogsPage::settingsRoundTrip_data()
{
    QTest::addColumn<bool>("logEvents");
    QTest::newRow("on") << true;
    QTest::newRow("off") << false;
}

void TestLogsPage::settingsRoundTrip()
{
    QFETCH(bool, logEvents);
    GeneralOptions loaded;
    loaded.LogEvents = logEvents;
    TLogsPage page(m_path);
    page.loadSettings(loaded);
    QCOMPARE(page.cbLogEvents->isChecked(), logEvents);
    GeneralOptions saved;
    saved.LogEvents = !logEvents;
    page.saveSettings(saved);
    QCOMPARE(saved, loaded);
}

void TestLogsPage::largeLogStaysCompact()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the address sanitizer's shadow memory and quarantine count in the process's size");
#endif
    // 24 MB in 400,000 lines: a row object per line cost about eight times that.
    QDir().mkpath(m_dir->filePath("state"));
    {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray chunk;
        for (int i = 0; i < 400000; ++i) {
            chunk += "06-12-2026 13:05:" + QByteArray::number(10 + i % 50) +
                     ";Found: 1 files, 2 bytes on drive number " +
                     QByteArray::number(i).rightJustified(7, '0') + "\r\n";
            if (chunk.size() > 1 << 20) {
                file.write(chunk);
                chunk.clear();
            }
        }
        file.write(chunk);
    }
    const qint64 fileSize = QFileInfo(m_path).size();
    TLogsPage page(m_path);
    page.resize(600, 400);
    const qint64 before = residentBytes();
    page.loadLog();
    page.show();
    QCoreApplication::processEvents();
    const qint64 grown = residentBytes() - before;
    QCOMPARE(page.ListViewLogs->model()->rowCount(), 400000);
    QCOMPARE(page.ListViewLogs->model()->index(399999, 1).data().toString(),
             QStringLiteral("Found: 1 files, 2 bytes on drive number 0399999"));
    QVERIFY2(grown < 2 * fileSize,
             qPrintable(QStringLiteral("%1 bytes for a file of %2").arg(grown).arg(fileSize)));
}

CLARIVEX_TEST_MAIN(TestLogsPage)
#include "tst_logs_page.moc"
