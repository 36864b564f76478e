// The duplicate scan's hash cache: a rescan reads only what changed, an entry
// never makes a wrong set, a damaged cache is moved aside, old entries go.

#include "core/scanners/duplicate_scan.h"
#include "core/scanners/hash_cache.h"
#include "core/search/kv_find_file.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace clarivex;
using clarivex::test::FinderTree;

namespace {

constexpr int kSize = 20000; // past head and tail: whole hashes are cached too

// `size` bytes that differ from `seed`'s only in the middle (the trap the
// head-and-tail hash cannot see).
QByteArray content(char seed, int size = kSize)
{
    QByteArray bytes(size, 'x');
    for (int i = 0; i < size; i += 101)
        bytes[i] = char('a' + i % 26);
    bytes[size / 2] = seed;
    return bytes;
}

struct Scan
{
    QStringList rows; // "-" a separator, else the path below the tree
    qint64 signedFromCache = 0;
    qint64 wholeFromCache = 0;
    QString movedAside;
};

Scan scan(const FinderTree &tree, const QString &cachePath, bool useCache = true,
          bool byTime = false)
{
    Scan result;
    DuplicateCompare compare;
    const qsizetype cut = tree.root().size() + 1;
    compare.addSeparator = [&] { result.rows << QStringLiteral("-"); };
    compare.addRow = [&](const QByteArray &folder, quint32, const TFindData &file, bool, int) {
        result.rows << QString::fromUtf8((folder + file.name).mid(cut));
        return true;
    };
    DuplicateScanOptions options;
    options.checkFileName = false;
    options.checkFileTimeStamp = byTime;
    options.useHashCache = useCache;
    TKvFindFile finder;
    DuplicateScan duplicateScan;
    duplicateScan.hashCachePath = cachePath;
    duplicateScan.racyWindowNs = 0; // the files were made a moment ago
    duplicateScan.run(finder, {{tree.root(), false}}, options, compare);
    result.signedFromCache = compare.SignedFromCache;
    result.wholeFromCache = compare.WholeFromCache;
    result.movedAside = duplicateScan.CacheMovedAside;
    return result;
}

struct stat statOf(const QByteArray &path)
{
    struct stat st
    {
    };
    (void)::stat(path.constData(), &st);
    return st;
}

// Writes `bytes` over the file in place and puts its modification time back
// (as `touch -d` would): only the change time tells.
void rewriteKeepingTime(const QByteArray &path, const QByteArray &bytes)
{
    const struct stat before = statOf(path);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int fd = ::open(path.constData(), O_WRONLY | O_TRUNC);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        QCOMPARE(::futimens(fd, times), 0);
        ::close(fd);
        const struct stat after = statOf(path);
        if (after.st_ctim.tv_sec != before.st_ctim.tv_sec ||
            after.st_ctim.tv_nsec != before.st_ctim.tv_nsec)
            return;
        QThread::msleep(10); // the same clock tick: write again
    }
    QFAIL("the change time never moved");
}

bool runSql(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK &&
              sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

qint64 sqlValue(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *row = nullptr;
    qint64 value = -1;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql, -1, &row, nullptr) == SQLITE_OK &&
        sqlite3_step(row) == SQLITE_ROW)
        value = sqlite3_column_int64(row, 0);
    sqlite3_finalize(row);
    sqlite3_close(db);
    return value;
}

} // namespace

class TestHashCache : public QObject
{
    Q_OBJECT
private slots:
    void rescanReadsOnlyWhatChanged_data();
    void rescanReadsOnlyWhatChanged();
    void damagedCacheIsMovedAside_data();
    void damagedCacheIsMovedAside();
    void entriesUnseenForSixtyDaysGo();
    void rowsOfTheFirstLayoutAreKept();
    void manyEntriesOutgrowTheTable();
    void offLeavesNoCache();
    void byTimeTakesOnlyWholeHashes();
};

