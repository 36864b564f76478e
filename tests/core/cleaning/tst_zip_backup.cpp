// The zip backup and the restore: what the archive holds, that a source
// leaves only once its entry reads back equal, that failures and kills lose
// nothing, and that a restore brings back bytes, modes and times without
// overwriting anything.

#include "core/cleaning/cleaning_fixture.h"
#include "core/cleaning/restore.h"
#include "core/cleaning/zip_backup.h"
#include "core/cleaning/zip_messages.h"
#include "support/cli_runner.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <zip.h>
#include <zlib.h>

using namespace clarivex;
using namespace clarivex::cleaning;
using namespace clarivex::test;

namespace {

struct Events
{
    int activated = 0;
    QList<QByteArray> begun;
    QList<QPair<QByteArray, bool>> ended;
    QList<int> errors;
    QStringList errorTexts;
};

void record(TZip &zip, Events &events)
{
    zip.OnActivate = [&] { ++events.activated; };
    zip.OnBegin = [&](const QByteArray &name, int, bool &) { events.begun << name; };
    zip.OnEnd = [&](const QByteArray &name, bool pass) { events.ended.append({name, pass}); };
    zip.OnError = [&](const QByteArray &name, const QString &extra, int, int code) {
        events.errors << code;
        events.errorTexts << zipErrorText(QFile::decodeName(name), extra, code);
    };
}

TZip moveZip(const QByteArray &archive, const QList<QByteArray> &files)
{
    TZip zip;
    zip.Switch = swMove;
    zip.StoredDirNames = sdAbsolute;
    zip.ArchiveFile = archive;
    zip.FileSpec = files;
    return zip;
}

QByteArray entryName(const QByteArray &path)
{
    return path.mid(1);
}

// name -> (method, content) of every entry, read with libzip.
QMap<QByteArray, QPair<int, QByteArray>> entries(const QByteArray &archive)
{
    QMap<QByteArray, QPair<int, QByteArray>> all;
    zip_t *za = zip_open(archive.constData(), ZIP_RDONLY, nullptr);
    if (!za) return all;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(za, zip_uint64_t(i), 0, &st);
        QByteArray data(qsizetype(st.size), Qt::Uninitialized);
        zip_file_t *f = zip_fopen_index(za, zip_uint64_t(i), 0);
        const zip_int64_t got = f ? zip_fread(f, data.data(), st.size) : -1;
        if (f) zip_fclose(f);
        all.insert(zip_get_name(za, zip_uint64_t(i), ZIP_FL_ENC_RAW),
                   {int(st.comp_method), got == qint64(st.size) ? data : QByteArray("<bad>")});
    }
    zip_discard(za);
    return all;
}

// Python's zipfile: the entries' raw names in hex, each with its method,
// after testzip() found every CRC right.
QByteArray pythonListing(const QByteArray &archive)
{
    static const char *script =
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "for i in z.infolist():\n"
        "    raw = i.filename.encode('utf-8' if i.flag_bits & 0x800 else 'cp437')\n"
        "    print(raw.hex(), i.compress_type)\n";
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(script), QFile::decodeName(archive)});
    if (!python.waitForFinished(5000)) {
        python.kill();
        python.waitForFinished(1000);
        return "<python did not answer>";
    }
    if (python.exitCode() != 0) return "<python failed> " + python.readAllStandardError();
    return python.readAllStandardOutput();
}

struct FileState
{
    QByteArray content;
    mode_t mode = 0;
    qint64 mtime = 0;
    bool operator==(const FileState &) const = default;
};

