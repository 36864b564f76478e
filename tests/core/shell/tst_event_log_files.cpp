// The event log when logs.log is not a plain file: a FIFO must not block the
// start, a link is not followed, a folder is refused; each is an error.

#include "core/shell/event_log.h"
#include "core/shell/log_lines.h"
#include "support/test_main.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace clarivex;

namespace {
// Should an open block on the FIFO, this opens its other end after a while,
// so that the test fails instead of hanging.
class FifoRescue
{
public:
    explicit FifoRescue(const QByteArray &path)
        : m_thread([this, path] {
              for (int i = 0; i < 200 && !m_done; ++i)
                  ::usleep(10000);
              if (m_done) return;
              const int fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
              ::usleep(200000);
              ::close(fd);
          })
    {
    }
    ~FifoRescue()
    {
        m_done = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};
} // namespace

class TestEventLogFiles : public QObject
{
    Q_OBJECT
private slots:
    void notARegularFileIsAnError_data();
    void notARegularFileIsAnError();
    void linesKeepWhatTheFileHolds();
};

void TestEventLogFiles::notARegularFileIsAnError_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("cause");
    QTest::newRow("fifo") << "fifo"
                          << "it is not a regular file";
    QTest::newRow("folder") << "folder"
                            << "Is a directory";
    QTest::newRow("link to a file") << "link"
                                    << "Too many levels of symbolic links";
}

void TestEventLogFiles::notARegularFileIsAnError()
{
    QFETCH(QString, kind);
    QFETCH(QString, cause);
    QTemporaryDir dir;
    const QString path = dir.filePath("logs.log");
    const QByteArray native = QFile::encodeName(path);
    const QByteArray target = QFile::encodeName(dir.filePath("elsewhere.txt"));
    if (kind == "fifo") QVERIFY(::mkfifo(native.constData(), 0600) == 0);
    if (kind == "folder") QVERIFY(::mkdir(native.constData(), 0700) == 0);
    if (kind == "link") {
        QFile other(dir.filePath("elsewhere.txt"));
        QVERIFY(other.open(QIODevice::WriteOnly));
        QVERIFY(::symlink(target.constData(), native.constData()) == 0);
    }
    const FifoRescue rescue(native);
    EventLog log(path);
    for (const bool loading : {true, false}) {
        QElapsedTimer timer;
        timer.start();
        QString message;
        try {
            if (loading)
                (void)log.load();
            else
                log.append(EventLog::makeEntry("x"));
        } catch (const EventLogError &error) {
            message = QString::fromUtf8(error.what());
        }
        QVERIFY2(timer.elapsed() < 1500, loading ? "load waited" : "append waited");
        QVERIFY2(message.contains(path) && message.contains(cause), qPrintable(message));
    }
    QFileInfo elsewhere(dir.filePath("elsewhere.txt"));
    QCOMPARE(elsewhere.size(), 0); // nothing went through the link
}

void TestEventLogFiles::linesKeepWhatTheFileHolds()
{
    const LogLines lines = LogLines::fromBytes("06-12-2026 13:05:22;Started\r\n"
                                               "no separator\n"
                                               "07-12-2026;a;b\r\n"
                                               "\r\n"
                                               "last without end");
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines.entry(0), (LogEntry{"06-12-2026 13:05:22", "Started"}));
    QCOMPARE(lines.entry(1), (LogEntry{"", "no separator"}));
    QCOMPARE(lines.entry(2), (LogEntry{"07-12-2026", "a;b"}));
    QCOMPARE(lines.entry(3), (LogEntry{"", ""}));
    QCOMPARE(lines.entry(4), (LogEntry{"", "last without end"}));
    LogLines added;
    for (const LogEntry &entry :
         {LogEntry{"", "a;b"}, LogEntry{"", "plain"}, LogEntry{"d", "e\nf"}})
        added.append(entry);
    QCOMPARE(added.entry(0), (LogEntry{"", "a;b"}));
    QCOMPARE(added.entry(1), (LogEntry{"", "plain"}));
    QCOMPARE(added.entry(2), (LogEntry{"d", "e f"})); // one event, one line
}

CLARIVEX_TEST_MAIN_CORE(TestEventLogFiles)
#include "tst_event_log_files.moc"
