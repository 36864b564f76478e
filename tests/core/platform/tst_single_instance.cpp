// The instance marker across real processes: this test program starts copies
// of itself as the "other" instance (see main() at the end).

#include "core/platform/copy_data.h"
#include "core/platform/single_instance.h"
#include "support/test_environment.h"
#include "support/wait_limits.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <cstring>

using namespace clarivex::platform;
using clarivex::test::finishes;
using clarivex::test::waitLimitMs;

namespace {

constexpr int kNoOtherInstance = 3;

// A second start of the program: exit code 0 when another instance runs.
int secondStart()
{
    return CheckPreviousInstance(true) ? 0 : kNoOtherInstance;
}

// A first instance: holds the marker, listens as the main window, says so.
int firstInstance(QCoreApplication &app)
{
    if (CheckPreviousInstance(false)) return 4;
    CopyDataServer server;
    if (!server.listen(QString::fromLatin1(kMainWindowClass))) return 5;
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}

QString self()
{
    return QCoreApplication::applicationFilePath();
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void firstStartHoldsTheMarker();
    void secondStartBringsTheFirstForward();
    void secondStartEndsAlsoWithoutAWindow();
    void crashedInstanceLeavesNothingInTheWay();
    void theProgramItselfStartsOnce();

private:
    static int runSecondStart();
};

int TestSingleInstance::runSecondStart()
{
    QProcess second;
    QSignalSpy finished(&second, &QProcess::finished);
    second.start(self(), {QStringLiteral("--second-start")});
    // Waiting through the event loop lets this process answer the child.
    if (!finished.wait(15000)) return -1;
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -2;
}

void TestSingleInstance::firstStartHoldsTheMarker()
{
    InstanceMarker marker;
    QVERIFY(!marker.CheckPreviousInstance(false));
    QVERIFY(marker.holdsMarker());
    QVERIFY(QFile::exists(marker.lockPath()));
    QVERIFY(!marker.CheckPreviousInstance(false)); // asking again changes nothing
}

void TestSingleInstance::secondStartBringsTheFirstForward()
{
    InstanceMarker marker;
    QVERIFY(!marker.CheckPreviousInstance(true));
    CopyDataServer window;
    QVERIFY(window.listen(QString::fromLatin1(kMainWindowClass)));
    QSignalSpy forward(&window, &CopyDataServer::comeForwardRequested);
    QCOMPARE(runSecondStart(), 0);
    QCOMPARE(forward.count(), 1);
}

void TestSingleInstance::secondStartEndsAlsoWithoutAWindow()
{
    {
        InstanceMarker marker;
        QVERIFY(!marker.CheckPreviousInstance(true));
        QCOMPARE(runSecondStart(), 0);
    }
    // Once the marker is given up, a start goes ahead.
    QCOMPARE(runSecondStart(), kNoOtherInstance);
}

void TestSingleInstance::crashedInstanceLeavesNothingInTheWay()
{
    QProcess first;
    first.start(self(), {QStringLiteral("--first-instance")});
    QVERIFY(first.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(first.canReadLine() || first.state() == QProcess::NotRunning, 10000);
    QCOMPARE(first.readLine().trimmed(), QByteArray("ready"));
    QCOMPARE(runSecondStart(), 0); // it runs and answers

    first.kill(); // no chance to remove its lock or its socket
    QVERIFY(finishes(first, "the killed first instance"));
    QVERIFY(QFile::exists(copyDataSocketPath(QString::fromLatin1(kMainWindowClass))));

    InstanceMarker marker;
    QVERIFY(!marker.CheckPreviousInstance(true));
    CopyDataServer window;
    QVERIFY2(window.listen(QString::fromLatin1(kMainWindowClass)),
             qPrintable(window.errorString()));
    QSignalSpy forward(&window, &CopyDataServer::comeForwardRequested);
    QCOMPARE(runSecondStart(), 0);
    QCOMPARE(forward.count(), 1);
}

void TestSingleInstance::theProgramItselfStartsOnce()
{
    const QString socket = copyDataSocketPath(QString::fromLatin1(kMainWindowClass));
    QProcess first;
    first.start(QStringLiteral(CLARIVEX_GUI_PATH), {});
    QVERIFY(first.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket) || first.state() == QProcess::NotRunning,
                             waitLimitMs());
    QCOMPARE(first.state(), QProcess::Running);

    QProcess second;
    second.start(QStringLiteral(CLARIVEX_GUI_PATH), {QStringLiteral("/NOSPLASH")});
    QVERIFY(finishes(second, "the second start of clarivex"));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);

    first.terminate();
    if (!first.waitForFinished(5000)) {
        first.kill();
        first.waitForFinished(5000);
    }
}

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--second-start") == 0) {
        QCoreApplication app(argc, argv);
        return secondStart();
    }
    if (argc > 1 && std::strcmp(argv[1], "--first-instance") == 0) {
        QCoreApplication app(argc, argv);
        return firstInstance(app);
    }
    clarivex::test::TestEnvironment testEnvironment;
    QCoreApplication app(argc, argv);
    TestSingleInstance tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_single_instance.moc"
