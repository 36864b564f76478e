#include "support/cli_runner.h"
#include "support/test_main.h"

#include "core/shell/registry_database.h"

#include <QProcess>

using namespace clarivex::test;

namespace {
const QString kKey = QStringLiteral("HKCU\\Software\\Marlowtek\\Clarivex 2000\\Settings\\Options");

CliResult reg(const QStringList &args)
{
    return runCli(QStringList{"reg"} + args);
}
} // namespace

class TestRegCommand : public QObject
{
    Q_OBJECT
private slots:
    void setThenGetEveryKind();
    void listShowsSubkeysThenValues();
    void getWithoutAsShowsTheStoredForm();
    void readsNeverCreateKeys();
    void deleteAndExport();
    void exitCodes_data();
    void exitCodes();
    void damagedStoreIsReported();
    void fileSizeLimitFailsTheWriteOnly();
};

void TestRegCommand::setThenGetEveryKind()
{
    QCOMPARE(reg({"set", kKey, "Tray", "--flag", "true"}).exitCode, 0);
    QCOMPARE(reg({"set", kKey, "Count", "--number", "-42"}).exitCode, 0);
    QCOMPARE(reg({"set", kKey, "Folder", "--text", "/mnt/backup dir"}).exitCode, 0);
    QCOMPARE(reg({"set", kKey, "When", "--date", "07-12-2026 18:30:05"}).exitCode, 0);
    QCOMPARE(reg({"get", kKey, "Tray", "--as", "flag"}).out, QByteArray("true\n"));
    QCOMPARE(reg({"get", kKey, "Tray", "--as", "number"}).out, QByteArray("-1\n"));
    QCOMPARE(reg({"get", kKey, "Count", "--as", "number"}).out, QByteArray("-42\n"));
    QCOMPARE(reg({"get", kKey, "Folder", "--as", "text"}).out, QByteArray("/mnt/backup dir\n"));
    QCOMPARE(reg({"get", kKey, "When", "--as", "date"}).out, QByteArray("07-12-2026 18:30:05\n"));
    // Defaults apply to missing values only.
    QCOMPARE(reg({"get", kKey, "Nope", "--as", "number", "--default", "7"}).out, QByteArray("7\n"));
    QCOMPARE(reg({"get", kKey, "Nope", "--as", "flag", "--default", "true"}).out,
             QByteArray("true\n"));
    QCOMPARE(reg({"get", kKey, "Count", "--as", "number", "--default", "7"}).out,
             QByteArray("-42\n"));
}

void TestRegCommand::listShowsSubkeysThenValues()
{
    const QString key = "HKEY_CURRENT_USER\\Software\\ListMe";
    reg({"set", key + "\\zeta", "v", "--text", "x"});
    reg({"set", key + "\\Alpha", "v", "--text", "x"});
    reg({"set", key, "B", "--text", "two words"});
    reg({"set", key, "A", "--number", "3"});
    reg({"set", key, "D", "--date", "30-12-1899 12:00:00"});
    const CliResult result = reg({"list", "hkcu\\Software\\listme"});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("Alpha\nzeta\n"
                                    "B\tREG_SZ\ttwo words\n"
                                    "A\tREG_DWORD\t3\n"
                                    "D\tREG_BINARY\t00 00 00 00 00 00 e0 3f\n"));
}

void TestRegCommand::getWithoutAsShowsTheStoredForm()
{
    reg({"set", kKey, "Count", "--number", "-42"});
    QCOMPARE(reg({"get", kKey, "count"}).out, QByteArray("-42\n"));
    const CliResult missing = reg({"get", kKey, "Missing"});
    QCOMPARE(missing.exitCode, 1);
    QCOMPARE(missing.err, QByteArray("clarivex-cli: no such value\n"));
}

void TestRegCommand::readsNeverCreateKeys()
{
    const QString key = "HKCU\\Software\\NeverMade";
    QCOMPARE(reg({"get", key, "X", "--as", "text", "--default", "d"}).out, QByteArray("d\n"));
    const CliResult list = reg({"list", key});
    QCOMPARE(list.exitCode, 1);
    QCOMPARE(list.err, QByteArray("clarivex-cli: no such key\n"));
}

