// The clean: which rows leave their place and why the others stay, in every
// mode, with protected system files, files changed since the scan, files in
// use, questions answered No and folders that cannot be made.

#include "core/cleaning/clean_operation.h"
#include "core/cleaning/clean_texts.h"
#include "core/cleaning/cleaning_fixture.h"
#include "core/cleaning/entry_names.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <QTest>

#include <poll.h>

using namespace clarivex;
using namespace clarivex::cleaning;
using namespace clarivex::test;

namespace {

// A child process that holds a file open until it is dropped.
class Holder
{
public:
    explicit Holder(const QByteArray &path)
    {
        int fds[2];
        if (::pipe(fds) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            const int fd = ::open(path.constData(), O_RDONLY);
            (void)::write(fds[1], fd >= 0 ? "y" : "n", 1);
            ::sleep(10); // killed long before
            ::_exit(0);
        }
        ::close(fds[1]);
        struct pollfd wait
        {
            fds[0], POLLIN, 0
        };
        char answer = 0;
        m_holding = ::poll(&wait, 1, 5000) == 1 && ::read(fds[0], &answer, 1) == 1 && answer == 'y';
        ::close(fds[0]);
    }
    ~Holder()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    [[nodiscard]] bool holding() const { return m_holding; }

private:
    pid_t m_pid = -1;
    bool m_holding = false;
};

CleanRow rowOf(const QByteArray &path)
{
    return {path, readIdentity(path)};
}

CleanSettings quietly(CleanMode mode)
{
    CleanSettings settings;
    settings.DeleteType = quint8(mode);
    settings.ConfirmDelete = false;
    return settings;
}

QList<RowFate> fates(const CleanReport &report)
{
    QList<RowFate> all;
    for (const RowOutcome &row : report.rows)
        all << row.fate;
    return all;
}

} // namespace

class TestCleanOperation : public QObject
{
    Q_OBJECT
private slots:
    void protection_data();
    void protection();
    void everyRowTellsWhatBecameOfIt();
    void inUseTexts();
    void modes_data();
    void modes();
    void questionsAndAutomaticClean();
    void noTrashKeepsTheFile();
    void foldersThatCannotBeMade();
    void unreadableFileIsNotInUse_data();
    void unreadableFileIsNotInUse();
};

void TestCleanOperation::protection_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("file");   // as a file to clean
    QTest::addColumn<bool>("folder"); // as a folder a scan skips
    QTest::newRow("library checksum")
        << QByteArray("usr/lib/x86_64-linux-gnu/libfreebl3.chk") << true << true;
    QTest::newRow("/etc") << QByteArray("etc/xml/catalog.old") << true << true;
    QTest::newRow("/var/lib") << QByteArray("var/lib/sgml-base/supercatalog.old") << true << true;
    QTest::newRow("/lib64") << QByteArray("lib64/x.tmp") << true << true;
    QTest::newRow("/var/tmp") << QByteArray("var/tmp/junk.tmp") << false << false;
    QTest::newRow("/tmp") << QByteArray("tmp/junk.tmp") << false << false;
    QTest::newRow("home") << QByteArray("home/u/report.bak") << false << false;
    QTest::newRow("package file in home") << QByteArray("home/u/owned.old") << true << false;
    QTest::newRow("through a link to /etc") << QByteArray("home/u/etc-link/x.old") << true << false;
    QTest::newRow("name like a system folder") << QByteArray("home/usr/x.old") << false << false;
}

void TestCleanOperation::protection()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, file);
    QFETCH(bool, folder);
    FinderTree root;
    root.file("var/lib/dpkg/info/base.list", "/.\n/tmp\n/home\n/home/u/owned.old\n/etc/xml\n");
    root.file("var/lib/dpkg/info/other:amd64.list", "/usr/lib/x86_64-linux-gnu/libfreebl3.chk\n");
    root.file("etc/xml/catalog.old");
    root.folder("home/u");
    root.link("home/u/etc-link", root.path("etc"));
    root.file(path);
    SystemProtection protection(root.root());
    QCOMPARE(protection.isProtectedPath(root.path(path)), file);
    // A clean's pass resolves each folder once, for all its files.
    SystemProtection::ResolvedFolders folders;
    QVERIFY(!protection.isProtectedPath(root.path("home/u/report.bak"), folders));
    QCOMPARE(protection.isProtectedPath(root.path(path), folders), file);
    QCOMPARE(protection.isProtectedPath(root.path(path), folders), file);
    QCOMPARE(protection.isProtectedFolder(splitPath(root.path(path)).folder), folder);
    QVERIFY(!protection.isProtectedFolder(root.root()));
    protection.enabled = false;
    QVERIFY(!protection.isProtectedPath(root.path(path)));
    QVERIFY(!protection.isProtectedFolder(splitPath(root.path(path)).folder));
}

