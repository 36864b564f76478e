// clarivex-cli history and undo after a clarivex-cli clean: every mode gives
// its files back byte for byte (a name that is not UTF-8 among them); a path
// taken since, a Trash emptied in between and a deletion for good are
// reported and make the exit status 1.

#include "../core/cleaning/cleaning_fixture.h"
#include "core/base/settings_types.h"
#include "core/shell/custom_registry.h"
#include "core/shell/registry_database.h"
#include "support/cli_runner.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <sys/stat.h>

using namespace clarivex;
using namespace clarivex::test;

namespace {

QByteArray contents(const QByteArray &path)
{
    return readBytes(path); // by its bytes: one name is not UTF-8
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

QString stateFolder()
{
    return qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/clarivex");
}

QByteArray trashFiles()
{
    return QFile::encodeName(
               QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) +
           "/Trash/files";
}

} // namespace

class TestHistoryCommand : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void undoInEachMode_data();
    void undoInEachMode();
    void takenPathIsNeverOverwritten_data();
    void takenPathIsNeverOverwritten();
    void emptiedTrashIsReportedGone();
    void damagedHistoryIsMovedAside();

private:
    void clean(int mode);
    QJsonObject onlyEntry();

    std::unique_ptr<FinderTree> m_tree;
    QByteArray m_backups;
    QList<QByteArray> m_names;
};

void TestHistoryCommand::init()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
    QDir(stateFolder()).removeRecursively();
    QDir(QFile::decodeName(trashFiles()) + QStringLiteral("/..")).removeRecursively();
    m_tree = std::make_unique<FinderTree>();
    m_names = {"c/a.tmp", "c/sub/b.bak", "c/caf\xe9.tmp"}; // the last is Latin-1, not UTF-8
    m_tree->file(m_names[0], "first file");
    m_tree->file(m_names[1], QByteArray(70000, 'x'));
    m_tree->file(m_names[2], "latin-1 name");
    m_tree->file("c/notes.txt", "keep");
    m_backups = m_tree->path("backups");
}

void TestHistoryCommand::clean(int mode)
{
    storeMode(mode, m_backups);
    const CliResult result =
        runCli(QList<QByteArray>{"scan", "temp", "--drive", m_tree->path("c"), "--clean"});
    QCOMPARE(result.exitCode, 0);
    for (const QByteArray &name : m_names)
        QVERIFY2(!exists(m_tree->path(name)), name.constData());
}

QJsonObject TestHistoryCommand::onlyEntry()
{
    const CliResult history = runCli(QList<QByteArray>{"history", "--json"});
    if (history.exitCode != 0) return {};
    const QList<QByteArray> lines = history.out.trimmed().split('\n');
    if (lines.size() != 1) return {};
    return QJsonDocument::fromJson(lines.first()).object();
}

void TestHistoryCommand::undoInEachMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("modeName");
    QTest::newRow("trash") << 0 << "trash";
    QTest::newRow("delete") << 1 << "delete";
    QTest::newRow("move") << 2 << "move";
    QTest::newRow("zip") << 3 << "zip";
}

