// Duplicates replaced by hard links or reflinks: the bytes of every path stay,
// the space of the copies is freed, every refusal leaves the duplicate as it
// was, a temporary left by a killed process is cleared, and Undo gives each
// path a file of its own. Reflinks need btrfs or XFS: those run on loop
// images made here, mounted as root, and are skipped where that is not
// allowed.

#include "core/cleaning/clean_history.h"
#include "core/cleaning/clean_undo.h"
#include "core/cleaning/duplicate_link.h"
#include "core/scanners/duplicate_link_clean.h"
#include "support/test_main.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace clarivex;
using namespace clarivex::cleaning;

namespace {

constexpr int kCommandWaitMs = 30000;

// Runs a system tool; its error text, empty when it succeeded.
QString runTool(const QString &program, const QStringList &args)
{
    const QString found =
        QStandardPaths::findExecutable(program, {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
    if (found.isEmpty()) return program + QStringLiteral(" is not installed");
    QProcess process;
    process.start(found, args);
    if (!process.waitForFinished(kCommandWaitMs)) {
        process.kill();
        process.waitForFinished(2000);
        return program + QStringLiteral(" did not finish");
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) return {};
    return program + QStringLiteral(": ") +
           QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
}

// A file system made on a sparse image file and mounted (loop) below a
// temporary folder; unmounted when it goes, whatever the test did.
class LoopVolume
{
public:
    LoopVolume(const QString &type, const QString &under)
    {
        if (::geteuid() != 0) {
            m_problem = QStringLiteral("mounting a loop image needs root");
            return;
        }
        const QString image = under + QLatin1Char('/') + type + QStringLiteral(".img");
        m_mount = under + QLatin1Char('/') + type;
        QFile file(image);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(320) << 20)) {
            m_problem = QStringLiteral("no room for the image");
            return;
        }
        file.close();
        QDir().mkpath(m_mount);
        m_problem = runTool(QStringLiteral("mkfs.") + type, type == QLatin1String("xfs")
                                                                ? QStringList{"-q", "-f", image}
                                                                : QStringList{"-q", "-f", image});
        if (m_problem.isEmpty()) m_problem = runTool("mount", {"-o", "loop", image, m_mount});
        m_mounted = m_problem.isEmpty();
        if (m_mounted) ::sync();
    }
    ~LoopVolume()
    {
        if (!m_mounted) return;
        if (!runTool("umount", {m_mount}).isEmpty()) (void)runTool("umount", {"-l", m_mount});
    }
    LoopVolume(const LoopVolume &) = delete;
    LoopVolume &operator=(const LoopVolume &) = delete;

    [[nodiscard]] bool mounted() const { return m_mounted; }
    [[nodiscard]] QString problem() const { return m_problem; }
    [[nodiscard]] QByteArray path(const char *name = nullptr) const
    {
        const QByteArray root = QFile::encodeName(m_mount);
        return name ? root + '/' + name : root;
    }

private:
    QString m_mount;
    QString m_problem;
    bool m_mounted = false;
};

void writeFile(const QByteArray &path, const QByteArray &bytes, mode_t mode = 0644)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    QVERIFY2(fd >= 0, path.constData());
    QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    QCOMPARE(::fchmod(fd, mode), 0);
    ::close(fd);
}