void TestCleanOperation::everyRowTellsWhatBecameOfIt()
{
    FinderTree tree;
    tree.file("junk/plain.tmp", "plain");
    tree.file("junk/replaced.tmp", "old");
    tree.file("junk/became-link.tmp", "old");
    tree.file("junk/held.tmp", "held");
    tree.file("junk/gone.tmp", "gone");
    tree.file("sys/etc/passwd.old", "system");
    tree.file("keep/precious", "precious");
    tree.link("junk/link.tmp", tree.path("keep/precious"));
    const QList<CleanRow> rows{
        rowOf(tree.path("junk/plain.tmp")),       rowOf(tree.path("junk/replaced.tmp")),
        rowOf(tree.path("junk/became-link.tmp")), rowOf(tree.path("junk/held.tmp")),
        rowOf(tree.path("junk/gone.tmp")),        rowOf(tree.path("sys/etc/passwd.old")),
        rowOf(tree.path("junk/link.tmp"))};
    // After the scan: another file in one place, a link to a precious file in another.
    QCOMPARE(::unlink(tree.path("junk/replaced.tmp").constData()), 0);
    tree.file("junk/replaced.tmp", "new");
    QCOMPARE(::unlink(tree.path("junk/became-link.tmp").constData()), 0);
    tree.link("junk/became-link.tmp", tree.path("keep/precious"));
    QCOMPARE(::unlink(tree.path("junk/gone.tmp").constData()), 0);
    Holder holder(tree.path("junk/held.tmp"));
    QVERIFY(holder.holding());

    SystemProtection protection(tree.path("sys"));
    QList<QByteArray> shownInUse;
    CleanPrompts prompts;
    prompts.showInUse = [&](const QList<QByteArray> &paths) { shownInUse = paths; };
    CleanOperation clean(protection, prompts);
    const CleanReport report = clean.run(rows, quietly(CleanMode::Delete));

    QCOMPARE(fates(report),
             QList<RowFate>({RowFate::Cleaned, RowFate::Changed, RowFate::Changed, RowFate::InUse,
                             RowFate::Failed, RowFate::Protected, RowFate::Cleaned}));
    QCOMPARE(report.rows[2].reason, QStringLiteral("replaced by a symbolic link"));
    QCOMPARE(report.rows[4].reason, QString::fromLocal8Bit(strerror(ENOENT)));
    QCOMPARE(shownInUse, QList<QByteArray>({tree.path("junk/held.tmp")}));
    QCOMPARE(report.status1,
             QStringLiteral("4 file(s) could not be cleaned: %1: %2")
                 .arg(QFile::decodeName(tree.path("junk/replaced.tmp")), report.rows[1].reason));
    QCOMPARE(readBytes(tree.path("junk/replaced.tmp")), QByteArray("new"));
    QVERIFY(exists(tree.path("junk/became-link.tmp")));
    QCOMPARE(readBytes(tree.path("keep/precious")), QByteArray("precious"));
    QCOMPARE(readBytes(tree.path("junk/held.tmp")), QByteArray("held"));
    QCOMPARE(readBytes(tree.path("sys/etc/passwd.old")), QByteArray("system"));
    QVERIFY(!exists(tree.path("junk/plain.tmp")) && !exists(tree.path("junk/link.tmp")));
}

void TestCleanOperation::inUseTexts()
{
    FinderTree tree;
    tree.file("a.tmp", "a");
    tree.file("b.tmp", "b");
    Holder holder(tree.path("a.tmp"));
    QVERIFY(holder.holding());
    SystemProtection protection("/nonexistent-root");
    CleanOperation clean(protection, {});
    CleanReport report = clean.run({rowOf(tree.path("a.tmp"))}, quietly(CleanMode::Trash));
    QCOMPARE(report.status1, QString::fromLatin1(texts::kSomeInUse));
    report = clean.run({rowOf(tree.path("a.tmp")), rowOf(tree.path("b.tmp"))},
                       quietly(CleanMode::Trash));
    QCOMPARE(fates(report), QList<RowFate>({RowFate::InUse, RowFate::Cleaned}));
    QCOMPARE(report.status1, QString::fromLatin1(texts::kRemainingInUse));
}

void TestCleanOperation::modes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("defaultFolder");
    QTest::newRow("Trash") << int(CleanMode::Trash) << false;
    QTest::newRow("delete") << int(CleanMode::Delete) << false;
    QTest::newRow("move") << int(CleanMode::MoveToFolder) << false;
    QTest::newRow("move, no folder set") << int(CleanMode::MoveToFolder) << true;
    QTest::newRow("zip") << int(CleanMode::ZipToFolder) << false;
    QTest::newRow("zip, no folder set") << int(CleanMode::ZipToFolder) << true;
}

