#include "core/shell/custom_registry.h"
#include "core/shell/registry_database.h"
#include "support/cli_runner.h"
#include "support/finder_fixture.h"
#include "support/shell_link_builder.h"
#include "support/test_main.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

using namespace clarivex;
using namespace clarivex::test;

namespace {

QList<QJsonObject> jsonLines(const QByteArray &out)
{
    QList<QJsonObject> objects;
    for (const QByteArray &line : out.split('\n')) {
        if (!line.isEmpty()) objects << QJsonDocument::fromJson(line).object();
    }
    return objects;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestScanFoldersCommand : public QObject
{
    Q_OBJECT
private slots:
    void dirsWithTheStoredFolders();
    void shortcutsNameTheUnreadableOnStderr();
    void dirsCleanDryRunThenForReal();
    void usageErrors();
};

void TestScanFoldersCommand::dirsWithTheStoredFolders()
{
    FinderTree tree;
    tree.file("tmp/a.tmp", "123");
    tree.file("tmp/deep/b", "4");
    tree.file("extra/c.log", "56");
    tree.file("unchecked/d");
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", tree.path("tmp"));
    {
        TRegIniFile ini(QStringLiteral("\\Software\\Marlowtek\\Clarivex 2000\\"));
        ini.WriteFlag("Settings\\Clean Directories", "TemporaryDir", true);
        ini.WriteText("Settings\\Clean DirectoriesDirectories",
                      QFile::decodeName(tree.path("unchecked")), "0");
        ini.WriteText("Settings\\Clean DirectoriesDirectories",
                      QFile::decodeName(tree.path("extra")), "1");
    }
    const CliResult result = runCli(QList<QByteArray>{"scan", "dirs", "--json"});
    qputenv("TMPDIR", savedTmp);
    QCOMPARE(result.exitCode, 0);
    const QList<QJsonObject> lines = jsonLines(result.out);
    QCOMPARE(lines.size(), 3); // rows only: no totals in JSON
    QStringList names;
    for (int i = 0; i < 3; ++i)
        names << lines[i]["name"].toString();
    QCOMPARE(names.mid(2), QStringList{"c.log"}); // the temporary folder comes first
    names.sort();
    QCOMPARE(names, (QStringList{"a.tmp", "b", "c.log"}));
}

void TestScanFoldersCommand::shortcutsNameTheUnreadableOnStderr()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    ShellLinkSpec spec;
    spec.localBasePath = QStringLiteral("/media/clarivex-unplugged/film.mkv");
    writeFile(desktop + "/film.lnk", buildShellLink(spec));
    writeFile(desktop + "/broken.desktop", "[Desktop Entry]\nType Application\n");
    writeFile(desktop + "/tool.desktop",
              "[Desktop Entry]\nType=Application\nExec=clarivex-no-such-tool %f\n");

    CliResult result = runCli(QList<QByteArray>{"scan", "shortcuts"});
    QCOMPARE(result.exitCode, 0);
    QList<QByteArray> lines = result.out.split('\n');
    QCOMPARE(lines.size(), 3); // one row, the totals, the empty rest
    QVERIFY(lines[0].startsWith("tool.desktop\t"));
    QVERIFY(lines[0].endsWith("\tclarivex-no-such-tool"));
    QCOMPARE(result.err.count("broken.desktop"), 1);
    QVERIFY(result.err.startsWith("clarivex-cli: Skipped unreadable shortcut: "));

    result = runCli(QList<QByteArray>{"scan", "shortcuts", "--removable", "--json"});
    QCOMPARE(result.exitCode, 0);
    const QList<QJsonObject> objects = jsonLines(result.out);
    QCOMPARE(objects.size(), 2); // the two dead shortcuts; no totals in JSON
    QStringList targets{objects[0]["target"].toString(), objects[1]["target"].toString()};
    targets.sort();
    QCOMPARE(targets, (QStringList{"/media/clarivex-unplugged/film.mkv", "clarivex-no-such-tool"}));
    QDir(desktop).removeRecursively();
}

void TestScanFoldersCommand::dirsCleanDryRunThenForReal()
{
    FinderTree tree;
    tree.file("tmp/a.tmp", "123");
    tree.file("tmp/deep/b", "4");
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", tree.path("tmp"));
    TRegIniFile(QStringLiteral("\\Software\\Marlowtek\\Clarivex 2000\\"))
        .WriteFlag("Settings\\Clean Directories", "TemporaryDir", true);
    const CliResult dry = runCli(QList<QByteArray>{"scan", "dirs", "--clean", "--dry-run"});
    QVERIFY(QFile::exists(QFile::decodeName(tree.path("tmp/a.tmp"))));
    QVERIFY(QFile::exists(QFile::decodeName(tree.path("tmp/deep/b"))));
    const CliResult clean = runCli(QList<QByteArray>{"scan", "dirs", "--clean"});
    qputenv("TMPDIR", savedTmp);
    QCOMPARE(dry.exitCode, 0);
    QVERIFY2(dry.out.contains("a.tmp") && dry.out.contains("deep/b"), dry.out.constData());
    QCOMPARE(clean.exitCode, 0);
    QVERIFY(!QFile::exists(QFile::decodeName(tree.path("tmp/a.tmp"))));
    QVERIFY(!QFile::exists(QFile::decodeName(tree.path("tmp/deep/b"))));
    // The stored mode is the Trash: both can be put back.
    const QString trash =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash/files/";
    QVERIFY(QFile::exists(trash + "a.tmp"));
    QVERIFY(QFile::exists(trash + "b"));
}

void TestScanFoldersCommand::usageErrors()
{
    for (const QList<QByteArray> &args :
         {QList<QByteArray>{"scan", "dirs", "--removable"},
          QList<QByteArray>{"scan", "shortcuts", "--drive"},
          QList<QByteArray>{"scan", "dirs", "--dry-run"}, QList<QByteArray>{"scan", "all"}}) {
        const CliResult result = runCli(args);
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.err.contains("usage: clarivex-cli scan temp"));
        QVERIFY(result.out.isEmpty());
    }
}

CLARIVEX_TEST_MAIN_CORE(TestScanFoldersCommand)
#include "tst_scan_folders_command.moc"