QByteArray readBytes(const QByteArray &path)
{
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

struct stat statOf(const QByteArray &path)
{
    struct stat st = {};
    (void)::lstat(path.constData(), &st);
    return st;
}

void setTime(const QByteArray &path, time_t when)
{
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

LinkJob jobFor(const QByteArray &master, const QByteArray &duplicate)
{
    LinkJob job;
    job.request.master = master;
    job.request.masterSeen = readIdentity(master).value_or(FileIdentity{});
    job.request.duplicate = duplicate;
    job.request.duplicateSeen = readIdentity(duplicate).value_or(FileIdentity{});
    return job;
}

QStringList entriesOf(const QByteArray &folder)
{
    return QDir(QFile::decodeName(folder))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

qint64 freeBytes(const QByteArray &path)
{
    struct statvfs vfs = {};
    (void)::statvfs(path.constData(), &vfs);
    return qint64(vfs.f_bavail) * qint64(vfs.f_frsize);
}

// Free space grows once the file system has let go of the blocks, which some
// do in the background: the free bytes once they reach `atLeast`, or after
// a few seconds.
qint64 freeBytesOnceFreed(const QByteArray &path, qint64 atLeast)
{
    qint64 free = 0;
    for (int waited = 0; waited <= 5000; waited += 100) {
        ::sync();
        free = freeBytes(path);
        if (free >= atLeast) break;
        QThread::msleep(100);
    }
    return free;
}

} // namespace

class TestDuplicateLink : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void replacedFreesSpaceAndUndoSplits_data();
    void replacedFreesSpaceAndUndoSplits();
    void refusedLeavesTheDuplicate_data();
    void refusedLeavesTheDuplicate();
    void acrossVolumesIsRefused();
    void killedBeforeTheRenameLeavesOnlyATemporary();

private:
    // The volume a case runs on: "plain" is the test's own temporary folder.
    QByteArray folderOn(const QString &volume);

    QTemporaryDir m_images;
    std::unique_ptr<LoopVolume> m_xfs;
    std::unique_ptr<LoopVolume> m_btrfs;
    std::unique_ptr<QTemporaryDir> m_plain;
    std::unique_ptr<CleanHistory> m_history;
    int m_case = 0;
};

void TestDuplicateLink::initTestCase()
{
    QVERIFY(m_images.isValid());
    m_xfs = std::make_unique<LoopVolume>(QStringLiteral("xfs"), m_images.path());
    m_btrfs = std::make_unique<LoopVolume>(QStringLiteral("btrfs"), m_images.path());
}

void TestDuplicateLink::cleanupTestCase()
{
    m_xfs.reset();
    m_btrfs.reset();
}

void TestDuplicateLink::init()
{
    m_plain = std::make_unique<QTemporaryDir>();
    QVERIFY(m_plain->isValid());
    m_history = std::make_unique<CleanHistory>(m_plain->filePath("history.db"));
    QVERIFY(m_history->isOpen());
}

QByteArray TestDuplicateLink::folderOn(const QString &volume)
{
    const QByteArray name = "case" + QByteArray::number(++m_case);
    QByteArray folder;
    if (volume == QLatin1String("plain")) {
        folder = QFile::encodeName(m_plain->path()) + '/' + name;
    } else {
        LoopVolume *loop = volume == QLatin1String("xfs") ? m_xfs.get() : m_btrfs.get();
        if (!loop->mounted()) return {};
        folder = loop->path(name.constData());
    }
    return ::mkdir(folder.constData(), 0755) == 0 ? folder : QByteArray();
}

void TestDuplicateLink::replacedFreesSpaceAndUndoSplits_data()
{
    QTest::addColumn<QString>("volume");
    QTest::addColumn<LinkKind>("kind");
    QTest::newRow("hard link, any file system") << "plain" << LinkKind::Hard;
    QTest::newRow("hard link, xfs") << "xfs" << LinkKind::Hard;
    QTest::newRow("reflink, xfs") << "xfs" << LinkKind::Reflink;
    QTest::newRow("reflink, btrfs") << "btrfs" << LinkKind::Reflink;
}

void TestDuplicateLink::replacedFreesSpaceAndUndoSplits()
{
    QFETCH(QString, volume);
    QFETCH(LinkKind, kind);
    const QByteArray folder = folderOn(volume);
    if (folder.isEmpty()) QSKIP(qPrintable((volume == "xfs" ? m_xfs : m_btrfs)->problem()));
    QByteArray bytes(8 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 7919) >> 5);
    const QByteArray master = folder + "/master.bin";
    const QList<QByteArray> copies{folder + "/copy1.bin", folder + "/copy2.bin"};
    writeFile(master, bytes);
    setTime(master, 1500000000);
    for (const QByteArray &copy : copies) {
        writeFile(copy, bytes);
        setTime(copy, 1600000000); // its own time: kept by a reflink, given back by Undo
    }
    ::sync();
    const qint64 freeBefore = freeBytes(folder);

    DuplicateLinkClean clean;
    clean.kind = kind;
    CleanRecorder recorder(*m_history, CleanTrigger::User);
    clean.recorder = &recorder;
    const LinkCleanReport report =
        clean.run({jobFor(master, copies[0]), jobFor(master, copies[1])});
    recorder.finish();
    QCOMPARE(report.replaced, 2);
    ::sync();
    // A reflink's blocks are freed once the file system commits; both free a copy's worth.
    if (volume != QLatin1String("plain")) {
        const qint64 freed =
            freeBytesOnceFreed(folder, freeBefore + bytes.size() * copies.size()) - freeBefore;
        QVERIFY2(freed >= bytes.size() * copies.size(), qPrintable(QString::number(freed)));
    }
    const struct stat kept = statOf(master);
    for (const QByteArray &copy : copies) {
        QCOMPARE(readBytes(copy), bytes);
        const struct stat now = statOf(copy);
        QCOMPARE(now.st_ino == kept.st_ino, kind == LinkKind::Hard);
        if (kind == LinkKind::Reflink) QCOMPARE(now.st_mtim.tv_sec, time_t(1600000000));
    }
    QCOMPARE(entriesOf(folder).size(), 3); // no temporary left

    const QList<HistoryClean> cleans = m_history->cleans();
    QCOMPARE(cleans.size(), 1);
    QCOMPARE(cleans.first().mode, HistoryMode::Link);
    const UndoReport undone = undoClean(*m_history, cleans.first());
    QVERIFY(undone.allBack());
    for (const QByteArray &copy : copies) {
        const struct stat now = statOf(copy);
        QVERIFY(now.st_ino != kept.st_ino);
        QCOMPARE(now.st_nlink, nlink_t(1));
        QCOMPARE(now.st_mtim.tv_sec, time_t(1600000000));
        QCOMPARE(readBytes(copy), bytes);
    }
    QCOMPARE(statOf(master).st_nlink, nlink_t(1));
}

