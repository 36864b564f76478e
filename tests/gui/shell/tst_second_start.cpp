// A second start of the main program whose first instance does not answer.

#include "core/platform/copy_data.h"
#include "core/platform/single_instance.h"
#include "gui/shell/second_start.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace clarivex;
using namespace clarivex::platform;
using namespace clarivex::test;

namespace {
// A first instance that listens but never takes a connection: hung.
class HungListener
{
public:
    HungListener()
    {
        const QByteArray path = QFile::encodeName(copyDataSocketPath(kMainWindowClass));
        ::unlink(path.constData());
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        m_ok = ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
               ::listen(m_fd, 4) == 0;
    }
    ~HungListener()
    {
        ::close(m_fd);
        ::unlink(QFile::encodeName(copyDataSocketPath(kMainWindowClass)).constData());
    }
    bool ok() const { return m_ok; }

private:
    int m_fd = -1;
    bool m_ok = false;
};
} // namespace

class TestSecondStart : public QObject
{
    Q_OBJECT
private slots:
    void silentFirstInstanceIsTold_data();
    void silentFirstInstanceIsTold();
    void theProgramSaysSoInOneLine();
};

void TestSecondStart::silentFirstInstanceIsTold_data()
{
    QTest::addColumn<bool>("listening");
    QTest::newRow("hung") << true;
    QTest::newRow("deaf, its socket gone") << false;
}

void TestSecondStart::silentFirstInstanceIsTold()
{
    QFETCH(bool, listening);
    std::optional<HungListener> first;
    if (listening) {
        first.emplace();
        QVERIFY(first->ok());
    }
    ScopedNotices notices;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(AnswerSecondStart(1000), 1);
    QVERIFY(timer.elapsed() < 3000);
    QCOMPARE(notices->requests().size(), 1);
    QCOMPARE(notices->requests().first().text,
             QStringLiteral("Clarivex 2000 is already running, but it did not answer within 1 "
                            "seconds. End the running instance and start the program again."));
}

void TestSecondStart::theProgramSaysSoInOneLine()
{
    InstanceMarker marker; // this process is the first instance, and hangs
    QVERIFY(!marker.CheckPreviousInstance(false));
    HungListener first;
    QVERIFY(first.ok());
    QProcess second;
    QElapsedTimer timer;
    timer.start();
    second.start(QStringLiteral(CLARIVEX_GUI_PATH), {QStringLiteral("/NOSPLASH")});
    // It says so, then shows its dialog, which nobody answers here.
    second.setReadChannel(QProcess::StandardError);
    QTRY_VERIFY_WITH_TIMEOUT(second.canReadLine() || second.state() == QProcess::NotRunning,
                             waitLimitMs());
    QVERIFY(timer.elapsed() < kSecondStartWaitMs + 4000);
    QCOMPARE(second.readLine(),
             QByteArray("clarivex: Clarivex 2000 is already running, but it did not answer "
                        "within 4 seconds. End the running instance and start the program "
                        "again.\n"));
    QCOMPARE(second.state(), QProcess::Running); // the dialog is up
    second.kill();
    QVERIFY(finishes(second, "the second start with its dialog"));
}

CLARIVEX_TEST_MAIN(TestSecondStart)
#include "tst_second_start.moc"
