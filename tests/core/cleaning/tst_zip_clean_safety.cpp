// The zip clean against what happens around it: another clean into the same
// archive, a file swapped for a named pipe or changed while it is archived,
// temporaries left by killed cleans, names no UTF-8 flag can carry, who may
// read the backups; and the parallel deflating against the serial one.

#include "core/cleaning/clean_operation.h"
#include "core/cleaning/cleaning_fixture.h"
#include "core/cleaning/zip_archive_folder.h"
#include "core/cleaning/zip_backup.h"
#include "core/cleaning/zip_messages.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <QDate>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>

#include <poll.h>
#include <zip.h>

using namespace clarivex;
using namespace clarivex::cleaning;
using namespace clarivex::test;

namespace {

TZip moveZip(const QByteArray &archive, const QList<QByteArray> &files, int threads = 0)
{
    TZip zip;
    zip.Switch = swMove;
    zip.StoredDirNames = sdAbsolute;
    zip.ArchiveFile = archive;
    zip.FileSpec = files;
    zip.Threads = threads;
    return zip;
}

QByteArray datedArchive(const QByteArray &folder)
{
    return archivePath(folder, QDate::currentDate());
}

struct Entry
{
    quint32 crc = 0;
    QByteArray bytes;
    bool operator==(const Entry &) const = default;
};

// Raw name -> CRC and bytes of every entry, read with libzip.
QMap<QByteArray, Entry> entries(const QByteArray &archive)
{
    QMap<QByteArray, Entry> all;
    zip_t *za = zip_open(archive.constData(), ZIP_RDONLY | ZIP_CHECKCONS, nullptr);
    if (!za) return all;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(za, zip_uint64_t(i), 0, &st);
        QByteArray data(qsizetype(st.size), Qt::Uninitialized);
        zip_file_t *f = zip_fopen_index(za, zip_uint64_t(i), 0);
        const zip_int64_t got = f ? zip_fread(f, data.data(), st.size) : -1;
        if (f) zip_fclose(f);
        all.insert(zip_get_name(za, zip_uint64_t(i), ZIP_FL_ENC_RAW),
                   {st.crc, got == qint64(st.size) ? data : QByteArray("<bad>")});
    }
    zip_discard(za);
    return all;
}

// What the peers say: Info-ZIP's test of every entry, and Python's.
QByteArray peersCheck(const QByteArray &archive)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, zipfile\n"
                                 "z = zipfile.ZipFile(sys.argv[1])\n"
                                 "print(z.testzip(), len(z.infolist()))\n"),
                  QFile::decodeName(archive)});
    if (!python.waitForFinished(10000)) {
        python.kill();
        python.waitForFinished(1000);
        return "<python did not answer>";
    }
    QByteArray said = python.readAllStandardOutput().trimmed();
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-tqq"), QFile::decodeName(archive)});
    if (unzip.waitForStarted(5000)) {
        if (!unzip.waitForFinished(10000)) unzip.kill();
        unzip.waitForFinished(1000);
        said += " unzip:" + QByteArray::number(unzip.exitCode());
    }
    return said;
}

bool waitForByte(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    char byte;
    return ::poll(&p, 1, timeoutMs) == 1 && ::read(fd, &byte, 1) == 1;
}

QByteArray noise(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

QByteArray text(qsizetype size, quint32 seed)
{
    static const QList<QByteArray> words{"clean ", "temporary ", "file ", "archive ", "entry\n"};
    QRandomGenerator random(seed);
    QByteArray bytes;
    while (bytes.size() < size)
        bytes += words[random.bounded(int(words.size()))];
    bytes.truncate(size);
    return bytes;
}

} // namespace

class TestZipCleanSafety : public QObject
{
    Q_OBJECT
private slots:
    void backupsArePrivate_data();
    void backupsArePrivate();
    void twoCleansIntoOneArchive();
    void namedPipeInPlaceDoesNotHang_data();
    void namedPipeInPlaceDoesNotHang();
    void fileChangedDuringTheCleanIsLeftOut_data();
    void fileChangedDuringTheCleanIsLeftOut();
    void temporariesOfKilledCleansAreRemoved();
    void namesWithControlCharacters();
    void parallelArchiveEqualsSerial();
    void failureMidwayRemovesNothing();
    void killMidwayRemovesNothingUnarchived();
    void eachSourceStaysUntilItsEntryIsChecked_data();
    void eachSourceStaysUntilItsEntryIsChecked();
};