void TestDuplicateLink::refusedLeavesTheDuplicate_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<LinkKind>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("master changed after the scan")
        << "master written" << LinkKind::Hard << "its master changed since the scan";
    QTest::newRow("master written, same size and time")
        << "master rewritten" << LinkKind::Hard << "no longer equal to its master";
    QTest::newRow("duplicate is a symbolic link")
        << "duplicate symlink" << LinkKind::Hard << "replaced by a symbolic link";
    QTest::newRow("master is a symbolic link")
        << "master symlink" << LinkKind::Reflink << "its master changed since the scan";
    QTest::newRow("read-only master")
        << "master read-only" << LinkKind::Hard << "its master is read-only";
    QTest::newRow("other permissions") << "duplicate mode" << LinkKind::Hard
                                       << "its owner or permissions differ from its master's";
    QTest::newRow("master of another user")
        << "master owner" << LinkKind::Hard << "its master belongs to another user";
    QTest::newRow("reflink where blocks cannot be shared")
        << "none" << LinkKind::Reflink << "its file system cannot share blocks (reflink)";
}

void TestDuplicateLink::refusedLeavesTheDuplicate()
{
    QFETCH(QString, change);
    QFETCH(LinkKind, kind);
    QFETCH(QString, reason);
    const QByteArray folder = folderOn(QStringLiteral("plain"));
    struct statfs fs = {};
    if (change == "none" && ::statfs(folder.constData(), &fs) == 0 &&
        (fs.f_type == 0x9123683E /* btrfs */ || fs.f_type == 0x58465342 /* xfs */))
        QSKIP("the temporary folder's file system shares blocks");
    const QByteArray master = folder + "/master";
    const QByteArray duplicate = folder + "/copy";
    writeFile(master, "the same bytes");
    writeFile(duplicate, "the same bytes");
    setTime(master, 1500000000);
    setTime(duplicate, 1500000000);
    const LinkJob job = jobFor(master, duplicate); // what the scan saw
    if (change == "master written") {
        writeFile(master, "other bytes, longer");
    } else if (change == "master rewritten") {
        writeFile(master, "THE SAME BYTES");
        setTime(master, 1500000000);
    } else if (change == "duplicate symlink" || change == "master symlink") {
        const QByteArray &path = change == "master symlink" ? master : duplicate;
        QVERIFY(::rename(path.constData(), (path + ".old").constData()) == 0);
        QVERIFY(::symlink((path + ".old").constData(), path.constData()) == 0);
    } else if (change == "master read-only") {
        QVERIFY(::chmod(master.constData(), 0444) == 0 &&
                ::chmod(duplicate.constData(), 0444) == 0);
    } else if (change == "duplicate mode") {
        QVERIFY(::chmod(duplicate.constData(), 0600) == 0);
    } else if (change == "master owner") {
        if (::geteuid() != 0) QSKIP("giving a file to another user needs root");
        QVERIFY(::chown(master.constData(), 65534, 65534) == 0 &&
                ::chown(duplicate.constData(), 65534, 65534) == 0);
    }
    const struct stat before = statOf(duplicate);
    const QStringList entries = entriesOf(folder);

    DuplicateLinkClean clean;
    clean.kind = kind;
    CleanRecorder recorder(*m_history, CleanTrigger::User);
    clean.recorder = &recorder;
    const LinkCleanReport report = clean.run({job});
    recorder.finish();
    QCOMPARE(report.replaced, 0);
    QVERIFY2(report.results.first().reason.startsWith(reason),
             qPrintable(report.results.first().reason));
    const struct stat after = statOf(duplicate);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    QCOMPARE(entriesOf(folder), entries); // nothing made, nothing left
    const QList<HistoryFile> files = m_history->files(m_history->cleans().first().id);
    QCOMPARE(files.size(), 1);
    QCOMPARE(files.first().state, RecordState::Left);
}