FileState stateOf(const QByteArray &path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) return {"<missing>", 0, 0};
    QByteArray content;
    if (S_ISLNK(st.st_mode)) {
        char text[4096];
        const ssize_t n = ::readlink(path.constData(), text, sizeof text);
        content = QByteArray(text, n);
    } else {
        content = readBytes(path);
    }
    return {content, st.st_mode, qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

void setTime(const QByteArray &path, qint64 seconds, long nanoseconds)
{
    const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    QCOMPARE(::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

} // namespace

class TestZipBackup : public QObject
{
    Q_OBJECT
private slots:
    void archivesAndRemovesOnlyWhatReadsBack();
    void existingArchiveGetsEntriesAdded();
    void notAZipIsNeverReplaced();
    void vanishedOrChangedFileStays();
    void zipThenRestoreIsIdentical();
    void restoreCommand();
    void restoreRefusesUnsafeNames();
    void sizeLimitKeepsEverySource();
    void killMidZipLeavesNoArchive();
    void cancelKeepsEverything();
    void readBackSeesDamage_data();
    void readBackSeesDamage();
};

void TestZipBackup::archivesAndRemovesOnlyWhatReadsBack()
{
    FinderTree tree;
    tree.file("one/a.tmp", QByteArray(5000, 'a'));
    tree.file("one/b.png", QByteArray(5000, 'b'));
    tree.file("two/a.tmp", "other a");
    tree.folder("backups");
    const QByteArray archive =
        tree.path("backups/") +
        QDate::currentDate().toString(QStringLiteral("dd-MM-yyyy")).toLatin1() + ".zip";
    const QList<QByteArray> files{tree.path("one/a.tmp"), tree.path("one/b.png"),
                                  tree.path("two/a.tmp")};
    TZip zip = moveZip(archive, files);
    Events events;
    record(zip, events);
    QCOMPARE(zip.Compress(), 3);
    QCOMPARE(events.activated, 1);
    QCOMPARE(events.begun, files);
    QCOMPARE(events.ended.size(), 3);
    for (const auto &end : events.ended)
        QVERIFY(end.second);
    QVERIFY(events.errors.isEmpty());

    const auto stored = entries(archive);
    QCOMPARE(stored.keys(),
             QList<QByteArray>({entryName(files[0]), entryName(files[1]), entryName(files[2])}));
    QCOMPARE(stored[entryName(files[0])], qMakePair(int(ZIP_CM_DEFLATE), QByteArray(5000, 'a')));
    QCOMPARE(stored[entryName(files[1])], qMakePair(int(ZIP_CM_STORE), QByteArray(5000, 'b')));
    QCOMPARE(stored[entryName(files[2])].second, QByteArray("other a"));
    for (const QByteArray &file : files)
        QVERIFY(!exists(file));
    const QByteArray trash = qgetenv("XDG_DATA_HOME") + "/Trash/files/";
    QCOMPARE(namesIn(trash), QList<QByteArray>({"a (2).tmp", "a.tmp", "b.png"}));
    for (const ZipItem &item : zip.Items())
        QCOMPARE(item.state, ZipItemState::Removed);

    const QByteArray listing = pythonListing(archive);
    QCOMPARE(listing, entryName(files[0]).toHex() + " 8\n" + entryName(files[1]).toHex() + " 0\n" +
                          entryName(files[2]).toHex() + " 8\n");
}

void TestZipBackup::existingArchiveGetsEntriesAdded()
{
    FinderTree tree;
    tree.file("a.tmp", "first a");
    const QByteArray archive = tree.path("day.zip");
    TZip first = moveZip(archive, {tree.path("a.tmp")});
    QCOMPARE(first.Compress(), 1);
    // The same path again (a new file under the old name) and another file.
    tree.file("a.tmp", "second a");
    tree.file("b.tmp", "b");
    TZip second = moveZip(archive, {tree.path("a.tmp"), tree.path("b.tmp")});
    QCOMPARE(second.Compress(), 2);
    const QByteArray a = entryName(tree.path("a.tmp"));
    const auto stored = entries(archive);
    QCOMPARE(stored.size(), 3);
    QCOMPARE(stored[a].second, QByteArray("first a"));
    QCOMPARE(stored[entryName(tree.path("a (2).tmp"))].second, QByteArray("second a"));
    QCOMPARE(stored[entryName(tree.path("b.tmp"))].second, QByteArray("b"));
    QCOMPARE(second.Items()[0].entryName, entryName(tree.path("a (2).tmp")));
}

void TestZipBackup::notAZipIsNeverReplaced()
{
    FinderTree tree;
    tree.file("day.zip", "not an archive but somebody's file");
    tree.file("junk.tmp", "junk");
    TZip zip = moveZip(tree.path("day.zip"), {tree.path("junk.tmp")});
    Events events;
    record(zip, events);
    QCOMPARE(zip.Compress(), 0);
    QCOMPARE(events.errors, QList<int>({zmErrorOpening}));
    QCOMPARE(readBytes(tree.path("day.zip")), QByteArray("not an archive but somebody's file"));
    QCOMPARE(readBytes(tree.path("junk.tmp")), QByteArray("junk"));
}

void TestZipBackup::vanishedOrChangedFileStays()
{
    FinderTree tree;
    tree.file("gone.tmp", "x");
    tree.file("changed.tmp", "old");
    tree.file("fine.tmp", "fine");
    const std::optional<FileIdentity> gone = readIdentity(tree.path("gone.tmp"));
    const std::optional<FileIdentity> changed = readIdentity(tree.path("changed.tmp"));
    QCOMPARE(::unlink(tree.path("gone.tmp").constData()), 0);
    tree.file("changed.tmp", "new and longer");
    TZip zip = moveZip(tree.path("day.zip"),
                       {tree.path("gone.tmp"), tree.path("changed.tmp"), tree.path("fine.tmp")});
    zip.FileIdentities = {gone, changed, readIdentity(tree.path("fine.tmp"))};
    Events events;
    record(zip, events);
    QCOMPARE(zip.Compress(), 1);
    QCOMPARE(events.errors, QList<int>({zmFileNotFound, zmFileChanged}));
    QCOMPARE(events.errorTexts[0], QFile::decodeName(tree.path("gone.tmp")) +
                                       "   Error#  : 25172   : File not found   " +
                                       QString::fromLocal8Bit(strerror(ENOENT)));
    QCOMPARE(readBytes(tree.path("changed.tmp")), QByteArray("new and longer"));
    QCOMPARE(zip.Items()[1].state, ZipItemState::Failed);
    QCOMPARE(zip.Items()[2].state, ZipItemState::Removed);
    QCOMPARE(entries(tree.path("day.zip")).keys(),
             QList<QByteArray>({entryName(tree.path("fine.tmp"))}));
    // Numbers outside both ranges show nothing.
    QVERIFY(zipErrorText(QStringLiteral("f"), QStringLiteral("x"), 25000).isEmpty());
    QVERIFY(zipErrorText(QStringLiteral("f"), QString(), zmFileKept).contains("Message#: 26501"));
}

void TestZipBackup::zipThenRestoreIsIdentical()
{
    FinderTree tree;
    const QList<QByteArray> names{"plain.txt", "run.sh",      "locked.cfg", "empty",
                                  "bin.dat",   "caf\xe9.tmp", "link"};
    QByteArray binary;
    for (int i = 0; i < 70000; ++i)
        binary += char((i * 7919) >> 3);
    tree.file("src/plain.txt", "plain text\n", 0600);
    tree.file("src/run.sh", "#!/bin/sh\n", 0755);
    tree.file("src/locked.cfg", "read only", 0444);
    tree.file("src/empty", "", 0640);
    tree.file("src/bin.dat", binary, 0644);
    tree.file("src/caf\xe9.tmp", "latin-1 name", 0644);
    tree.link("src/link", "plain.txt");
    QList<QByteArray> paths;
    QMap<QByteArray, FileState> before;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QByteArray path = tree.path("src/" + names[i]);
        setTime(path, 1600000000 + i * 1000, long(i) * 123456700);
        paths << path;
        before[path] = stateOf(path);
    }
    const QByteArray archive = tree.path("backup.zip");
    TZip zip = moveZip(archive, paths);
    Events events;
    record(zip, events);
    const int archived = zip.Compress();
    QVERIFY2(events.errors.isEmpty(), qPrintable(events.errorTexts.join(QLatin1Char('\n'))));
    QCOMPARE(archived, int(names.size()));
    QVERIFY(pythonListing(archive).contains(entryName(paths[5]).toHex() + " 8"));
    for (const QByteArray &path : paths)
        QVERIFY(!exists(path));

    RestoreReport report = restoreArchive(archive, {});
    QVERIFY(report.allRestored());
    for (const QByteArray &path : paths)
        QCOMPARE(stateOf(path), before[path]);

    // A second restore keeps what is there and puts the copies beside it.
    report = restoreArchive(archive, {});
    QVERIFY(report.allRestored());
    QCOMPARE(report.files[0].fate, RestoreFate::RestoredAs);
    QCOMPARE(report.files[0].target, tree.path("src/plain (restored).txt"));
    QCOMPARE(stateOf(tree.path("src/plain (restored).txt")), before[paths[0]]);
    QCOMPARE(stateOf(paths[0]), before[paths[0]]);

    // Below another folder, the same tree.
    report = restoreArchive(archive, {tree.path("elsewhere"), false});
    QVERIFY(report.allRestored());
    for (const QByteArray &path : paths)
        QCOMPARE(stateOf(tree.path("elsewhere") + path), before[path]);
}

void TestZipBackup::restoreCommand()
{
    FinderTree tree;
    tree.file("src/a.txt", "a");
    tree.file("src/b.txt", "b");
    const QByteArray archive = tree.path("day.zip");
    TZip zip = moveZip(archive, {tree.path("src/a.txt"), tree.path("src/b.txt")});
    zip.Switch = swAdd; // the files stay: the restore meets them
    QCOMPARE(zip.Compress(), 2);
    QCOMPARE(::unlink(tree.path("src/b.txt").constData()), 0);

    CliResult dry = runCli(QList<QByteArray>{"restore", archive, "--dry-run"}, {}, 10000);
    QCOMPARE(dry.exitCode, 0);
    QCOMPARE(dry.out, "would restore as: " + tree.path("src/a (restored).txt") + " (kept " +
                          tree.path("src/a.txt") + ")\nwould restore: " + tree.path("src/b.txt") +
                          "\n");
    QVERIFY(!exists(tree.path("src/b.txt")) && !exists(tree.path("src/a (restored).txt")));

    CliResult real = runCli(QList<QByteArray>{"restore", archive}, {}, 10000);
    QCOMPARE(real.exitCode, 0);
    QCOMPARE(real.out, dry.out.replace("would restore", "restored"));
    QCOMPARE(readBytes(tree.path("src/b.txt")), QByteArray("b"));

    QCOMPARE(runCli(QList<QByteArray>{"restore", tree.path("missing.zip")}, {}, 10000).exitCode, 1);
    QCOMPARE(runCli(QList<QByteArray>{"restore"}, {}, 10000).exitCode, 2);
    QCOMPARE(runCli(QList<QByteArray>{"restore", archive, "--to"}, {}, 10000).exitCode, 2);
    QCOMPARE(runCli(QList<QByteArray>{"restore", archive, "--bogus"}, {}, 10000).exitCode, 2);
}

void TestZipBackup::restoreRefusesUnsafeNames()
{
    FinderTree tree;
    tree.folder("target");
    const QByteArray archive = tree.path("evil.zip");
    zip_t *za = zip_open(archive.constData(), ZIP_CREATE, nullptr);
    QVERIFY(za);
    for (const char *name : {"../escaped.txt", "ok/../../escaped2.txt", "ok/fine.txt"}) {
        zip_source_t *source = zip_source_buffer(za, "x", 1, 0);
        QVERIFY(zip_file_add(za, name, source, 0) >= 0);
    }
    QCOMPARE(zip_close(za), 0);
    const RestoreReport report = restoreArchive(archive, {tree.path("target"), false});
    QVERIFY(!report.allRestored());
    QCOMPARE(report.files.size(), 3);
    QCOMPARE(report.files[0].fate, RestoreFate::Failed);
    QCOMPARE(report.files[1].fate, RestoreFate::Failed);
    QCOMPARE(report.files[2].fate, RestoreFate::Restored);
    QCOMPARE(namesIn(tree.path("")), QList<QByteArray>({"evil.zip", "target"}));
}

void TestZipBackup::sizeLimitKeepsEverySource()
{
    FinderTree tree;
    QByteArray noise(300000, Qt::Uninitialized); // random: deflate cannot shrink it
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    tree.file("big.bin", noise);
    tree.file("small.tmp", "small");
    tree.file("day.zip", "");
    QCOMPARE(::unlink(tree.path("day.zip").constData()), 0);
    const int status = runInChild([&] {
        limitFileSize(100000);
        TZip zip = moveZip(tree.path("day.zip"), {tree.path("small.tmp"), tree.path("big.bin")});
        int code = 0;
        zip.OnError = [&](const QByteArray &, const QString &, int, int c) { code = c; };
        return zip.Compress() == 0 && code == zmNotEnoughSpace ? 0 : 100 + code % 100;
    });
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(readBytes(tree.path("big.bin")), noise);
    QCOMPARE(readBytes(tree.path("small.tmp")), QByteArray("small"));
    QCOMPARE(namesIn(tree.path("")), QList<QByteArray>({"big.bin", "small.tmp"}));
}

void TestZipBackup::killMidZipLeavesNoArchive()
{
    FinderTree tree;
    tree.file("old.tmp", "old");
    const QByteArray archive = tree.path("day.zip");
    QCOMPARE(moveZip(archive, {tree.path("old.tmp")}).Compress(), 1);
    const QByteArray archiveBefore = readBytes(archive);
    tree.file("a.tmp", QByteArray(200000, 'a'));
    tree.file("b.tmp", QByteArray(200000, 'b'));
    const int status = runInChild([&] {
        TZip zip = moveZip(archive, {tree.path("a.tmp"), tree.path("b.tmp")});
        zip.OnBegin = [](const QByteArray &name, int, bool &) {
            if (name.endsWith("b.tmp")) ::raise(SIGKILL);
        };
        (void)zip.Compress();
        return 0;
    });
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    QCOMPARE(readBytes(archive), archiveBefore);
    QCOMPARE(readBytes(tree.path("a.tmp")), QByteArray(200000, 'a'));
    QCOMPARE(readBytes(tree.path("b.tmp")), QByteArray(200000, 'b'));
    for (const QByteArray &name : namesIn(tree.path("")))
        QVERIFY2(name == "a.tmp" || name == "b.tmp" || name.startsWith("day.zip"),
                 name.constData());
}

void TestZipBackup::cancelKeepsEverything()
{
    FinderTree tree;
    tree.file("a.tmp", QByteArray(300000, 'a'));
    TZip zip = moveZip(tree.path("day.zip"), {tree.path("a.tmp")});
    Events events;
    record(zip, events);
    zip.Cancelled = [] { return true; };
    QCOMPARE(zip.Compress(), 0);
    QCOMPARE(events.errors, QList<int>({zmUserAborted}));
    QVERIFY(!exists(tree.path("day.zip")));
    QCOMPARE(readBytes(tree.path("a.tmp")), QByteArray(300000, 'a'));
}

void TestZipBackup::readBackSeesDamage_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("damaged");
    QByteArray text;
    for (int i = 0; i < 400; ++i)
        text += "line " + QByteArray::number(i * 7919 % 1000) + " of a temporary file\n";
    QTest::newRow("deflated") << int(ZIP_CM_DEFLATE) << text << false;
    QTest::newRow("deflated, a byte changed") << int(ZIP_CM_DEFLATE) << text << true;
    QTest::newRow("stored") << int(ZIP_CM_STORE) << text << false;
    QTest::newRow("stored, a byte changed") << int(ZIP_CM_STORE) << text << true;
    QTest::newRow("empty") << int(ZIP_CM_DEFLATE) << QByteArray() << false;
}