void TestHashCache::rescanReadsOnlyWhatChanged_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("expected");
    // Files signed from the cache on the rescan (negative: at least that many).
    QTest::addColumn<int>("fromCache");
    // a/one and b/one alike; c/two and d/two alike; all four of one size, the
    // two contents alike at both ends.
    QTest::newRow("unchanged") << "" << QStringList{"-", "a/one", "b/one", "-", "c/two", "d/two"}
                               << 4;
    // d/two takes a/one's content: a stale entry would keep it with c/two.
    QTest::newRow("rewritten, same size, time put back")
        << "rewrite" << QStringList{"-", "a/one", "b/one", "d/two"} << 3;
    QTest::newRow("replaced under the same name")
        << "replace" << QStringList{"-", "a/one", "b/one", "d/two"} << 3;
    // Linux file systems move a renamed file's change time, so it is read
    // again; where one does not, its entry still holds: either is right.
    QTest::newRow("renamed: the same file")
        << "rename" << QStringList{"-", "a/one", "b/one", "-", "c/two", "e/two"} << -3;
}

void TestHashCache::rescanReadsOnlyWhatChanged()
{
    QFETCH(QString, change);
    QFETCH(QStringList, expected);
    QFETCH(int, fromCache);
    FinderTree tree;
    QTemporaryDir cacheDir;
    const QString cachePath = cacheDir.filePath(QStringLiteral("hashes.db"));
    tree.file("a/one", content('1'));
    tree.file("b/one", content('1'));
    tree.file("c/two", content('2'));
    tree.file("d/two", content('2'));
    const Scan first = scan(tree, cachePath);
    QCOMPARE(first.signedFromCache, 0);
    QCOMPARE(first.rows, (QStringList{"-", "a/one", "b/one", "-", "c/two", "d/two"}));

    if (change == QLatin1String("rewrite")) {
        rewriteKeepingTime(tree.path("d/two"), content('1'));
    } else if (change == QLatin1String("replace")) {
        const struct stat old = statOf(tree.path("d/two"));
        tree.file("d/new", content('1'));
        const struct timespec times[2] = {old.st_atim, old.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, tree.path("d/new").constData(), times, 0), 0);
        QCOMPARE(::rename(tree.path("d/new").constData(), tree.path("d/two").constData()), 0);
    } else if (change == QLatin1String("rename")) {
        tree.folder("e");
        QCOMPARE(::rename(tree.path("d/two").constData(), tree.path("e/two").constData()), 0);
    }
    const Scan second = scan(tree, cachePath);
    QCOMPARE(second.rows, expected);
    if (fromCache >= 0)
        QCOMPARE(second.signedFromCache, fromCache);
    else
        QVERIFY(second.signedFromCache >= -fromCache);
    // Alike at both ends: the rescan tells them apart by the whole hashes kept.
    if (change.isEmpty()) QCOMPARE(second.wholeFromCache, 4);
    // The same sets as with no cache at all.
    QCOMPARE(scan(tree, cachePath, false).rows, expected);
}

void TestHashCache::damagedCacheIsMovedAside_data()
{
    QTest::addColumn<int>("damage");
    QTest::newRow("not a database") << 0;
    QTest::newRow("a damaged page among the entries") << 1;
    QTest::newRow("a sound page holding changed entries") << 2;
}

