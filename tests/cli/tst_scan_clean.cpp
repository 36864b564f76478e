// clarivex-cli scan temp --clean [--dry-run]: what it prints for each file,
// what it touches, and its exit code.

#include "core/base/settings_types.h"
#include "core/shell/custom_registry.h"
#include "core/shell/registry_database.h"
#include "support/cli_runner.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QDate>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <sys/stat.h>

using namespace clarivex;
using namespace clarivex::test;

namespace {

bool exists(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

void storeMode(int mode, const QByteArray &folder)
{
    {
        TRegIniFile ini{QString::fromLatin1(kSettingsRoot)};
        ini.WriteNumber("Settings\\Options", "DeleteType", mode);
        ini.WriteText("Settings\\Options", "MoveFolderPath", QFile::decodeName(folder));
        ini.WriteText("Settings\\Options", "ZipFileName", QFile::decodeName(folder));
    }
    RegistryDatabase::closeInstance();
}

QList<QByteArray> sortedLines(const QByteArray &out)
{
    QList<QByteArray> lines = out.trimmed().split('\n');
    std::sort(lines.begin(), lines.end() - 1); // the summary stays last
    return lines;
}

} // namespace

class TestScanClean : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanInEachMode_data();
    void cleanInEachMode();
    void inUseFilesAreListedAndKept_data();
    void inUseFilesAreListedAndKept();
    void dryRunWithoutClean();
    void jsonDestinationKeepsItsBytes();

private:
    std::unique_ptr<FinderTree> m_tree;
};

void TestScanClean::init()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
    m_tree = std::make_unique<FinderTree>();
    m_tree->file("c/a.tmp", "a");
    m_tree->file("c/sub/b.bak", "bb");
    m_tree->file("c/notes.txt", "keep");
}

void TestScanClean::cleanInEachMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("dryRun");
    QTest::addColumn<QByteArray>("word");
    const char *const done[] = {"trashed", "deleted", "moved", "zipped"};
    const char *const would[] = {"would trash", "would delete", "would move", "would zip"};
    for (int mode = 0; mode < 4; ++mode) {
        QTest::newRow(done[mode]) << mode << false << QByteArray(done[mode]);
        QTest::newRow(would[mode]) << mode << true << QByteArray(would[mode]);
    }
}

void TestScanClean::cleanInEachMode()
{
    QFETCH(int, mode);
    QFETCH(bool, dryRun);
    QFETCH(QByteArray, word);
    const QByteArray backups = m_tree->path("backups");
    storeMode(mode, backups);
    QList<QByteArray> args{"scan", "temp", "--drive", m_tree->path("c"), "--clean"};
    if (dryRun) args << "--dry-run";
    const CliResult result = runCli(args);
    QCOMPARE(result.exitCode, 0);
    const QList<QByteArray> lines = sortedLines(result.out);
    QCOMPARE(lines.size(), 3);
    const QByteArray archive =
        backups + '/' + QDate::currentDate().toString("dd-MM-yyyy").toLatin1() + ".zip";
    const QByteArray a = m_tree->path("c/a.tmp");
    QByteArray to = mode == 2   ? " -> " + backups + (dryRun ? "" : "/a.tmp")
                    : mode == 3 ? " -> " + archive
                                : QByteArray();
    if (mode == 0 && !dryRun)
        to = " -> " +
             QFile::encodeName(
                 QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) +
             "/Trash/files/a.tmp";
    QCOMPARE(lines[0], word + ": " + a + to);
    QCOMPARE(lines.last(),
             QByteArray(dryRun ? "Would clean: 2 of 2 files" : "Cleaned: 2 of 2 files"));
    QCOMPARE(exists(a), dryRun);
    QCOMPARE(exists(m_tree->path("c/sub/b.bak")), dryRun);
    QVERIFY(exists(m_tree->path("c/notes.txt")));
    if (dryRun) QVERIFY(!exists(backups));
}

void TestScanClean::inUseFilesAreListedAndKept_data()
{
    QTest::addColumn<bool>("dryRun");
    QTest::addColumn<bool>("json");
    QTest::newRow("clean") << false << false;
    QTest::newRow("dry run") << true << false;
    QTest::newRow("clean, json") << false << true;
}

void TestScanClean::inUseFilesAreListedAndKept()
{
    QFETCH(bool, dryRun);
    QFETCH(bool, json);
    storeMode(1, {});
    const QByteArray held = m_tree->path("c/sub/b.bak");
    QProcess holder;
    holder.start("sh", {"-c", "exec 3<\"$0\"; echo ready; exec sleep 30", QFile::decodeName(held)});
    QVERIFY(holder.waitForReadyRead(waitLimitMs()));

    QList<QByteArray> args{"scan", "temp", "--drive", m_tree->path("c"), "--clean"};
    if (dryRun) args << "--dry-run";
    if (json) args << "--json";
    const CliResult result = runCli(args);
    holder.kill();
    QVERIFY(finishes(holder, "the process holding a file open"));

    QCOMPARE(result.exitCode, 1);
    QVERIFY(exists(held));
    QCOMPARE(exists(m_tree->path("c/a.tmp")), dryRun);
    const QList<QByteArray> lines = sortedLines(result.out);
    QCOMPARE(lines.size(), 3);
    const QByteArray heldLine = lines[0].contains("b.bak") ? lines[0] : lines[1];
    if (json) {
        const QJsonObject kept = QJsonDocument::fromJson(heldLine).object();
        QCOMPARE(kept["outcome"].toString(), QStringLiteral("in use, kept"));
        QCOMPARE(kept["path"].toString(), QFile::decodeName(held));
        QVERIFY(!kept["reason"].toString().isEmpty());
        const QJsonObject summary = QJsonDocument::fromJson(lines.last()).object();
        QCOMPARE(summary["cleaned"].toInt(), 1);
        QCOMPARE(summary["files"].toInt(), 2);
        return;
    }
    QVERIFY2(heldLine.startsWith("in use, kept: " + held + " ("), heldLine.constData());
    QCOMPARE(lines.last(),
             QByteArray(dryRun ? "Would clean: 1 of 2 files" : "Cleaned: 1 of 2 files"));
}

void TestScanClean::dryRunWithoutClean()
{
    const CliResult result =
        runCli(QList<QByteArray>{"scan", "temp", "--drive", m_tree->path("c"), "--dry-run"});
    QCOMPARE(result.exitCode, 2);
    QVERIFY(exists(m_tree->path("c/a.tmp")));
}

void TestScanClean::jsonDestinationKeepsItsBytes()
{
    // A name that is not UTF-8 goes to the Trash under that name.
    m_tree->file("c/caf\xe9.tmp", "latin-1");
    storeMode(0, {});
    const CliResult result = runCli(
        QList<QByteArray>{"scan", "temp", "--drive", m_tree->path("c"), "--clean", "--json"});
    QCOMPARE(result.exitCode, 0);
    const QByteArray path = m_tree->path("c/caf\xe9.tmp");
    const QByteArray trashed =
        QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) +
        "/Trash/files/caf\xe9.tmp";
    bool seen = false;
    for (const QByteArray &line : result.out.trimmed().split('\n')) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        if (QByteArray::fromBase64(object["path_base64"].toString().toLatin1()) != path) continue;
        seen = true;
        QCOMPARE(QByteArray::fromBase64(object["destination_base64"].toString().toLatin1()),
                 trashed);
    }
    QVERIFY2(seen, result.out.constData());
    QVERIFY(exists(trashed));
}

CLARIVEX_TEST_MAIN_CORE(TestScanClean)
#include "tst_scan_clean.moc"