void TestZipCleanSafety::backupsArePrivate_data()
{
    QTest::addColumn<bool>("archiveExists");
    QTest::newRow("new archive") << false;
    QTest::newRow("archive of an older run, 0644") << true;
}

void TestZipCleanSafety::backupsArePrivate()
{
    QFETCH(bool, archiveExists);
    FinderTree tree;
    tree.file("c/a.tmp", "secret");
    const QByteArray folder = tree.path("backups");
    const mode_t oldMask = ::umask(022);
    if (archiveExists) {
        tree.file("old.tmp", "old");
        QVERIFY(::mkdir(folder.constData(), 0755) == 0);
        QCOMPARE(moveZip(datedArchive(folder), {tree.path("old.tmp")}).Compress(), 1);
        QVERIFY(::chmod(datedArchive(folder).constData(), 0644) == 0);
    }
    SystemProtection protection("/nonexistent-root");
    CleanOperation clean(protection, {});
    clean.trash = TrashPlaces::forCurrentUser();
    CleanSettings settings;
    settings.DeleteType = quint8(CleanMode::ZipToFolder);
    settings.ZipFileName = folder;
    settings.ConfirmDelete = false;
    const CleanReport report = clean.run({{tree.path("c/a.tmp"), {}}}, settings);
    ::umask(oldMask);
    QCOMPARE(report.count(RowFate::Cleaned), 1);
    struct stat st;
    QCOMPARE(::stat(report.archive.constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0600));
    QCOMPARE(::stat(folder.constData(), &st), 0);
    // A folder the clean made is private; one the user made keeps its mode.
    QCOMPARE(st.st_mode & 07777, archiveExists ? mode_t(0755) : mode_t(0700));
}

void TestZipCleanSafety::twoCleansIntoOneArchive()
{
    // Clean A pauses while it writes; clean B starts meanwhile into the same
    // archive. Whatever order they end in, every file that left its folder
    // must be in the archive.
    FinderTree tree;
    for (const char *name : {"a1.tmp", "a2.tmp", "b1.tmp", "b2.tmp"})
        tree.file(QByteArray("src/") + name, QByteArray(name) + " content");
    tree.folder("backups");
    const QByteArray archive = datedArchive(tree.path("backups"));
    int paused[2];
    int resume[2];
    QVERIFY(::pipe(paused) == 0 && ::pipe(resume) == 0);
    const pid_t child = ::fork();
    if (child == 0) {
        TZip a = moveZip(archive, {tree.path("src/a1.tmp"), tree.path("src/a2.tmp")});
        bool once = false;
        a.OnBegin = [&](const QByteArray &, int, bool &) {
            if (std::exchange(once, true)) return;
            (void)::write(paused[1], "p", 1);
            (void)waitForByte(resume[0], 5000);
        };
        ::_exit(a.Compress() == 2 ? 0 : 1);
    }
    QVERIFY(child > 0);
    QVERIFY2(waitForByte(paused[0], 5000), "clean A did not start writing");
    bool released = false;
    const auto release = [&] {
        if (!std::exchange(released, true)) (void)::write(resume[1], "r", 1);
    };
    TZip b = moveZip(archive, {tree.path("src/b1.tmp"), tree.path("src/b2.tmp")});
    b.LockWaitMs = 8000;
    b.Cancelled = [&] {
        release(); // B is waiting (or reading): let A go on
        return false;
    };
    const int bArchived = b.Compress();
    release();
    int status = 0;
    QElapsedTimer clock;
    clock.start();
    while (::waitpid(child, &status, WNOHANG) == 0 && clock.elapsed() < 10000)
        QThread::msleep(5);
    if (clock.elapsed() >= 10000) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        QFAIL("clean A did not end");
    }
    for (int fd : {paused[0], paused[1], resume[0], resume[1]})
        ::close(fd);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QCOMPARE(bArchived, 2);
    const auto stored = entries(archive);
    for (const char *name : {"a1.tmp", "a2.tmp", "b1.tmp", "b2.tmp"}) {
        const QByteArray path = tree.path(QByteArray("src/") + name);
        QVERIFY2(!exists(path), path.constData());
        QCOMPARE(stored.value(path.mid(1)).bytes, QByteArray(name) + " content");
    }
}

void TestZipCleanSafety::namedPipeInPlaceDoesNotHang_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("deflated file") << QByteArray("b.tmp");
    QTest::newRow("stored file") << QByteArray("b.png");
}