void TestHistoryCommand::undoInEachMode()
{
    QFETCH(int, mode);
    QFETCH(QString, modeName);
    clean(mode);
    const QJsonObject entry = onlyEntry();
    QCOMPARE(entry.value("mode").toString(), modeName);
    QCOMPARE(entry.value("trigger").toString(), QStringLiteral("cli"));
    QCOMPARE(entry.value("files").toInt(), 3);
    QCOMPARE(entry.value("bytes").toInt(), 10 + 70000 + 12);
    QCOMPARE(entry.value("restorable").toInt(), mode == 1 ? 0 : 3);

    const CliResult dry = runCli(QList<QByteArray>{"undo", "--dry-run"});
    QCOMPARE(dry.exitCode, mode == 1 ? 1 : 0);
    QVERIFY(!exists(m_tree->path(m_names[0]))); // a dry run touches nothing

    const CliResult undo =
        runCli(QList<QByteArray>{"undo", QByteArray::number(entry.value("id").toInt())});
    QCOMPARE(undo.exitCode, mode == 1 ? 1 : 0);
    const QList<QByteArray> lines = undo.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    for (const QByteArray &name : m_names) {
        const QByteArray path = m_tree->path(name);
        if (mode == 1) {
            QVERIFY(lines.contains("deleted for good: " + path));
            continue;
        }
        QVERIFY2(lines.contains("restored: " + path), undo.out.constData());
        QCOMPARE(contents(path), name == m_names[1]   ? QByteArray(70000, 'x')
                                 : name == m_names[0] ? QByteArray("first file")
                                                      : QByteArray("latin-1 name"));
    }
    if (mode == 0) QVERIFY(QDir(QFile::decodeName(trashFiles()) + "/../info").isEmpty());
    if (mode == 2) QVERIFY(QDir(QFile::decodeName(m_backups)).isEmpty());
    // Undone files are not restorable again, and a second undo changes nothing.
    QCOMPARE(onlyEntry().value("restorable").toInt(), 0);
}

void TestHistoryCommand::takenPathIsNeverOverwritten_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("trash") << 0;
    QTest::newRow("move") << 2;
    QTest::newRow("zip") << 3;
}

void TestHistoryCommand::takenPathIsNeverOverwritten()
{
    QFETCH(int, mode);
    clean(mode);
    const QByteArray taken = m_tree->path(m_names[0]);
    m_tree->file(m_names[0], "a new file since");
    const CliResult undo = runCli(QList<QByteArray>{"undo"});
    QCOMPARE(undo.exitCode, 1);
    QCOMPARE(contents(taken), QByteArray("a new file since"));
    QVERIFY2(undo.out.contains("taken, kept at "), undo.out.constData());
    QVERIFY(undo.out.contains(": " + taken + '\n'));
    QCOMPARE(contents(m_tree->path(m_names[2])), QByteArray("latin-1 name"));
    // The cleaned copy is still restorable once the path is free again.
    QCOMPARE(onlyEntry().value("restorable").toInt(), 1);
    QVERIFY(QFile::remove(QFile::decodeName(taken)));
    QCOMPARE(runCli(QList<QByteArray>{"undo"}).exitCode, 0);
    QCOMPARE(contents(taken), QByteArray("first file"));
}

void TestHistoryCommand::emptiedTrashIsReportedGone()
{
    clean(0);
    const QString files = QFile::decodeName(trashFiles());
    QVERIFY(QFile::remove(files + QStringLiteral("/a.tmp")));
    QCOMPARE(onlyEntry().value("restorable").toInt(), 2);
    const CliResult undo = runCli(QList<QByteArray>{"undo"});
    QCOMPARE(undo.exitCode, 1);
    QVERIFY2(undo.out.contains("gone: " + m_tree->path(m_names[0])), undo.out.constData());
    QVERIFY(!exists(m_tree->path(m_names[0])));
    QCOMPARE(contents(m_tree->path(m_names[1])), QByteArray(70000, 'x'));
}

void TestHistoryCommand::damagedHistoryIsMovedAside()
{
    QDir().mkpath(stateFolder());
    const QString path = stateFolder() + QStringLiteral("/history.db");
    const QByteArray garbage = QByteArray("this is no database ").repeated(300);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(garbage);
    }
    const CliResult history = runCli(QList<QByteArray>{"history"});
    QCOMPARE(history.exitCode, 0);
    QVERIFY2(history.err.contains("was damaged"), history.err.constData());
    const QStringList aside =
        QDir(stateFolder()).entryList({QStringLiteral("history.db.damaged-*")}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    QFile kept(stateFolder() + '/' + aside.first());
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), garbage);
    // Named once: the new history is sound and says nothing.
    const CliResult again = runCli(QList<QByteArray>{"history"});
    QVERIFY(again.err.isEmpty());
    clean(0);
    QCOMPARE(onlyEntry().value("files").toInt(), 3);
}

CLARIVEX_TEST_MAIN_CORE(TestHistoryCommand)
#include "tst_history_command.moc"