// Another volume is refused before anything is read or made.
void TestDuplicateLink::acrossVolumesIsRefused()
{
    const QByteArray there = folderOn(QStringLiteral("xfs"));
    if (there.isEmpty()) QSKIP(qPrintable(m_xfs->problem()));
    const QByteArray here = folderOn(QStringLiteral("plain"));
    writeFile(here + "/master", "bytes");
    writeFile(there + "/copy", "bytes");
    for (LinkKind kind : {LinkKind::Hard, LinkKind::Reflink}) {
        LinkRequest request = jobFor(here + "/master", there + "/copy").request;
        request.kind = kind;
        bool compared = false;
        const LinkResult result = replaceWithLink(request, [&](FileIdentity &) {
            compared = true;
            return QString();
        });
        QVERIFY(!result.replaced && result.refused);
        QCOMPARE(result.reason, QStringLiteral("on another volume than its master"));
        QVERIFY(!compared);
        QCOMPARE(entriesOf(there), QStringList{"copy"});
    }
}

// A process killed between making the temporary link and the rename leaves
// the duplicate as it was and a temporary that the next replacement in the
// folder removes (its process no longer runs).
void TestDuplicateLink::killedBeforeTheRenameLeavesOnlyATemporary()
{
    const QByteArray folder = folderOn(QStringLiteral("plain"));
    writeFile(folder + "/master", "same");
    writeFile(folder + "/copy", "same");
    writeFile(folder + "/other", "same");
    const struct stat before = statOf(folder + "/copy");
    QByteArray left;
    const auto killed = [&](int, const QByteArray &temporary) {
        left = temporary;
        return false;
    };
    LinkRequest request = jobFor(folder + "/master", folder + "/copy").request;
    const LinkResult result = replaceWithLink(request, {}, killed);
    QVERIFY(!result.replaced);
    QVERIFY(isLinkTemporary(left));
    QCOMPARE(statOf(folder + "/copy").st_ino, before.st_ino);
    QCOMPARE(statOf(folder + "/" + left).st_ino, statOf(folder + "/master").st_ino);
    // As left by a process that is gone (a pid above any the system gives).
    const QByteArray stale = ".clarivex-link-2147483646.0";
    QVERIFY(::rename((folder + '/' + left).constData(), (folder + '/' + stale).constData()) == 0);
    QVERIFY(isLinkTemporary(stale) && !isLinkTemporary("copy"));

    request = jobFor(folder + "/master", folder + "/other").request;
    const LinkResult next = replaceWithLink(request, {});
    QVERIFY2(next.replaced, qPrintable(next.reason));
    QCOMPARE(entriesOf(folder), (QStringList{"copy", "master", "other"}));
    QCOMPARE(statOf(folder + "/copy").st_ino, before.st_ino);
    QCOMPARE(readBytes(folder + "/copy"), QByteArray("same"));
}

CLARIVEX_TEST_MAIN_CORE(TestDuplicateLink)
#include "tst_duplicate_link.moc"