void TestZipCleanSafety::namedPipeInPlaceDoesNotHang()
{
    QFETCH(QByteArray, name);
    FinderTree tree;
    tree.file("a.tmp", "a");
    tree.file(name, "b");
    tree.file("c.tmp", "c");
    const QByteArray b = tree.path(name);
    const QByteArray archive = tree.path("day.zip");
    const int status = runInChild([&] {
        // One core: the files are read in their order, after the checks.
        TZip zip = moveZip(archive, {tree.path("a.tmp"), b, tree.path("c.tmp")}, 1);
        int code = 0;
        zip.OnBegin = [&](const QByteArray &path, int, bool &) {
            if (path.endsWith("a.tmp") && ::unlink(b.constData()) == 0)
                (void)::mkfifo(b.constData(), 0644);
        };
        zip.OnError = [&](const QByteArray &path, const QString &, int, int c) {
            if (path == b) code = c;
        };
        const int archived = zip.Compress();
        return archived == 2 && code == zmFileChanged && zip.Items()[1].result.error == ESTALE
                   ? 0
                   : 10 + archived;
    });
    QVERIFY2(status != -1, "the clean hung on the named pipe");
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    struct stat st;
    QVERIFY(::lstat(b.constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    QCOMPARE(entries(archive).keys(),
             QList<QByteArray>({tree.path("a.tmp").mid(1), tree.path("c.tmp").mid(1)}));
}

void TestZipCleanSafety::fileChangedDuringTheCleanIsLeftOut_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("change"); // vanish, grow, rewrite
    for (const QByteArray name : {"b.tmp", "b.png"}) {
        for (const QByteArray change : {"vanish", "grow", "rewrite"})
            QTest::newRow((name + ", " + change).constData()) << name << change;
    }
}

void TestZipCleanSafety::fileChangedDuringTheCleanIsLeftOut()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, change);
    FinderTree tree;
    QList<QByteArray> files;
    for (int i = 0; i < 20; ++i) {
        const QByteArray file = "f" + QByteArray::number(i) + ".tmp";
        tree.file(file, text(3000, quint32(i)));
        files << tree.path(file);
    }
    tree.file(name, "before");
    const QByteArray b = tree.path(name);
    files.insert(10, b);
    const QByteArray archive = tree.path("day.zip");
    TZip zip = moveZip(archive, files, 1);
    QList<int> codes;
    zip.OnBegin = [&](const QByteArray &path, int, bool &) {
        if (path != files[5]) return;
        if (change == "vanish") {
            (void)::unlink(b.constData());
        } else {
            QFile file(QFile::decodeName(b));
            QVERIFY(file.open(change == "grow" ? QIODevice::Append : QIODevice::WriteOnly));
            file.write(change == "grow" ? " and more" : "rewrit");
        }
    };
    zip.OnError = [&](const QByteArray &path, const QString &extra, int, int code) {
        QVERIFY2(path == b, qPrintable(QFile::decodeName(path) + QStringLiteral(": ") + extra));
        codes << code;
    };
    QCOMPARE(zip.Compress(), 20);
    QCOMPARE(codes, QList<int>({change == "vanish" ? zmFileNotFound : zmFileChanged}));
    QCOMPARE(zip.Items()[10].state, ZipItemState::Failed);
    QVERIFY(!zip.Items()[10].result.reason.contains("Stale file handle"));
    const auto stored = entries(archive);
    QCOMPARE(stored.size(), 20);
    QVERIFY(!stored.contains(b.mid(1)));
    for (int i = 0; i < files.size(); ++i) {
        if (i == 10) continue;
        QVERIFY(!exists(files[i]));
        QCOMPARE(zip.Items()[i].state, ZipItemState::Removed);
    }
    QCOMPARE(exists(b), change != "vanish");
}

