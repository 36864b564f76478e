// No walk enters what the program or the desktop put away: the home Trash,
// a volume's own trash at its top, the move folder and the archive folder,
// however the walk reaches them; the command line keeps away from the same.

#include "core/cleaning/cleaning_fixture.h"
#include "core/search/kept_away_folders.h"
#include "core/search/kv_find_file.h"
#include "core/shell/custom_registry.h"
#include "core/shell/registry_database.h"
#include "core/shell/settings_catalogue.h"
#include "support/cli_runner.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>

using namespace clarivex;
using namespace clarivex::test;

class TestKeptAwayFolders : public QObject
{
    Q_OBJECT
private slots:
    void walkKeepsAway_data();
    void walkKeepsAway();
    void volumeTrashOnlyAtTheTop();
    void commandLineKeepsAway();
};

void TestKeptAwayFolders::walkKeepsAway_data()
{
    QTest::addColumn<QByteArray>("start");      // below the tree
    QTest::addColumn<QByteArray>("moveFolder"); // options, below the tree ("" = default)
    QTest::addColumn<QByteArray>("zipFolder");
    QTest::addColumn<QList<QByteArray>>("found");

    const QList<QByteArray> own{"home/a.tmp", "home/docs/b.tmp"};
    QTest::newRow("home Trash, backups by default")
        << QByteArray("home") << QByteArray() << QByteArray() << own;
    QTest::newRow("move and zip folders of the options")
        << QByteArray("home") << QByteArray("home/moved/") << QByteArray("home/zips") << own;
    QTest::newRow("a folder named by a link")
        << QByteArray("home") << QByteArray("home/docs/to-moved") << QByteArray("home/zips") << own;
    QTest::newRow("started in the Trash") << QByteArray("home/.local/share/Trash") << QByteArray()
                                          << QByteArray() << QList<QByteArray>{};
    QTest::newRow("started below the Trash's parent")
        << QByteArray("home/.local") << QByteArray() << QByteArray() << QList<QByteArray>{};
}

void TestKeptAwayFolders::walkKeepsAway()
{
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, moveFolder);
    QFETCH(QByteArray, zipFolder);
    QFETCH(QList<QByteArray>, found);
    FinderTree tree;
    tree.file("home/a.tmp");
    tree.file("home/docs/b.tmp");
    tree.file("home/.local/share/Trash/files/trashed.tmp");
    tree.file("home/.local/share/Trash/info/trashed.tmp.trashinfo");
    tree.file("home/Clarivex 2000 Backups/moved.tmp");
    tree.file("home/moved/m.tmp");
    tree.file("home/zips/01-01-2026.zip");
    tree.link("home/docs/to-moved", tree.path("home/moved"));
    const QByteArray home = qgetenv("HOME");
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", tree.path("home"));
    qputenv("XDG_DATA_HOME", tree.path("home/.local/share"));
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", home);
        qputenv("XDG_DATA_HOME", data);
    });
    const auto option = [&](const QByteArray &folder) {
        return folder.isEmpty() ? QString() : QFile::decodeName(tree.path(folder));
    };
    TKvFindFile finder;
    finder.KeptAway = KeptAwayFolders::fromFolders(option(moveFolder), option(zipFolder));
    if (moveFolder.isEmpty()) tree.file("home/moved/m2.tmp"); // no backup folder: found
    const FinderRun run = runFinder(finder, tree, tree.path(start));
    QVERIFY(run.result);
    QList<QByteArray> expected = found;
    // Only the folders the options name are backup folders: the default one
    // is kept away when they name none.
    if (moveFolder.isEmpty() && start == "home")
        expected << "home/moved/m.tmp"
                 << "home/moved/m2.tmp"
                 << "home/zips/01-01-2026.zip";
    else if (start == "home")
        expected << "home/Clarivex 2000 Backups/moved.tmp";
    QList<QByteArray> files = run.files;
    std::sort(files.begin(), files.end());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(files, expected);
}

// ".Trash" and ".Trash-<uid>" are a volume's trash at its top only; below
// it they are folders like any other.
void TestKeptAwayFolders::volumeTrashOnlyAtTheTop()
{
    FinderTree tree;
    if (!mountSmallVolume(tree.path("vol"), 1024)) QSKIP("no volume of its own here (needs root)");
    const auto unmount = qScopeGuard([&] { unmountVolume(tree.path("vol")); });
    tree.file("vol/kept.tmp");
    tree.file("vol/.Trash-1000/files/a.tmp");
    tree.file("vol/.Trash/0/files/b.tmp");
    tree.file("vol/.Trash-x/c.tmp");
    tree.file("vol/sub/.Trash-1000/d.tmp");
    TKvFindFile finder;
    FinderRun run = runFinder(finder, tree, tree.root());
    std::sort(run.files.begin(), run.files.end());
    QCOMPARE(run.files, (QList<QByteArray>{"vol/.Trash-x/c.tmp", "vol/kept.tmp",
                                           "vol/sub/.Trash-1000/d.tmp"}));
    run = runFinder(finder, tree, tree.path("vol/.Trash-1000"));
    QCOMPARE(run.files, QList<QByteArray>{});
}

// The command line's finder and scans read the folders from the stored options.
void TestKeptAwayFolders::commandLineKeepsAway()
{
    FinderTree tree;
    tree.file("c/a.tmp");
    tree.file("c/backups/old.tmp");
    const QByteArray trash =
        QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) +
        "/Trash/files/t.tmp";
    QDir().mkpath(QFile::decodeName(trash).section('/', 0, -2));
    QFile file(QFile::decodeName(trash));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    {
        TRegIniFile ini{QString::fromLatin1(kSettingsRoot)};
        ini.WriteText("Settings\\Options", "MoveFolderPath",
                      QFile::decodeName(tree.path("c/backups")));
    }
    RegistryDatabase::closeInstance();

    CliResult result = runCli(QList<QByteArray>{"find", tree.path("c")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, tree.path("c/a.tmp") + '\n');
    result = runCli(QList<QByteArray>{"find", qgetenv("XDG_DATA_HOME")});
    QCOMPARE(result.out, QByteArray());
    result = runCli(QList<QByteArray>{"scan", "temp", "--null", "--drive", tree.path("c")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(!result.out.contains("old.tmp"), result.out.constData());
    QVERIFY2(result.out.contains("a.tmp"), result.out.constData());
}

CLARIVEX_TEST_MAIN_CORE(TestKeptAwayFolders)
#include "tst_kept_away_folders.moc"
