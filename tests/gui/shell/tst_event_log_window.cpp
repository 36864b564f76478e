// The window's start when logs.log is a FIFO: no wait, the error dialog.

#include "core/shell/event_log.h"
#include "gui/shell/main_window.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QDir>
#include <QElapsedTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace clarivex;
using namespace clarivex::test;

class TestEventLogWindow : public QObject
{
    Q_OBJECT
private slots:
    void fifoLogShowsTheErrorDialog();
};

void TestEventLogWindow::fifoLogShowsTheErrorDialog()
{
    const QString path = EventLog::defaultFilePath();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    const QByteArray native = QFile::encodeName(path);
    QVERIFY(::mkfifo(native.constData(), 0600) == 0);
    // Should the start block on the FIFO, its other end is opened after two
    // seconds so that the test fails instead of hanging.
    std::atomic<bool> done{false};
    std::thread rescue([&] {
        for (int i = 0; i < 200 && !done; ++i)
            ::usleep(10000);
        if (!done) ::close(::open(native.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    });
    ScopedNotices notices;
    QElapsedTimer timer;
    timer.start();
    {
        TClarivexMainForm window;
        window.createWindowSteps({});
    }
    done = true;
    rescue.join();
    QVERIFY(timer.elapsed() < 2000);
    QCOMPARE(notices->requests().size(), 1);
    QCOMPARE(notices->requests().first().kind, ScriptedNotices::Kind::Dialog);
    QVERIFY2(notices->requests().first().text.contains("it is not a regular file"),
             qPrintable(notices->requests().first().text));
    ::unlink(native.constData());
}

CLARIVEX_TEST_MAIN(TestEventLogWindow)
#include "tst_event_log_window.moc"
