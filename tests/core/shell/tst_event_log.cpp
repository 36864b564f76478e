#include "core/shell/event_log.h"
#include "support/test_main.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
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

const QDateTime kNoon(QDate(2026, 12, 6), QTime(13, 5, 22));

} // namespace

class TestEventLog : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void defaultPlace();
    void stamps_data();
    void stamps();
    void lines_data();
    void lines();
    void writesOneLinePerEvent();
    void switchedOffDoesNothing();
    void loadCreatesTheFileAndReadsRows();
    void semicolonInEventSurvivesRestart();
    void clearThenWrite();
    void unwritableFolderRaises_data();
    void unwritableFolderRaises();
    void fileSizeLimitKeepsEarlierLines();
    void unfinishedLastLineIsClosedFirst();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestEventLog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->path() + QStringLiteral("/state/clarivex/logs.log");
}

void TestEventLog::defaultPlace()
{
    QCOMPARE(EventLog::defaultFilePath(),
             qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/clarivex/logs.log"));
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    qunsetenv("XDG_STATE_HOME");
    const QString fallback = EventLog::defaultFilePath();
    qputenv("XDG_STATE_HOME", saved);
    QCOMPARE(fallback, QDir::homePath() + QStringLiteral("/.local/state/clarivex/logs.log"));
}

void TestEventLog::stamps_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("stamp");
    QTest::newRow("afternoon") << kNoon << QStringLiteral("06-12-2026 13:05:22");
    QTest::newRow("midnight drops the time")
        << QDateTime(QDate(2026, 1, 2), QTime(0, 0, 0)) << QStringLiteral("02-01-2026");
    QTest::newRow("milliseconds after midnight still midnight")
        << QDateTime(QDate(2026, 1, 2), QTime(0, 0, 0, 400)) << QStringLiteral("02-01-2026");
    QTest::newRow("one second after midnight")
        << QDateTime(QDate(2026, 1, 2), QTime(0, 0, 1)) << QStringLiteral("02-01-2026 00:00:01");
}

void TestEventLog::stamps()
{
    QFETCH(QDateTime, when);
    QFETCH(QString, stamp);
    QCOMPARE(EventLog::formatStamp(when), stamp);
}

void TestEventLog::lines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("dateTime");
    QTest::addColumn<QString>("event");
    QTest::newRow("plain") << "06-12-2026 13:05:22;Main Program Started"
                           << "06-12-2026 13:05:22"
                           << "Main Program Started";
    QTest::newRow("only the first semicolon") << "06-12-2026;a;b;"
                                              << "06-12-2026"
                                              << "a;b;";
    QTest::newRow("no semicolon") << "stray text"
                                  << ""
                                  << "stray text";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("empty event") << "06-12-2026;"
                                 << "06-12-2026"
                                 << "";
}

void TestEventLog::lines()
{
    QFETCH(QString, line);
    QFETCH(QString, dateTime);
    QFETCH(QString, event);
    QCOMPARE(EventLog::parseLine(line), (LogEntry{dateTime, event}));
}

void TestEventLog::writesOneLinePerEvent()
{
    EventLog log(m_path);
    QList<LogEntry> page;
    const auto addRow = [&](const LogEntry &row) { page.append(row); };
    log.WriteLogEvent(QStringLiteral("Main Program Started"), true, addRow, kNoon);
    log.WriteLogEvent(QStringLiteral("Found: 1,234 Bytes"), true, addRow,
                      QDateTime(QDate(2026, 12, 7), QTime(0, 0)));
    QCOMPARE(contents(m_path), QByteArray("06-12-2026 13:05:22;Main Program Started\r\n"
                                          "07-12-2026;Found: 1,234 Bytes\r\n"));
    QCOMPARE(page.size(), 2);
    QCOMPARE(page.at(0), (LogEntry{"06-12-2026 13:05:22", "Main Program Started"}));
    QCOMPARE(log.load(), page);
}

void TestEventLog::switchedOffDoesNothing()
{
    EventLog log(m_path);
    bool rowAdded = false;
    log.WriteLogEvent(QStringLiteral("Temporary Files - Begin"), false,
                      [&](const LogEntry &) { rowAdded = true; });
    QVERIFY(!rowAdded);
    QVERIFY(!QFile::exists(m_path));
}