void TestCleanOperation::modes()
{
    QFETCH(int, mode);
    QFETCH(bool, defaultFolder);
    FinderTree tree;
    tree.file("d1/x.tmp", "one");
    tree.file("d2/x.tmp", "two");
    const QByteArray folder =
        defaultFolder ? qgetenv("HOME") + "/Clarivex 2000 Backups" : tree.path("backups");
    CleanSettings settings = quietly(CleanMode(mode));
    if (!defaultFolder) settings.MoveFolderPath = settings.ZipFileName = folder;
    SystemProtection protection("/nonexistent-root");
    CleanOperation clean(protection, {});
    const CleanReport report =
        clean.run({rowOf(tree.path("d1/x.tmp")), rowOf(tree.path("d2/x.tmp"))}, settings);
    QCOMPARE(report.count(RowFate::Cleaned), 2);
    QVERIFY(!exists(tree.path("d1/x.tmp")) && !exists(tree.path("d2/x.tmp")));
    const QByteArray trash = qgetenv("XDG_DATA_HOME") + "/Trash/files/";
    switch (CleanMode(mode)) {
    case CleanMode::Trash:
        QCOMPARE(report.rows[1].destination, trash + "x (2).tmp");
        QCOMPARE(readBytes(trash + "x (2).tmp"), QByteArray("two"));
        break;
    case CleanMode::Delete:
        QVERIFY(!exists(trash + "x.tmp"));
        break;
    case CleanMode::MoveToFolder:
        QCOMPARE(readBytes(folder + "/x.tmp"), QByteArray("one"));
        QCOMPARE(readBytes(folder + "/x (2).tmp"), QByteArray("two"));
        break;
    case CleanMode::ZipToFolder:
        QCOMPARE(report.archive, archivePath(folder, QDate::currentDate()));
        QVERIFY(report.status0.startsWith(QStringLiteral("Total Time: ")));
        QCOMPARE(report.status1,
                 QStringLiteral("Files zipped to ") + QFile::decodeName(report.archive));
        QCOMPARE(readBytes(trash + "x (2).tmp"), QByteArray("two")); // removed to the Trash
        break;
    }
    forceRemoveTree(QFile::decodeName(qgetenv("XDG_DATA_HOME") + "/Trash"));
    forceRemoveTree(QFile::decodeName(folder));
}

void TestCleanOperation::questionsAndAutomaticClean()
{
    FinderTree tree;
    tree.file("a.tmp", "a");
    SystemProtection protection("/nonexistent-root");
    QStringList asked;
    CleanPrompts prompts;
    prompts.confirm = [&](const QString &question) {
        asked << question;
        return false;
    };
    CleanOperation clean(protection, prompts);
    for (const CleanMode mode : {CleanMode::Trash, CleanMode::ZipToFolder}) {
        CleanSettings settings;
        settings.DeleteType = quint8(mode);
        settings.ZipFileName = tree.path("zips");
        settings.all = false;
        const CleanReport report = clean.run({rowOf(tree.path("a.tmp"))}, settings);
        QCOMPARE(fates(report), QList<RowFate>({RowFate::NotDone}));
        QVERIFY(report.declined);
        QCOMPARE(report.status1, QString::fromLatin1(texts::kNothingCleaned));
        QVERIFY(exists(tree.path("a.tmp")));
    }
    QCOMPARE(asked,
             QStringList({QStringLiteral("Are you sure you want to move 'a.tmp' to the Trash?"),
                          QString::fromLatin1(texts::kConfirmCleanSelected) +
                              QStringLiteral("\n\n1 file(s) will be moved into the archive ") +
                              QFile::decodeName(tree.path("zips/")) +
                              QDate::currentDate().toString(QStringLiteral("dd-MM-yyyy")) +
                              QStringLiteral(".zip.")}));
    QVERIFY(!exists(tree.path("zips")));

    asked.clear();
    CleanSettings automatic;
    automatic.AutoCleaning = true;
    automatic.DeleteType = quint8(CleanMode::ZipToFolder);
    automatic.ZipFileName = tree.path("zips");
    const CleanReport report = clean.run({rowOf(tree.path("a.tmp"))}, automatic);
    QVERIFY(asked.isEmpty());
    QCOMPARE(fates(report), QList<RowFate>({RowFate::Cleaned}));
}