void TestHashCache::damagedCacheIsMovedAside()
{
    QFETCH(int, damage);
    FinderTree tree;
    QTemporaryDir cacheDir;
    const QString cachePath = cacheDir.filePath(QStringLiteral("hashes.db"));
    // Enough files that the entries fill pages of their own beyond the first.
    for (int i = 0; i < 300; ++i)
        tree.file("f/" + QByteArray::number(i), content(char('A' + i / 2 % 26), 100 + i / 2));
    const Scan first = scan(tree, cachePath);
    QCOMPARE(first.rows.count(QStringLiteral("-")), 150);
    {
        HashCache closing(cachePath); // folds the write-ahead log into the file
        closing.load();
        QCOMPARE(closing.size(), size_t(300));
    }
    QFile file(cachePath);
    QVERIFY(file.open(QIODevice::ReadWrite));
    if (damage == 0) {
        QVERIFY(file.write(QByteArray(8192, '\x5a')) == 8192);
    } else if (damage == 2) {
        // SQLite finds nothing wrong: only the entries' own checksum can.
        QVERIFY(runSql(cachePath, "UPDATE chunks SET entries = zeroblob(length(entries)) "
                                  "WHERE chunk = (SELECT max(chunk) FROM chunks)"));
    } else {
        // Every page after the first two: the entries' leaves.
        QVERIFY(file.size() > 4 * 4096);
        for (qint64 at = 2 * 4096; at < file.size(); at += 4096) {
            file.seek(at);
            file.write(QByteArray(64, '\xff'));
        }
    }
    file.close();

    const Scan second = scan(tree, cachePath);
    QCOMPARE(second.rows, first.rows);
    QCOMPARE(second.signedFromCache, 0);
    QVERIFY(!second.movedAside.isEmpty());
    QVERIFY(QFileInfo::exists(second.movedAside));
    // A new cache was started beside it and serves the next scan.
    QCOMPARE(scan(tree, cachePath).signedFromCache, 300);
}

void TestHashCache::entriesUnseenForSixtyDaysGo()
{
    QTemporaryDir cacheDir;
    const QString cachePath = cacheDir.filePath(QStringLiteral("hashes.db"));
    const HashCacheKey old{1, 10, 100, 5, 6};
    const HashCacheKey used{1, 11, 100, 5, 6};
    const HashCacheKey fresh{1, 12, 100, 5, 6};
    {
        HashCache cache(cachePath);
        cache.load();
        cache.today = 1000;
        cache.putEdges(old, 1, {1, 2});
        cache.putEdges(used, 1, {3, 4});
        QVERIFY(cache.save());
    }
    {
        HashCache cache(cachePath);
        cache.load();
        cache.today = 1000 + HashCache::kKeepDays - 1;
        QVERIFY(cache.find(used)); // seen again: kept another 60 days
        QVERIFY(cache.save());
    }
    HashCache cache(cachePath);
    cache.load();
    cache.today = 1000 + HashCache::kKeepDays + 1;
    cache.putEdges(fresh, 1, {5, 6});
    QVERIFY(cache.save());
    HashCache reread(cachePath);
    reread.load();
    QVERIFY(!reread.find(old));
    QVERIFY(reread.find(used));
    QVERIFY(reread.find(fresh));
    // A key that changed in any part is not the file that was hashed.
    HashCacheKey changed = used;
    changed.changed += 1;
    QVERIFY(!reread.find(changed));
}

// A cache written by the first layout, a row per entry, still serves, and
// its first save converts it.
void TestHashCache::rowsOfTheFirstLayoutAreKept()
{
    QTemporaryDir cacheDir;
    const QString cachePath = cacheDir.filePath(QStringLiteral("hashes.db"));
    const HashCacheKey key{1, 10, 100, 5, 6};
    const qint64 today = HashCache(cachePath).today;
    const QByteArray rows =
        "CREATE TABLE hashes(device INTEGER NOT NULL, inode INTEGER NOT NULL, size INTEGER NOT "
        "NULL, modified INTEGER NOT NULL, changed INTEGER NOT NULL, signature INTEGER NOT NULL, "
        "edges BLOB NOT NULL, whole BLOB, seen INTEGER NOT NULL, PRIMARY KEY(device, inode)) "
        "WITHOUT ROWID; PRAGMA user_version=1; "
        "INSERT INTO hashes VALUES(1, 10, 100, 5, 6, 7, "
        "x'01000000000000000200000000000000', NULL, " +
        QByteArray::number(today) + ")";
    QVERIFY(runSql(cachePath, rows.constData()));
    for (int pass = 0; pass < 2; ++pass) {
        HashCache cache(cachePath);
        cache.load();
        const HashCacheEntry *entry = cache.find(key);
        QVERIFY2(entry, pass == 0 ? "as rows" : "as chunks");
        QCOMPARE(entry->signature, 7);
        QCOMPARE(entry->edges, (ContentHash{1, 2}));
        QVERIFY(!entry->hasWhole);
        QVERIFY(cache.save());
    }
    QCOMPARE(sqlValue(cachePath, "PRAGMA user_version"), 2);
    QCOMPARE(sqlValue(cachePath, "SELECT count(*) FROM sqlite_master WHERE name = 'hashes'"), 0);
}

