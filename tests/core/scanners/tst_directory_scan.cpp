#include "core/cleaning/clean_operation.h"
#include "core/scanners/directory_scan.h"
#include "core/search/kv_find_file.h"
#include "core/shell/custom_registry.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QLocalServer>
#include <QProcess>

#include <sys/stat.h>
#include <unistd.h>

using namespace clarivex;
using namespace clarivex::test;

namespace {

struct ScanResult
{
    QList<QByteArray> listed; // full paths, in order
    qint64 files = 0;
    qint64 bytes = 0;
};

ScanResult scanFolders(const QList<QByteArray> &folders)
{
    ScanResult result;
    TKvFindFile finder;
    DirectoryScan scan;
    scan.addFile = [&](const QByteArray &folder, const TFindData &data, qint64 &size) {
        result.listed << folder + data.name;
        size = data.size;
        return true;
    };
    DirectoryScan::configure(finder);
    scan.run(finder, folders);
    result.files = scan.FoundFileCount;
    result.bytes = scan.FoundByteTotal;
    return result;
}

void storeText(const QString &key, const QString &name, const QString &text)
{
    TRegistry registry;
    QVERIFY(registry.OpenPath(key, true));
    registry.WriteText(name, text);
}

// Points an environment variable elsewhere for the life of the object.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray &value) : m_name(name), m_saved(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv() { qputenv(m_name, m_saved); }

private:
    const char *m_name;
    QByteArray m_saved;
};

const QString kNetscape = QStringLiteral("\\Software\\Netscape\\Netscape Navigator\\");

} // namespace

class TestDirectoryScan : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void onlyTheTemporaryFolderListsEveryFile();
    void foldersOfFakeBrowserCachesInOrder();
    void liveFolderWithOpenFilesFifosAndSockets();
    void fileThatMayNotBeRemovedKeepsItsRow();
    void stopEndsTheWholeScan();
};

void TestDirectoryScan::cleanup()
{
    TRegistry registry;
    (void)registry.DropKey(QStringLiteral("\\Software\\Netscape"));
}

void TestDirectoryScan::onlyTheTemporaryFolderListsEveryFile()
{
    FinderTree tree;
    tree.file("tmp/plain.tmp", "12345");
    tree.file("tmp/.hidden", "12");
    tree.file("tmp/no-extension", "1");
    tree.file("tmp/read-only.txt", "123", 0444);
    tree.file("tmp/a/b/c/deep", "1234");
    tree.file("outside.txt", "not below the temporary folder");
    tree.link("tmp/to-outside", "../outside.txt"); // listed as the link itself
    tree.link("tmp/to-folder", "a");               // a link to a folder is never entered
    const ScopedEnv tmpdir("TMPDIR", tree.path("tmp"));
    DirectoryScanOptions options;
    options.temporary = true;
    const QList<QByteArray> folders = directoryScanFolders(options);
    QCOMPARE(folders, QList<QByteArray>{tree.path("tmp/")});
    const ScanResult result = scanFolders(folders);
    QList<QByteArray> names;
    for (const QByteArray &path : result.listed)
        names << path.mid(tree.path("tmp/").size());
    std::sort(names.begin(), names.end());
    QCOMPARE(names, (QList<QByteArray>{".hidden", "a/b/c/deep", "no-extension", "plain.tmp",
                                       "read-only.txt", "to-outside"}));
    QCOMPARE(result.files, 6);
    QCOMPARE(result.bytes, 5 + 2 + 1 + 3 + 4 + qint64(QByteArray("../outside.txt").size()));
}

// The four well-known folders come first, then the checked entries in list
// order, a repeated one scanned again. Each is looked up when asked.
void TestDirectoryScan::foldersOfFakeBrowserCachesInOrder()
{
    FinderTree home;
    home.file("tmp/t1");
    home.file(".local/share/RecentDocuments/r1.desktop");
    home.file(".cache/google-chrome/Default/Cache/c1");
    // Netscape 4.x: no popstate path, so the profile follows the install folder
    // and the user name with "." and " " made "_"; its prefs.js names the cache
    // with doubled backslashes, as Netscape writes them.
    const QString install = QFile::decodeName(home.path("netscape/"));
    storeText(kNetscape + "biff", "CurrentUser", "john.doe smith");
    storeText(kNetscape + "Main", "Install Directory", install + "Communicator/");
    home.file("netscape/Users/john_doe_smith/prefs.js",
              "user_pref(\"browser.startup.page\", 1);\n"
              "user_pref(\"browser.cache.directory\", \"" +
                  home.path("ns\\\\cache") + "\");\n");
    home.file("ns\\cache/n1");
    home.file("mine/m1");
    home.file("unchecked/u1");
    const ScopedEnv homeEnv("HOME", home.root());
    const ScopedEnv cache("XDG_CACHE_HOME", home.path(".cache"));
    const ScopedEnv data("XDG_DATA_HOME", home.path(".local/share"));
    const ScopedEnv tmpdir("TMPDIR", home.path("tmp"));

    DirectoryScanOptions options{true,
                                 true,
                                 true,
                                 true,
                                 {{QFile::decodeName(home.path("mine")), true},
                                  {QFile::decodeName(home.path("unchecked")), false},
                                  {QFile::decodeName(home.path("mine")), true}}};
    const QList<QByteArray> expected{home.path("tmp/"),
                                     home.path(".local/share/RecentDocuments"),
                                     home.path(".cache/google-chrome"),
                                     home.path("ns\\cache"),
                                     home.path("mine"),
                                     home.path("mine")};
    QCOMPARE(directoryScanFolders(options), expected);
    const ScanResult result = scanFolders(directoryScanFolders(options));
    QList<QByteArray> names;
    for (const QByteArray &path : result.listed)
        names << path.mid(path.lastIndexOf('/') + 1);
    QCOMPARE(names, (QList<QByteArray>{"t1", "r1.desktop", "c1", "n1", "m1", "m1"}));

    // Without the cache line the profile's own Cache folder is taken.
    home.file("netscape/Users/john_doe_smith/prefs.js", "user_pref(\"a\", 1);\n");
    options = DirectoryScanOptions{};
    options.netscapeCache = true;
    QCOMPARE(directoryScanFolders(options),
             QList<QByteArray>{home.path("netscape/Users/john_doe_smith/Cache")});
    // Looked up at every scan: a new temporary folder is the one scanned.
    const ScopedEnv other("TMPDIR", home.path("mine"));
    options = DirectoryScanOptions{};
    options.temporary = true;
    QCOMPARE(directoryScanFolders(options), QList<QByteArray>{home.path("mine/")});
}

