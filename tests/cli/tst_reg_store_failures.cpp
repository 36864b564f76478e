// clarivex-cli reg when the store is in trouble: names that are not UTF-8,
// names that would break a line, a damaged, read-only or full store, keys
// deeper than SQLite's nesting limit.

#include "support/cli_runner.h"
#include "support/process_limits.h"
#include "support/test_main.h"

#include "core/shell/custom_registry.h"
#include "core/shell/registry_database.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace clarivex;
using namespace clarivex::test;

namespace {

QString storePath()
{
    return RegistryDatabase::defaultPath();
}

void removeStore()
{
    RegistryDatabase::closeInstance();
    QDir().mkpath(QFileInfo(storePath()).absolutePath());
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(storePath() + suffix);
}

CliResult reg(const QList<QByteArray> &args)
{
    return runCli(QList<QByteArray>{"reg"} + args);
}

// A mount that is undone when the test ends; only root may make one.
class ScopedMount
{
public:
    ScopedMount(const QByteArray &source, const QByteArray &target, const char *type,
                unsigned long flags, const char *options = nullptr)
        : m_target(target)
    {
        m_ok = ::mount(source.constData(), target.constData(), type, flags, options) == 0;
    }
    ~ScopedMount()
    {
        if (m_ok) ::umount2(m_target.constData(), MNT_DETACH);
    }
    bool ok() const { return m_ok; }
    bool remountReadOnly()
    {
        return ::mount(nullptr, m_target.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                       nullptr) == 0;
    }

private:
    QByteArray m_target;
    bool m_ok = false;
};

mode_t modeOf(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

class TestRegStoreFailures : public QObject
{
    Q_OBJECT
private slots:
    void init() { removeStore(); }
    void cleanup() { RegistryDatabase::closeInstance(); }

    void bytesThatAreNotUtf8AreRefused_data();
    void bytesThatAreNotUtf8AreRefused();
    void listKeepsEveryNameOnOneField();
    void damagedNoticeOnEveryPath_data();
    void damagedNoticeOnEveryPath();
    void newStoreIsPrivate();
    void readOnlyStoreReadsAndNamesTheFile();
    void fullDiskIsSaid();
    void deepKeysDeleteAndExport();
    void tooDeepKeyIsRefused();
};

void TestRegStoreFailures::bytesThatAreNotUtf8AreRefused_data()
{
    QTest::addColumn<QList<QByteArray>>("second");
    const QByteArray key = "HKCU\\T";
    QTest::newRow("name") << QList<QByteArray>{"set", key, "\xfe", "--text", "two"};
    QTest::newRow("text") << QList<QByteArray>{"set", key, "other", "--text", "t\xfe"};
    QTest::newRow("key") << QList<QByteArray>{"set", key + "\\\xfe", "v", "--text", "two"};
    QTest::newRow("delete") << QList<QByteArray>{"delete", key, "\xfe"};
}

void TestRegStoreFailures::bytesThatAreNotUtf8AreRefused()
{
    QFETCH(QList<QByteArray>, second);
    // Before, both names became U+FFFD and the second write replaced the first.
    const CliResult first = reg({"set", "HKCU\\T", "\xff", "--text", "one"});
    QCOMPARE(first.exitCode, 1);
    QVERIFY2(first.err.contains("not valid UTF-8"), first.err.constData());
    QCOMPARE(reg({"set", "HKCU\\T", "\xef\xbf\xbd", "--text", "kept"}).exitCode, 0);
    const CliResult refused = reg(second);
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.err.contains("not valid UTF-8"), refused.err.constData());
    const CliResult list = reg({"list", "HKCU\\T"});
    QCOMPARE(list.out, QByteArray("\xef\xbf\xbd\tREG_SZ\tkept\n"));
}

void TestRegStoreFailures::listKeepsEveryNameOnOneField()
{
    const QByteArray key = "HKCU\\Odd";
    QCOMPARE(reg({"set", key + "\\sub\tkey", "v", "--text", "x"}).exitCode, 0);
    QCOMPARE(reg({"set", key, "tab\there", "--text", "a\\b\tc"}).exitCode, 0);
    QCOMPARE(reg({"set", key, "line\nbreak", "--number", "7"}).exitCode, 0);
    QCOMPARE(reg({"set", key, "back\\slash\\t", "--text", "plain"}).exitCode, 0);
    const CliResult list = reg({"list", key});
    QCOMPARE(list.exitCode, 0);
    QCOMPARE(list.out, QByteArray("sub\\tkey\n"
                                  "tab\\there\tREG_SZ\ta\\\\b\\tc\n"
                                  "line\\nbreak\tREG_DWORD\t7\n"
                                  "back\\\\slash\\\\t\tREG_SZ\tplain\n"));
    const CliResult json = reg({"list", key, "--json"});
    QCOMPARE(json.exitCode, 0);
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(json.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(root["subkeys"].toArray(), QJsonArray({"sub\tkey"}));
    const QJsonArray values = root["values"].toArray();
    QCOMPARE(values.size(), 3);
    QCOMPARE(values[0]["name"].toString(), "tab\there");
    QCOMPARE(values[0]["value"].toString(), "a\\b\tc");
    QCOMPARE(values[1]["name"].toString(), "line\nbreak");
    QCOMPARE(values[1]["value"].toInt(), 7);
    QCOMPARE(values[2]["name"].toString(), "back\\slash\\t");
}

void TestRegStoreFailures::damagedNoticeOnEveryPath_data()
{
    QTest::addColumn<bool>("freshFileFails");
    QTest::addColumn<QByteArray>("failure");
    QTest::newRow("the command fails") << false << QByteArray("no such key");
    QTest::newRow("the fresh file cannot be written")
        << true << QByteArray("Cannot open the settings database");
}

void TestRegStoreFailures::damagedNoticeOnEveryPath()
{
    QFETCH(bool, freshFileFails);
    QFETCH(QByteArray, failure);
    QFile file(storePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(8192, 'z'));
    file.close();
    // The file is moved aside, then something fails: both are said.
    CliResult result;
    {
        std::optional<ScopedLimit> limit;
        if (freshFileFails) limit.emplace(RLIMIT_FSIZE, 0); // the program ignores SIGXFSZ
        result = reg({"list", "HKCU\\Missing"});
    }
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(failure), result.err.constData());
    QVERIFY2(result.err.contains("was damaged. It was kept as"), result.err.constData());
}

void TestRegStoreFailures::newStoreIsPrivate()
{
    const mode_t mask = ::umask(0022);
    const CliResult result = reg({"set", "HKCU\\P", "v", "--text", "x"});
    ::umask(mask);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(modeOf(storePath()), mode_t(0600));
}

void TestRegStoreFailures::readOnlyStoreReadsAndNamesTheFile()
{
    QCOMPARE(reg({"set", "HKCU\\R", "v", "--text", "kept"}).exitCode, 0);
    const QByteArray db = QFile::encodeName(storePath());
    QVERIFY(::chmod(db.constData(), 0444) == 0);
    // The owner may still write a 0444 file when it is root: a read-only
    // bind mount of the file makes it read-only for everyone.
    std::optional<ScopedMount> mount;
    if (::geteuid() == 0) {
        mount.emplace(db, db, nullptr, MS_BIND);
        if (!mount->ok() || !mount->remountReadOnly()) QSKIP("cannot make a read-only mount");
    }
    const CliResult read = reg({"get", "HKCU\\R", "v"});
    QCOMPARE(read.err, QByteArray());
    QCOMPARE(read.out, QByteArray("kept\n"));
    const CliResult write = reg({"set", "HKCU\\R", "w", "--text", "x"});
    QCOMPARE(write.exitCode, 1);
    QVERIFY2(write.err.contains("the settings file " + db + " is read-only"),
             write.err.constData());
    // No side file is left that a later run could not write.
    for (const char *suffix : {"-wal", "-shm"}) {
        const QString side = storePath() + suffix;
        QVERIFY2(!QFile::exists(side) || (modeOf(side) & S_IWUSR), suffix);
    }
    mount.reset();
    QVERIFY(::chmod(db.constData(), 0600) == 0);
    QCOMPARE(reg({"set", "HKCU\\R", "w", "--text", "x"}).exitCode, 0);
}

void TestRegStoreFailures::fullDiskIsSaid()
{
    const QString folder = QFileInfo(storePath()).absolutePath();
    ScopedMount tmpfs("tmpfs", QFile::encodeName(folder), "tmpfs", 0, "size=256k");
    if (!tmpfs.ok()) QSKIP("a small tmpfs needs root");
    QCOMPARE(reg({"set", "HKCU\\F", "v1", "--text", "one"}).exitCode, 0);
    QCOMPARE(reg({"set", "HKCU\\F", "v2", "--text", "two"}).exitCode, 0);
    // This process keeps the store open, as the window would.
    TRegistry holder;
    QVERIFY(holder.KeyExists("\\F"));
    QFile filler(folder + "/filler");
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    while (filler.write("f", 1) == 1 && filler.flush()) {
    }
    filler.close();

    const QByteArray full = " is full";
    const CliResult value = reg({"delete", "HKCU\\F", "v1"});
    QCOMPARE(value.exitCode, 1);
    QVERIFY2(value.err.contains(full) && !value.err.contains("no such"), value.err.constData());
    const CliResult key = reg({"delete", "HKCU\\F"});
    QCOMPARE(key.exitCode, 1);
    QVERIFY2(key.err.contains(full) && !key.err.contains("no such"), key.err.constData());
    const CliResult set = reg({"set", "HKCU\\F", "v3", "--text", "x"});
    QCOMPARE(set.exitCode, 1);
    QVERIFY2(set.err.contains(full), set.err.constData());
    QCOMPARE(reg({"get", "HKCU\\F", "v1"}).out, QByteArray("one\n"));
    // Without any process holding it open the store still reads.
    RegistryDatabase::closeInstance();
    QCOMPARE(reg({"get", "HKCU\\F", "v2"}).out, QByteArray("two\n"));
    QVERIFY(reg({"set", "HKCU\\F", "v3", "--text", "x"}).err.contains(full));
    QFile::remove(folder + "/filler");
}

void TestRegStoreFailures::deepKeysDeleteAndExport()
{
    // A store written before keys had a depth limit may hold deeper ones.
    QCOMPARE(reg({"set", "HKCU\\Deep", "top", "--text", "t"}).exitCode, 0);
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(storePath()).constData(), &db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db,
                          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                          "WHERE i < 1200) INSERT INTO keys(id, parent, name, fold) "
                          "SELECT 1000 + i, CASE i WHEN 1 THEN (SELECT id FROM keys WHERE "
                          "fold = 'deep') ELSE 999 + i END, 'k', 'k' FROM n; "
                          "INSERT INTO vals(key, name, fold, type, data) "
                          "VALUES(2200, 'bottom', 'bottom', 1, CAST('b' AS BLOB));",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_close(db);
    const CliResult exported = reg({"export", "HKCU\\Deep"});
    QCOMPARE(exported.exitCode, 0);
    QCOMPARE(exported.out.count('['), 1201);
    QString last =
        "[HKEY_CURRENT_USER\\Deep" + QString("\\k").repeated(1200) + "]\n\"bottom\"=\"b\"\n\n";
    QVERIFY(exported.out.endsWith(last.toUtf8()));
    const CliResult deleted = reg({"delete", "HKCU\\Deep"});
    QCOMPARE(deleted.err, QByteArray());
    QCOMPARE(deleted.exitCode, 0);
    QCOMPARE(reg({"list", "HKCU"}).out, QByteArray());
    QVERIFY(sqlite3_open(QFile::encodeName(storePath()).constData(), &db) == SQLITE_OK);
    sqlite3_stmt *count = nullptr;
    sqlite3_prepare_v2(db, "SELECT (SELECT count(*) FROM keys), (SELECT count(*) FROM vals)", -1,
                       &count, nullptr);
    QCOMPARE(sqlite3_step(count), SQLITE_ROW);
    QCOMPARE(sqlite3_column_int(count, 0), 2); // the hives
    QCOMPARE(sqlite3_column_int(count, 1), 0);
    sqlite3_finalize(count);
    sqlite3_close(db);
}

void TestRegStoreFailures::tooDeepKeyIsRefused()
{
    const QByteArray path = "HKCU" + QByteArray("\\a").repeated(RegistryDatabase::kMaxKeyDepth);
    QCOMPARE(reg({"set", path, "v", "--text", "x"}).exitCode, 0);
    const CliResult deeper = reg({"set", path + "\\b", "v", "--text", "x"});
    QCOMPARE(deeper.exitCode, 1);
    QVERIFY2(deeper.err.endsWith("keys lie at most 512 levels below their hive\n"),
             deeper.err.right(200).constData());
    QCOMPARE(reg({"list", path + "\\b"}).exitCode, 1);
    QCOMPARE(reg({"delete", "HKCU\\a"}).exitCode, 0);
}

CLARIVEX_TEST_MAIN_CORE(TestRegStoreFailures)
#include "tst_reg_store_failures.moc"