void TestZipCleanSafety::temporariesOfKilledCleansAreRemoved()
{
    FinderTree tree;
    tree.folder("backups");
    const QByteArray folder = tree.path("backups");
    const QByteArray archive = datedArchive(folder);
    tree.file("a.tmp", QByteArray(200000, 'a'));
    tree.file("b.tmp", QByteArray(200000, 'b'));
    for (int kill = 0; kill < 2; ++kill) {
        const int status = runInChild([&] {
            TZip zip = moveZip(archive, {tree.path("a.tmp"), tree.path("b.tmp")});
            zip.OnBegin = [](const QByteArray &path, int, bool &) {
                if (path.endsWith("b.tmp")) ::raise(SIGKILL);
            };
            zip.OnError = [](const QByteArray &path, const QString &extra, int, int code) {
                std::fprintf(stderr, "%s: %d %s\n", path.constData(), code, qPrintable(extra));
            };
            (void)zip.Compress();
            return 0;
        });
        QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL,
                 qPrintable(QString::number(status)));
    }
    QList<QByteArray> left = namesIn(folder);
    left.removeAll(archive.mid(folder.size() + 1));
    QVERIFY2(!left.isEmpty(), "the killed cleans left no temporary archive to remove");
    for (const QByteArray &name : left)
        QVERIFY2(isTemporaryArchiveName(name), name.constData());
    // What is not ours stays: another name, a file that is no archive.
    const QByteArray day = archive.mid(folder.size() + 1);
    tree.file("backups/" + day + ".Zz9Zz9", "somebody's notes");
    tree.file("backups/notes.zip.Ab12Cd", "PK not a dated archive");
    tree.file("backups/" + day + ".Ab12Cd.keep", "PK longer name");
    tree.file("c.tmp", "c");
    QCOMPARE(moveZip(archive, {tree.path("c.tmp")}).Compress(), 1);
    QCOMPARE(namesIn(folder),
             QList<QByteArray>({day, day + ".Ab12Cd.keep", day + ".Zz9Zz9", "notes.zip.Ab12Cd"}));
    QCOMPARE(readBytes(tree.path("a.tmp")), QByteArray(200000, 'a'));
}

void TestZipCleanSafety::namesWithControlCharacters()
{
    FinderTree tree;
    const QList<QByteArray> names{"bell\x07.tmp", "tab\there.tmp", "caf\xc3\xa9\x01.tmp",
                                  "latin\xe9\x02.tmp"};
    QList<QByteArray> paths;
    for (const QByteArray &name : names) {
        tree.file(name, name);
        paths << tree.path(name);
    }
    TZip zip = moveZip(tree.path("day.zip"), paths);
    QStringList errors;
    zip.OnError = [&](const QByteArray &, const QString &extra, int, int) { errors << extra; };
    const int archived = zip.Compress();
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
    QCOMPARE(archived, int(names.size()));
    const auto stored = entries(tree.path("day.zip"));
    for (qsizetype i = 0; i < names.size(); ++i)
        QCOMPARE(stored.value(paths[i].mid(1)).bytes, names[i]);
    QVERIFY(peersCheck(tree.path("day.zip")).startsWith("None 4"));
}

void TestZipCleanSafety::parallelArchiveEqualsSerial()
{
    FinderTree tree;
    QList<QByteArray> names;
    QMap<QByteArray, QByteArray> content;
    const auto add = [&](const QByteArray &name, const QByteArray &bytes) {
        content[name] = bytes;
        names << name;
    };
    add("empty.tmp", {});
    add("one.tmp", "1");
    add("noise.bin", noise(300000, 1));
    add("photo.png", noise(5000, 2));
    for (int i = 0; i < 200; ++i)
        add("t" + QByteArray::number(i) + ".txt", text(100 + i * 97, quint32(i)));
    add("big.log", text(3 << 20, 99));
    QMap<QByteArray, Entry> archives[2];
    for (int threads : {1, 4}) {
        const QByteArray folder = "run" + QByteArray::number(threads) + "/";
        QList<QByteArray> paths;
        for (const QByteArray &name : names) {
            tree.file(folder + name, content[name]);
            paths << tree.path(folder + name);
        }
        const QByteArray archive = tree.path("run" + QByteArray::number(threads) + ".zip");
        TZip zip = moveZip(archive, paths, threads);
        QCOMPARE(zip.Compress(), int(names.size()));
        QCOMPARE(peersCheck(archive), "None " + QByteArray::number(names.size()) + " unzip:0");
        for (auto [name, entry] : entries(archive).asKeyValueRange())
            archives[threads == 1 ? 0 : 1].insert(name.mid(name.lastIndexOf('/') + 1), entry);
    }
    QCOMPARE(archives[0].keys(), archives[1].keys());
    for (const QByteArray &name : names) {
        QCOMPARE(archives[1][name], archives[0][name]);
        QCOMPARE(archives[1][name].bytes, content[name]);
    }
}

void TestZipCleanSafety::failureMidwayRemovesNothing()
{
    // The archive may grow to 200 kB: the first files fit, the rest do not.
    FinderTree tree;
    QList<QByteArray> paths;
    for (int i = 0; i < 40; ++i) {
        tree.file("n" + QByteArray::number(i) + ".tmp", noise(20000, quint32(i)));
        paths << tree.path("n" + QByteArray::number(i) + ".tmp");
    }
    const int status = runInChild([&] {
        limitFileSize(200000);
        TZip zip = moveZip(tree.path("day.zip"), paths, 4);
        return zip.Compress() == 0 ? 0 : 1;
    });
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    for (int i = 0; i < 40; ++i)
        QCOMPARE(readBytes(paths[i]), noise(20000, quint32(i)));
    QVERIFY(!exists(tree.path("day.zip")));
}