// The check before a source goes: an entry whose bytes were damaged on the
// way to the disk never reads back as good, deflated or stored.
void TestZipBackup::readBackSeesDamage()
{
    QFETCH(int, method);
    QFETCH(QByteArray, content);
    QFETCH(bool, damaged);
    FinderTree tree;
    const QByteArray archive = tree.path("a.zip");
    int code = 0;
    zip_t *writer = zip_open(archive.constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    QVERIFY(writer);
    zip_source_t *source =
        zip_source_buffer(writer, content.constData(), zip_uint64_t(content.size()), 0);
    QCOMPARE(zip_file_add(writer, "tmp/x.tmp", source, ZIP_FL_ENC_UTF_8), 0);
    QCOMPARE(zip_set_file_compression(writer, 0, zip_int32_t(method), 0), 0);
    QCOMPARE(zip_close(writer), 0);
    if (damaged) {
        // The entry's data follows its local header (30 bytes, name, extra).
        QByteArray bytes = readBytes(archive);
        const int nameLength = uchar(bytes[26]) | uchar(bytes[27]) << 8;
        const int extraLength = uchar(bytes[28]) | uchar(bytes[29]) << 8;
        zip_t *reader = zip_open(archive.constData(), ZIP_RDONLY, &code);
        zip_stat_t st;
        QCOMPARE(zip_stat_index(reader, 0, 0, &st), 0);
        zip_discard(reader);
        bytes[30 + nameLength + extraLength + qsizetype(st.comp_size / 2)] ^= 0x20;
        QFile file(QFile::decodeName(archive));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    zip_t *reader = zip_open(archive.constData(), ZIP_RDONLY, &code);
    QVERIFY(reader);
    ReadBackBuffers buffers;
    quint32 crc = 0;
    qint64 size = -1;
    const bool good = readBackEntry(reader, 0, buffers, crc, size);
    zip_discard(reader);
    QCOMPARE(good, !damaged);
    if (!damaged) {
        QCOMPARE(size, content.size());
        QCOMPARE(crc, quint32(::crc32(0, reinterpret_cast<const Bytef *>(content.constData()),
                                      uInt(content.size()))));
    }
}

CLARIVEX_TEST_MAIN_CORE(TestZipBackup)
#include "tst_zip_backup.moc"