// Enough entries to grow the in-memory table many times over, with inodes
// shared across devices: each is found again, before and after a reload.
void TestHashCache::manyEntriesOutgrowTheTable()
{
    QTemporaryDir cacheDir;
    const QString cachePath = cacheDir.filePath(QStringLiteral("hashes.db"));
    constexpr int kCount = 30000;
    const auto keyOf = [](int i) {
        return HashCacheKey{quint64(1 + i % 3), quint64(i / 3 + 2), 100 + i, 5, 6};
    };
    const auto check = [&](HashCache &cache) {
        for (int i = 0; i < kCount; ++i) {
            const HashCacheEntry *entry = cache.find(keyOf(i));
            if (!entry || entry->edges.low != quint64(i) || entry->signature != i) return i;
        }
        return -1;
    };
    {
        HashCache cache(cachePath);
        cache.load();
        for (int i = 0; i < kCount; ++i)
            cache.putEdges(keyOf(i), i, {quint64(i), 7});
        QCOMPARE(cache.size(), size_t(kCount));
        QCOMPARE(check(cache), -1);
        QVERIFY(cache.save());
    }
    HashCache reread(cachePath);
    reread.load();
    QCOMPARE(reread.size(), size_t(kCount));
    QCOMPARE(check(reread), -1);
    QVERIFY(!reread.find(HashCacheKey{4, 2, 100, 5, 6})); // a device never seen
    QVERIFY(!reread.find(HashCacheKey{1, kCount, 100, 5, 6}));
}

void TestHashCache::offLeavesNoCache()
{
    FinderTree tree;
    tree.file("a", content('1'));
    tree.file("b", content('1'));
    QTemporaryDir cacheDir;
    const QString cachePath = cacheDir.filePath(QStringLiteral("hashes.db"));
    QCOMPARE(scan(tree, cachePath, false).rows, (QStringList{"-", "a", "b"}));
    QVERIFY(!QFileInfo::exists(cachePath));
}

// "Require same date/time" reads nothing to sign: the cache serves only whole
// hashes, and a large file's head-and-tail hash is never taken for one.
void TestHashCache::byTimeTakesOnlyWholeHashes()
{
    FinderTree tree;
    const QDateTime when(QDate(2020, 5, 6), QTime(7, 8, 10));
    const QList<QPair<QByteArray, QByteArray>> files = {
        {"s1", "small"},      {"s2", "small"},      {"s3", "SMALL"}, // small: edges are the content
        {"l1", content('1')}, {"l2", content('1')}, {"l3", content('2')}};
    for (const auto &[name, bytes] : files) {
        tree.file(name, bytes);
        tree.setModified(name, when);
    }
    QTemporaryDir cacheDir;
    const QString cachePath = cacheDir.filePath(QStringLiteral("hashes.db"));
    const QStringList expected{"-", "l1", "l2", "-", "s1", "s2"};
    QCOMPARE(scan(tree, cachePath).rows, expected);
    const Scan byTime = scan(tree, cachePath, true, true);
    QCOMPARE(byTime.rows, expected);
    QCOMPARE(byTime.signedFromCache, 6);
    QCOMPARE(byTime.wholeFromCache, 6);
}

CLARIVEX_TEST_MAIN_CORE(TestHashCache)
#include "tst_hash_cache.moc"