void TestCleanOperation::noTrashKeepsTheFile()
{
    FinderTree tree;
    tree.file("top/a.tmp", "a");
    tree.folder("elsewhere");
    QCOMPARE(::symlink(tree.path("elsewhere").constData(),
                       (tree.path("top/.Trash-") + QByteArray::number(::getuid())).constData()),
             0);
    SystemProtection protection("/nonexistent-root");
    int asked = 0;
    CleanPrompts prompts;
    prompts.deleteForGood = [&](const QByteArray &, const QString &) { return ++asked, false; };
    CleanOperation clean(protection, prompts);
    clean.trash = TrashPlaces::forCurrentUser();
    clean.trash->onHomeVolume = [](dev_t) { return false; };
    clean.trash->topDirectory = [&](const QByteArray &) { return tree.path("top"); };
    for (const bool automatic : {true, false}) {
        CleanSettings settings = quietly(CleanMode::Trash);
        settings.AutoCleaning = automatic;
        const CleanReport report = clean.run({rowOf(tree.path("top/a.tmp"))}, settings);
        QCOMPARE(fates(report), QList<RowFate>({RowFate::Kept}));
        QCOMPARE(asked, automatic ? 0 : 1);
        QVERIFY(report.status1.contains(QStringLiteral("no usable Trash")));
        QCOMPARE(readBytes(tree.path("top/a.tmp")), QByteArray("a"));
    }
}

void TestCleanOperation::foldersThatCannotBeMade()
{
    FinderTree tree;
    tree.file("a.tmp", "a");
    tree.file("plain-file", "not a folder");
    SystemProtection protection("/nonexistent-root");
    QStringList notices;
    CleanPrompts prompts;
    prompts.notice = [&](const QString &text) { notices << text; };
    CleanOperation clean(protection, prompts);
    CleanSettings settings = quietly(CleanMode::MoveToFolder);
    settings.MoveFolderPath = settings.ZipFileName = tree.path("plain-file/sub");
    CleanReport report = clean.run({rowOf(tree.path("a.tmp"))}, settings);
    QCOMPARE(fates(report), QList<RowFate>({RowFate::Failed}));
    QVERIFY2(report.rows[0].reason.contains(QString::fromLocal8Bit(strerror(ENOTDIR))),
             qPrintable(report.rows[0].reason));
    settings.DeleteType = quint8(CleanMode::ZipToFolder);
    report = clean.run({rowOf(tree.path("a.tmp"))}, settings);
    QCOMPARE(fates(report), QList<RowFate>({RowFate::NotDone}));
    QCOMPARE(notices, QStringList(2, QString::fromLatin1(texts::kFailedToCreateDirectory)));
    QCOMPARE(readBytes(tree.path("a.tmp")), QByteArray("a"));
}

void TestCleanOperation::unreadableFileIsNotInUse_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("fate");
    QTest::newRow("Trash: a rename needs no read")
        << int(CleanMode::Trash) << int(RowFate::Cleaned);
    QTest::newRow("delete") << int(CleanMode::Delete) << int(RowFate::Cleaned);
    QTest::newRow("zip: unreadable, not in use")
        << int(CleanMode::ZipToFolder) << int(RowFate::Failed);
}

void TestCleanOperation::unreadableFileIsNotInUse()
{
    QFETCH(int, mode);
    QFETCH(int, fate);
    // A file its owner may write but not read; as root, the clean runs as
    // another user in a child process, where root's override does not apply.
    constexpr uid_t kNobody = 65534;
    FinderTree tree;
    tree.folder("u");
    const QByteArray folder = tree.path("u");
    if (::geteuid() == 0) {
        QVERIFY(::chown(folder.constData(), kNobody, kNobody) == 0);
        // The way down to it must be open to that user.
        for (QByteArray up = splitPath(folder).folder; up != "/" && up != ".";
             up = splitPath(up).folder) {
            struct stat st;
            if (::stat(up.constData(), &st) == 0 && !(st.st_mode & S_IXOTH))
                QVERIFY(::chmod(up.constData(), (st.st_mode & 07777) | S_IXOTH) == 0);
        }
    }
    const int status = runInChild([&] {
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) return 90;
        const QByteArray path = folder + "/locked.tmp";
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0200);
        if (fd < 0 || ::write(fd, "x", 1) != 1) return 91;
        ::close(fd);
        SystemProtection protection("/nonexistent-root");
        CleanOperation clean(protection, {});
        TrashPlaces places = TrashPlaces::forCurrentUser();
        places.homeTrash = folder + "/Trash";
        places.user = ::getuid();
        places.onHomeVolume = [](dev_t) { return true; };
        clean.trash = places;
        CleanSettings settings = quietly(CleanMode(mode));
        settings.ZipFileName = folder + "/backups";
        const CleanReport report = clean.run({rowOf(path)}, settings);
        const RowOutcome &row = report.rows[0];
        if (int(row.fate) != fate) return 100 + int(row.fate);
        if (row.fate == RowFate::Failed && !row.reason.startsWith(QStringLiteral("cannot be read")))
            return 92;
        return 0;
    });
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
}

CLARIVEX_TEST_MAIN_CORE(TestCleanOperation)
#include "tst_clean_operation.moc"