void TestRegCommand::deleteAndExport()
{
    const QString key = "HKLM\\Software\\Tree";
    reg({"set", key + "\\Sub\\Deeper", "Name", "--text", "say \"hi\"\\now"});
    reg({"set", key, "Flag", "--flag", "false"});
    const CliResult exported = reg({"export", key});
    QCOMPARE(exported.exitCode, 0);
    QCOMPARE(exported.out, QByteArray("[HKEY_LOCAL_MACHINE\\Software\\Tree]\n"
                                      "\"Flag\"=dword:00000000\n\n"
                                      "[HKEY_LOCAL_MACHINE\\Software\\Tree\\Sub]\n\n"
                                      "[HKEY_LOCAL_MACHINE\\Software\\Tree\\Sub\\Deeper]\n"
                                      "\"Name\"=\"say \\\"hi\\\"\\\\now\"\n\n"));
    QCOMPARE(reg({"delete", key, "Flag"}).exitCode, 0);
    QCOMPARE(reg({"delete", key, "Flag"}).exitCode, 1);
    QCOMPARE(reg({"delete", key}).exitCode, 0);
    QCOMPARE(reg({"list", key + "\\Sub\\Deeper"}).exitCode, 1);
    QCOMPARE(reg({"delete", key}).exitCode, 1);
    // The other hive was not touched.
    QCOMPARE(reg({"list", "HKCU\\Software\\Tree"}).exitCode, 1);
}

void TestRegCommand::exitCodes_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("firstErrorLine");
    const QString k = kKey;
    QTest::newRow("no action") << QStringList{} << 2
                               << QByteArray("clarivex-cli reg: missing action");
    QTest::newRow("bad hive") << QStringList{"list", "HKXX\\Software"} << 2 << QByteArray();
    QTest::newRow("unknown option")
        << QStringList{"get", k, "V", "--bogus", "1"} << 2 << QByteArray();
    QTest::newRow("--as without kind") << QStringList{"get", k, "V", "--as"} << 2 << QByteArray();
    QTest::newRow("unknown kind") << QStringList{"get", k, "V", "--as", "blob"} << 2
                                  << QByteArray();
    QTest::newRow("bad flag") << QStringList{"set", k, "V", "--flag", "yes"} << 2 << QByteArray();
    QTest::newRow("set without value") << QStringList{"set", k, "V"} << 2 << QByteArray();
    QTest::newRow("not a number") << QStringList{"set", k, "V", "--number", "12abc"} << 1
                                  << QByteArray("clarivex-cli: not a number");
    QTest::newRow("number too large") << QStringList{"set", k, "V", "--number", "4294967296"} << 1
                                      << QByteArray("clarivex-cli: not a number");
    QTest::newRow("wrong type") << QStringList{"get", k, "Text", "--as", "number"} << 1
                                << QByteArray("clarivex-cli: Invalid data type for 'Text'");
    QTest::newRow("date from text") << QStringList{"get", k, "Text", "--as", "date"} << 1
                                    << QByteArray("clarivex-cli: Invalid data type for 'Text'");
    QTest::newRow("no such key") << QStringList{"list", k + "\\Missing"} << 1
                                 << QByteArray("clarivex-cli: no such key");
}

void TestRegCommand::exitCodes()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QByteArray, firstErrorLine);
    reg({"set", kKey, "Text", "--text", "5"});
    const CliResult result = reg(args);
    QCOMPARE(result.exitCode, code);
    QCOMPARE(result.out, QByteArray());
    const QList<QByteArray> lines = result.err.split('\n');
    if (!firstErrorLine.isEmpty()) QCOMPARE(lines.first(), firstErrorLine);
    if (code == 2)
        QVERIFY(result.err.contains("usage: clarivex-cli reg"));
    else
        QCOMPARE(lines.size(), 2); // one line, then the final newline
}

void TestRegCommand::damagedStoreIsReported()
{
    const QString path = clarivex::RegistryDatabase::defaultPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(path + suffix);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(8192, 'z'));
    file.close();
    const CliResult result = reg({"get", kKey, "Text", "--as", "text", "--default", "fresh"});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("fresh\n"));
    QVERIFY2(result.err.contains("was damaged"), result.err.constData());
    QCOMPARE(reg({"list", "HKCU"}).err, QByteArray()); // said once
}

void TestRegCommand::fileSizeLimitFailsTheWriteOnly()
{
    // Under a file-size limit a write that would pass it must fail as an
    // error, not kill the program halfway with SIGXFSZ.
    QCOMPARE(reg({"set", kKey, "Kept", "--text", "before"}).exitCode, 0);
    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments({QStringLiteral("-c"), QStringLiteral("ulimit -f 64; exec \"$0\" \"$@\""),
                          QStringLiteral(CLARIVEX_CLI_PATH), QStringLiteral("reg"),
                          QStringLiteral("set"), kKey, QStringLiteral("Big"),
                          QStringLiteral("--text"), QString(120000, QLatin1Char('b'))});
    process.start();
    QVERIFY(finishes(process, "clarivex-cli reg set under a file-size limit"));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(!process.readAllStandardError().isEmpty());
    QCOMPARE(reg({"get", kKey, "Kept", "--as", "text"}).out, QByteArray("before\n"));
    QCOMPARE(reg({"get", kKey, "Big", "--as", "text", "--default", "none"}).out,
             QByteArray("none\n"));
}

CLARIVEX_TEST_MAIN_CORE(TestRegCommand)
#include "tst_reg_command.moc"