void TestZipCleanSafety::killMidwayRemovesNothingUnarchived()
{
    FinderTree tree;
    tree.folder("backups");
    const QByteArray archive = datedArchive(tree.path("backups"));
    QList<QByteArray> paths;
    for (int i = 0; i < 60; ++i) {
        tree.file("k" + QByteArray::number(i) + ".tmp", text(20000, quint32(i)));
        paths << tree.path("k" + QByteArray::number(i) + ".tmp");
    }
    for (const char *moment : {"writing", "removing"}) {
        const bool removing = QByteArray(moment) == "removing";
        const int status = runInChild([&] {
            TZip zip = moveZip(archive, paths, 4);
            int begun = 0;
            zip.OnBegin = [&](const QByteArray &, int, bool &) {
                if (!removing && ++begun == 30) ::raise(SIGKILL);
            };
            int ended = 0;
            zip.OnEnd = [&](const QByteArray &, bool) {
                if (removing && ++ended == 60) ::raise(SIGKILL); // checked, none removed yet
            };
            (void)zip.Compress();
            return 0;
        });
        QVERIFY(WIFSIGNALED(status));
        const auto stored = entries(archive);
        // The Trash's infos that name these files: a removed file has its own,
        // beside it in files/; infos written ahead for files still in place
        // may be left (a bounded few), never one for a file that is lost.
        const QByteArray trash = qgetenv("XDG_DATA_HOME") + "/Trash/";
        QMap<QByteArray, QByteArray> trashed; // path -> its place in files/
        for (const QString &info : QDir(QFile::decodeName(trash + "info")).entryList(QDir::Files)) {
            const QByteArray infoFile = trash + "info/" + QFile::encodeName(info);
            const qsizetype at = readBytes(infoFile).indexOf("Path=");
            const QByteArray named = QByteArray::fromPercentEncoding(
                readBytes(infoFile).mid(at + 5).split('\n').value(0));
            if (paths.contains(named))
                trashed[named] = trash + "files/" + QFile::encodeName(info).chopped(10);
        }
        if (!removing) QCOMPARE(trashed.size(), 0); // killed before any source went
        for (int i = 0; i < 60; ++i) {
            if (exists(paths[i])) continue;
            QCOMPARE(stored.value(paths[i].mid(1)).bytes, text(20000, quint32(i)));
            QVERIFY(trashed.contains(paths[i]));
            QCOMPARE(readBytes(trashed[paths[i]]), text(20000, quint32(i)));
        }
    }
}

// Sources go while later entries are still read back: each file is still in
// its folder when its own entry's check is reported, the reports come in the
// files' order, and in the end every file is gone and in the archive.
void TestZipCleanSafety::eachSourceStaysUntilItsEntryIsChecked_data()
{
    QTest::addColumn<int>("threads");
    QTest::newRow("one core") << 1;
    QTest::newRow("two cores") << 2;
}

void TestZipCleanSafety::eachSourceStaysUntilItsEntryIsChecked()
{
    QFETCH(int, threads);
    FinderTree tree;
    QList<QByteArray> paths;
    for (int i = 0; i < 300; ++i) {
        tree.file("s" + QByteArray::number(i) + ".txt", text(500 + i * 31, quint32(i)));
        paths << tree.path("s" + QByteArray::number(i) + ".txt");
    }
    TZip zip = moveZip(tree.path("day.zip"), paths, threads);
    QList<QByteArray> reported;
    QList<QByteArray> goneTooSoon;
    zip.OnEnd = [&](const QByteArray &name, bool pass) {
        reported << name;
        if (!pass || !exists(name)) goneTooSoon << name;
    };
    QCOMPARE(zip.Compress(), 300);
    QCOMPARE(reported, paths);
    QCOMPARE(goneTooSoon, QList<QByteArray>());
    const auto stored = entries(tree.path("day.zip"));
    for (int i = 0; i < 300; ++i) {
        QVERIFY(!exists(paths[i]));
        QCOMPARE(zip.Items()[i].state, ZipItemState::Removed);
        QCOMPARE(stored.value(paths[i].mid(1)).bytes, text(500 + i * 31, quint32(i)));
    }
}

CLARIVEX_TEST_MAIN_CORE(TestZipCleanSafety)
#include "tst_zip_clean_safety.moc"
