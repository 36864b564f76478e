// "--version" of the programs with windows, run as real processes without a
// display: the answer comes before anything that needs one.

#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

using namespace clarivex::test;

class TestVersionOption : public QObject
{
    Q_OBJECT
private slots:
    void printsTheVersion_data();
    void printsTheVersion();
    void aFullOutputFails_data() { printsTheVersion_data(); }
    void aFullOutputFails();
};

namespace {

// No display at all, and a home of its own that must stay empty.
QProcessEnvironment bareEnvironment(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    env.insert("HOME", home);
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME",
                             "XDG_RUNTIME_DIR"})
        env.insert(QString::fromLatin1(name), home + '/' + name);
    return env;
}

} // namespace

void TestVersionOption::printsTheVersion_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("line");
    const QString gui = QStringLiteral(CLARIVEX_GUI_PATH);
    const QString scheduler = QStringLiteral(CLARIVEX_SCHEDULER_PATH);
    QTest::newRow("clarivex") << gui << QStringList{"--version"}
                              << QByteArray("clarivex 3.5.0.10\n");
    QTest::newRow("clarivex, after a switch")
        << gui << QStringList{"/NOSPLASH", "--version"} << QByteArray("clarivex 3.5.0.10\n");
    QTest::newRow("clarivex-scheduler")
        << scheduler << QStringList{"--version"} << QByteArray("clarivex-scheduler 1.0.0.14\n");
}

void TestVersionOption::printsTheVersion()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcess process;
    process.setProcessEnvironment(bareEnvironment(home.path()));
    process.start(program, args);
    QVERIFY(finishes(process, QStringLiteral("%1 --version").arg(program)));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QTEST(process.readAllStandardOutput(), "line");
    QCOMPARE(process.readAllStandardError(), QByteArray());
    // No settings, no lock, no socket: nothing was created under the home.
    QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());

    // Without the option the same program needs the display it does not have.
    QProcess plain;
    plain.setProcessEnvironment(bareEnvironment(home.path()));
    plain.start(program, {});
    QVERIFY(finishes(plain, QStringLiteral("%1 without a display").arg(program)));
    QCOMPARE(plain.exitCode(), 1);
}

void TestVersionOption::aFullOutputFails()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    if (!QFile::exists("/dev/full")) QSKIP("no /dev/full here");
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcess process;
    process.setProcessEnvironment(bareEnvironment(home.path()));
    process.setStandardOutputFile("/dev/full");
    process.start(program, args);
    QVERIFY(finishes(process, QStringLiteral("%1 --version").arg(program)));
    QCOMPARE(process.exitCode(), 1);
}

CLARIVEX_TEST_MAIN_CORE(TestVersionOption)
#include "tst_version_option.moc"