// Running programs keep files open, pipes and sockets in the temporary
// folder. The scan must finish without opening any of them, list no FIFO or
// socket, and the clean must leave a file that a program holds open.
void TestDirectoryScan::liveFolderWithOpenFilesFifosAndSockets()
{
    FinderTree tree;
    tree.file("tmp/held.log", "held");
    tree.file("tmp/free.log", "free");
    QCOMPARE(::mkfifo(tree.path("tmp/pipe").constData(), 0600), 0);
    QLocalServer server;
    QVERIFY(server.listen(QFile::decodeName(tree.path("tmp/sock"))));

    QProcess holder; // holds held.log open, and waits on the pipe's other end
    holder.setProgram("/bin/sh");
    holder.setArguments({"-c", "exec 3<\"$1\"; echo ready; exec 4>\"$2\"", "sh",
                         QFile::decodeName(tree.path("tmp/held.log")),
                         QFile::decodeName(tree.path("tmp/pipe"))});
    holder.start();
    QVERIFY(holder.waitForStarted(waitLimitMs()));
    QVERIFY(holder.waitForReadyRead(waitLimitMs()));

    const ScanResult result = scanFolders({tree.path("tmp")});
    QList<QByteArray> listed = result.listed;
    std::sort(listed.begin(), listed.end());
    QCOMPARE(listed, (QList<QByteArray>{tree.path("tmp/free.log"), tree.path("tmp/held.log")}));

    cleaning::SystemProtection protection;
    cleaning::CleanOperation clean(protection, {});
    cleaning::CleanSettings settings;
    settings.DeleteType = quint8(cleaning::CleanMode::Delete);
    settings.AutoCleaning = true;
    QList<cleaning::CleanRow> rows;
    for (const QByteArray &path : result.listed)
        rows.append({path, std::nullopt});
    const cleaning::CleanReport report = clean.run(rows, settings);
    for (int i = 0; i < rows.size(); ++i) {
        const bool held = rows[i].path.endsWith("held.log");
        QCOMPARE(report.rows[i].fate, held ? cleaning::RowFate::InUse : cleaning::RowFate::Cleaned);
    }
    QVERIFY(QFile::exists(QFile::decodeName(tree.path("tmp/held.log"))));

    holder.kill();
    QVERIFY(finishes(holder, QStringLiteral("the program holding held.log")));
}

void TestDirectoryScan::fileThatMayNotBeRemovedKeepsItsRow()
{
    if (::geteuid() == 0) QSKIP("root may remove any file: nothing to refuse");
    FinderTree tree;
    tree.file("tmp/locked/kept.tmp", "x");
    QCOMPARE(::chmod(tree.path("tmp/locked").constData(), 0555), 0);
    const ScanResult result = scanFolders({tree.path("tmp")});
    QCOMPARE(result.listed, QList<QByteArray>{tree.path("tmp/locked/kept.tmp")});
    cleaning::SystemProtection protection;
    cleaning::CleanOperation clean(protection, {});
    cleaning::CleanSettings settings;
    settings.DeleteType = quint8(cleaning::CleanMode::Delete);
    settings.AutoCleaning = true;
    const cleaning::CleanReport report =
        clean.run({{result.listed.first(), std::nullopt}}, settings);
    QCOMPARE(report.rows.first().fate, cleaning::RowFate::Failed);
    QVERIFY(!report.rows.first().reason.isEmpty());
    QVERIFY(QFile::exists(QFile::decodeName(result.listed.first())));
    QCOMPARE(::chmod(tree.path("tmp/locked").constData(), 0755), 0);
}

// "Stop" ends the scan, not only the folder being walked.
void TestDirectoryScan::stopEndsTheWholeScan()
{
    FinderTree tree;
    tree.file("one/a");
    tree.file("two/b");
    TKvFindFile finder;
    DirectoryScan scan;
    QList<QByteArray> listed;
    scan.addFile = [&](const QByteArray &folder, const TFindData &data, qint64 &) {
        listed << folder + data.name;
        scan.stop(); // what the window's Stop button does
        finder.Stop();
        return true;
    };
    DirectoryScan::configure(finder);
    scan.run(finder, {tree.path("one"), tree.path("two")});
    QCOMPARE(listed, QList<QByteArray>{tree.path("one/a")});
    scan.run(finder, {tree.path("two")}); // the next scan starts afresh
    QCOMPARE(listed.size(), 2);
}

CLARIVEX_TEST_MAIN_CORE(TestDirectoryScan)
#include "tst_directory_scan.moc"
