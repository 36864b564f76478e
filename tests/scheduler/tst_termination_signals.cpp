// Both real programs ended by SIGTERM, SIGINT or SIGHUP (a log-out, Ctrl+C, a
// closed terminal) close as their own "Close" does: the main program saves
// its settings, and neither leaves its socket or lock file behind.

#include "core/base/settings_types.h"
#include "core/platform/copy_data.h"
#include "core/platform/runtime_folder.h"
#include "core/shell/custom_registry.h"
#include "core/shell/registry_database.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <csignal>

using namespace clarivex;
using namespace clarivex::test;

namespace {

QStringList runtimeEntries()
{
    const std::optional<QString> folder = platform::runtimeFolder();
    return folder ? QDir(*folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                            QDir::NoDotAndDotDot)
                  : QStringList();
}

} // namespace

class TestTerminationSignals : public QObject
{
    Q_OBJECT
private slots:
    void endsAsItsCloseDoes_data();
    void endsAsItsCloseDoes();
};

void TestTerminationSignals::endsAsItsCloseDoes_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("windowClass");
    QTest::addColumn<int>("signalNumber");
    const QString main = QStringLiteral(CLARIVEX_GUI_PATH);
    const QString scheduler = QStringLiteral(CLARIVEX_SCHEDULER_PATH);
    const QString mainClass = QString::fromLatin1(platform::kMainWindowClass);
    const QString schedulerClass = QString::fromLatin1(platform::kSchedulerWindowClass);
    QTest::newRow("clarivex, SIGTERM") << main << mainClass << SIGTERM;
    QTest::newRow("clarivex, SIGINT") << main << mainClass << SIGINT;
    QTest::newRow("clarivex, SIGHUP") << main << mainClass << SIGHUP;
    QTest::newRow("scheduler, SIGTERM") << scheduler << schedulerClass << SIGTERM;
    QTest::newRow("scheduler, SIGHUP") << scheduler << schedulerClass << SIGHUP;
}

void TestTerminationSignals::endsAsItsCloseDoes()
{
    QFETCH(QString, program);
    QFETCH(QString, windowClass);
    QFETCH(int, signalNumber);
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
    const bool isMain = windowClass == QLatin1String(platform::kMainWindowClass);

    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, isMain ? QStringList{QStringLiteral("/NOSPLASH")} : QStringList());
    QVERIFY(process.waitForStarted(waitLimitMs()));
    QTRY_VERIFY_WITH_TIMEOUT(platform::windowExists(windowClass), waitLimitMs());
    const QStringList whileRunning = runtimeEntries();
    QVERIFY2(!whileRunning.isEmpty(), "no socket to watch");

    QCOMPARE(::kill(pid_t(process.processId()), signalNumber), 0);
    QVERIFY(finishes(process, QStringLiteral("the program sent a signal")));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    for (const QString &entry : runtimeEntries())
        QVERIFY2(!whileRunning.contains(entry), qPrintable(entry + " left behind"));
    if (!isMain) return;
    // Saved at closing: the window's size is in the store.
    TRegIniFile ini(QString::fromLatin1(kSettingsRoot));
    QVERIFY(ini.ReadNumber(QString(), QStringLiteral("Width"), -1) > 0);
    RegistryDatabase::closeInstance();
}

CLARIVEX_TEST_MAIN_CORE(TestTerminationSignals)
#include "tst_termination_signals.moc"