void TestEventLog::loadCreatesTheFileAndReadsRows()
{
    EventLog log(m_path);
    QVERIFY(log.load().isEmpty());
    QVERIFY(QFile::exists(m_path));
    QCOMPARE(contents(m_path), QByteArray());

    writeFile(m_path, "01-01-2026 10:00:00;One\r\n"
                      "a line without separator\r\n"
                      "\r\n"
                      "02-01-2026;Unix end\n"
                      "03-01-2026;No end at all");
    const QList<LogEntry> expected{{"01-01-2026 10:00:00", "One"},
                                   {"", "a line without separator"},
                                   {"", ""},
                                   {"02-01-2026", "Unix end"},
                                   {"03-01-2026", "No end at all"}};
    QCOMPARE(log.load(), expected);
}

void TestEventLog::semicolonInEventSurvivesRestart()
{
    const QString text = QStringLiteral("Found; see c:\\x;y");
    EventLog(m_path).WriteLogEvent(text, true, {}, kNoon);
    const QList<LogEntry> rows = EventLog(m_path).load();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().event, text);
}

void TestEventLog::clearThenWrite()
{
    EventLog log(m_path);
    log.WriteLogEvent(QStringLiteral("old"), true, {}, kNoon);
    QVERIFY(log.clear());
    QVERIFY(!QFile::exists(m_path));
    QVERIFY(!log.clear()); // nothing left to delete: ignored
    log.WriteLogEvent(QStringLiteral("new"), true, {}, kNoon);
    QCOMPARE(contents(m_path), QByteArray("06-12-2026 13:05:22;new\r\n"));
}

void TestEventLog::unwritableFolderRaises_data()
{
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::newRow("folder is a file") << false;
    QTest::newRow("read-only folder") << true;
}

void TestEventLog::unwritableFolderRaises()
{
    QFETCH(bool, readOnlyFolder);
    if (readOnlyFolder && ::geteuid() == 0) QSKIP("permissions do not bind the superuser");
    const QString folder = m_dir->path() + QStringLiteral("/blocked");
    if (readOnlyFolder) {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0500) == 0);
    } else {
        writeFile(folder, "a file where the folder should be");
    }
    EventLog log(folder + QStringLiteral("/logs.log"));
    bool rowAdded = false;
    QVERIFY_THROWS_EXCEPTION(
        EventLogError,
        log.WriteLogEvent(QStringLiteral("x"), true, [&](const LogEntry &) { rowAdded = true; }));
    QVERIFY(rowAdded); // the page shows the event before the file fails
    QVERIFY_THROWS_EXCEPTION(EventLogError, (void)log.load());
    try {
        log.append({"d", "e"});
        QFAIL("no error raised");
    } catch (const EventLogError &error) {
        QVERIFY(QString::fromUtf8(error.what()).contains(QStringLiteral("blocked")));
    }
    QVERIFY(!log.clear());
    ::chmod(QFile::encodeName(folder).constData(), 0700);
}

void TestEventLog::fileSizeLimitKeepsEarlierLines()
{
    // A file size limit makes a write stop part-way, as a full disk does.
    EventLog log(m_path);
    log.WriteLogEvent(QStringLiteral("first"), true, {}, kNoon);
    const QByteArray before = contents(m_path);

    struct rlimit saved = {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = rlim_t(before.size() + 10);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool raised = false;
    try {
        log.WriteLogEvent(QStringLiteral("a long event that cannot fit"), true, {}, kNoon);
    } catch (const EventLogError &) {
        raised = true;
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(raised);
    QCOMPARE(contents(m_path), before);
    log.WriteLogEvent(QStringLiteral("after"), true, {}, kNoon);
    QCOMPARE(log.load(),
             (QList<LogEntry>{{"06-12-2026 13:05:22", "first"}, {"06-12-2026 13:05:22", "after"}}));
}

void TestEventLog::unfinishedLastLineIsClosedFirst()
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    writeFile(m_path, "05-12-2026;cut off by a crash");
    EventLog(m_path).WriteLogEvent(QStringLiteral("next"), true, {}, kNoon);
    QCOMPARE(contents(m_path), QByteArray("05-12-2026;cut off by a crash\r\n"
                                          "06-12-2026 13:05:22;next\r\n"));
}

CLARIVEX_TEST_MAIN_CORE(TestEventLog)
#include "tst_event_log.moc"
