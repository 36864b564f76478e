// What every command of clarivex-cli shares: a folder that is missing or is
// a file ends the command with one line on stderr naming it; help and the
// version are there for every command.

#include "core/utilities/version_info.h"
#include "support/cli_runner.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

using namespace clarivex;
using namespace clarivex::test;

using Args = QList<QByteArray>;

class TestCliConventions : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void missingOrNotAFolder_data();
    void missingOrNotAFolder();
    void helpForEveryCommand_data();
    void helpForEveryCommand();
    void versionAndUnknownHelp();

private:
    std::unique_ptr<FinderTree> m_tree;
};

void TestCliConventions::initTestCase()
{
    m_tree = std::make_unique<FinderTree>();
    m_tree->file("a file.tmp", "x");
    m_tree->file("c/b.tmp", "y");
}

void TestCliConventions::missingOrNotAFolder_data()
{
    QTest::addColumn<Args>("args");
    QTest::addColumn<QByteArray>("path"); // relative to the tree; "MISSING" for none
    QTest::addColumn<QByteArray>("problem");
    const QByteArray missing = "MISSING";
    const QByteArray file = "a file.tmp";
    QTest::newRow("find, missing")
        << Args{"find", "PATH"} << missing << QByteArray("no such folder");
    QTest::newRow("find, a file") << Args{"find", "PATH"} << file << QByteArray("not a folder");
    QTest::newRow("find, below a file")
        << Args{"find", "--count", "PATH"} << QByteArray("a file.tmp/x")
        << QByteArray("no such folder");
    QTest::newRow("scan temp, missing drive")
        << Args{"scan", "temp", "--drive", "PATH"} << missing << QByteArray("no such folder");
    QTest::newRow("scan temp, a file as drive")
        << Args{"scan", "temp", "--json", "--drive", "PATH"} << file << QByteArray("not a folder");
    QTest::newRow("scan temp --clean, missing second drive")
        << Args{"scan", "temp", "--drive", "ROOT", "--drive", "PATH", "--clean"} << missing
        << QByteArray("no such folder");
    QTest::newRow("scan duplicates, missing drive")
        << Args{"scan", "duplicates", "--drive", "PATH"} << missing << QByteArray("no such folder");
    QTest::newRow("scan duplicates, a file as drive")
        << Args{"scan", "duplicates", "--drive", "PATH"} << file << QByteArray("not a folder");
}

void TestCliConventions::missingOrNotAFolder()
{
    QFETCH(Args, args);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, problem);
    const QByteArray full = path == "MISSING" ? m_tree->path("gone/away") : m_tree->path(path);
    for (QByteArray &arg : args) {
        if (arg == "PATH") arg = full;
        if (arg == "ROOT") arg = m_tree->path("c");
    }
    const CliResult result = runCli(args);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.out.isEmpty(), result.out.constData());
    QCOMPARE(result.err.count('\n'), 1);
    QVERIFY2(result.err.endsWith(": " + problem + ": " + full + '\n'), result.err.constData());
    QVERIFY(result.err.startsWith("clarivex-cli " + args[0]));
    // Nothing was cleaned on the way out.
    QVERIFY(QFile::exists(QFile::decodeName(m_tree->path("c/b.tmp"))));
}

void TestCliConventions::helpForEveryCommand_data()
{
    QTest::addColumn<QByteArray>("command");
    for (const char *command : {"find", "scan", "reg", "restore", "schedule"})
        QTest::newRow(command) << QByteArray(command);
}

void TestCliConventions::helpForEveryCommand()
{
    QFETCH(QByteArray, command);
    const CliResult help = runCli(Args{"help", command});
    QCOMPARE(help.exitCode, 0);
    QVERIFY2(help.out.startsWith("usage: clarivex-cli " + command + ' '), help.out.constData());
    QVERIFY(help.out.count('\n') > 2); // the usage line and an explanation
    QVERIFY(help.err.isEmpty());
    for (const QByteArray &flag : {QByteArray("-h"), QByteArray("--help")}) {
        const CliResult asked = runCli(Args{command, flag});
        QCOMPARE(asked.exitCode, 0);
        QCOMPARE(asked.out, help.out);
    }
    // After "--" it is an argument like any other.
    if (command == "find") QCOMPARE(runCli(Args{"find", "--", "--help"}).exitCode, 1);
}

void TestCliConventions::versionAndUnknownHelp()
{
    const CliResult version = runCli(Args{"--version"});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, "clarivex-cli " + programFileVersion().toUtf8() + '\n');
    for (const QByteArray &flag : {QByteArray("-h"), QByteArray("--help"), QByteArray("help")}) {
        const CliResult help = runCli(Args{flag});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains("clarivex-cli help COMMAND"));
        QVERIFY(help.out.contains("  clarivex-cli scan temp"));
    }
    const CliResult unknown = runCli(Args{"help", "nosuch"});
    QCOMPARE(unknown.exitCode, 2);
    QVERIFY(unknown.out.isEmpty());
    QVERIFY(unknown.err.startsWith("clarivex-cli: unknown command 'nosuch'\n"));
}

CLARIVEX_TEST_MAIN_CORE(TestCliConventions)
#include "tst_cli_conventions.moc"
