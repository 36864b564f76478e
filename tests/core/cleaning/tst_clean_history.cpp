// The clean history: what a clean killed halfway leaves (and that undo puts
// every file back from it), pruning by age, and the undo of a duplicate
// replaced by a hard link.

#include "cleaning_fixture.h"

#include "core/base/settings_types.h"
#include "core/cleaning/clean_history.h"
#include "core/cleaning/clean_operation.h"
#include "core/cleaning/clean_undo.h"
#include "core/shell/custom_registry.h"
#include "core/shell/registry_database.h"
#include "support/test_main.h"

#include <QTemporaryDir>

#include <csignal>

using namespace clarivex;
using namespace clarivex::cleaning;
using namespace clarivex::test;

namespace {

void writeFile(const QByteArray &path, const QByteArray &content)
{
    QFile file(QFile::decodeName(path));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void storeKeepDays(int days)
{
    {
        TRegIniFile ini{QString::fromLatin1(kSettingsRoot)};
        ini.WriteNumber("Settings\\Options", "HistoryDays", days);
    }
    RegistryDatabase::closeInstance();
}

} // namespace

class TestCleanHistory : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void killedCleanLeavesAnHonestRecord();
    void oldEntriesArePruned_data();
    void oldEntriesArePruned();
    void linkBecomesAFileOfItsOwn();
    void relativePathIsRecordedAbsolute();

private:
    QByteArray m_root;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCleanHistory::init()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"}) {
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
        QFile::remove(CleanHistory::defaultPath() + suffix);
    }
    m_dir = std::make_unique<QTemporaryDir>();
    m_root = QFile::encodeName(m_dir->path());
}

// A Trash clean of 600 files killed (SIGKILL) while file 300 is in hand:
// the first batch is recorded done, the second begun, the rest not at all.
// The listing finds the 300 files in the Trash, and undo brings back every
// one; the files never reached are reported in place.
void TestCleanHistory::killedCleanLeavesAnHonestRecord()
{
    constexpr int kFiles =
        2 * int(CleanRecorder::kBatch) + 88; // the kill comes in the second batch
    constexpr int kKilledAt = int(CleanRecorder::kBatch) + 44;
    QList<CleanRow> rows;
    QDir().mkpath(QFile::decodeName(m_root + "/junk"));
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray path = m_root + "/junk/f" + QByteArray::number(i) + ".tmp";
        writeFile(path, "file " + QByteArray::number(i));
        rows << CleanRow{path, readIdentity(path)};
    }
    const int status = runInChild([&] {
        SystemProtection protection;
        CleanPrompts prompts;
        prompts.progress = [](const FileOpProgress &progress) {
            if (progress.done == kKilledAt) ::kill(::getpid(), SIGKILL);
            return true;
        };
        CleanOperation clean(protection, prompts);
        CleanHistory history;
        CleanRecorder recorder(history, CleanTrigger::Scheduled);
        clean.recorder = &recorder;
        CleanSettings settings;
        settings.AutoCleaning = true;
        (void)clean.run(rows, settings);
        return 0;
    });
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    CleanHistory history;
    const QList<HistoryClean> cleans = history.cleans();
    QCOMPARE(cleans.size(), 1);
    QVERIFY(!cleans[0].finished);
    QCOMPARE(cleans[0].trigger, CleanTrigger::Scheduled);
    const QList<HistoryFile> files = history.files(cleans[0].id);
    QCOMPARE(files.size(), 2 * CleanRecorder::kBatch);
    for (qsizetype i = 0; i < files.size(); ++i) {
        QCOMPARE(files[i].path, rows[i].path);
        QCOMPARE(files[i].state,
                 i < CleanRecorder::kBatch ? RecordState::Done : RecordState::Begun);
    }
    QCOMPARE(files[0].where, Whereabouts::Trash);
    QCOMPARE(restorableCount(history, cleans[0]), kKilledAt);

    const UndoReport report = undoClean(history, cleans[0]);
    QVERIFY(report.allBack());
    QCOMPARE(report.count(UndoFate::Restored), kKilledAt);
    QCOMPARE(report.count(UndoFate::InPlace), 2 * CleanRecorder::kBatch - kKilledAt);
    for (int i = 0; i < kFiles; ++i)
        QCOMPARE(readBytes(rows[i].path), "file " + QByteArray::number(i));
    QCOMPARE(namesIn(qgetenv("XDG_DATA_HOME") + "/Trash/info").size(), 0);
}

void TestCleanHistory::oldEntriesArePruned_data()
{
    QTest::addColumn<int>("storedDays"); // 0: none stored
    QTest::addColumn<int>("kept");       // of entries 10, 60 and 120 days old
    QTest::newRow("default 90 days") << 0 << 2;
    QTest::newRow("30 days") << 30 << 1;
    QTest::newRow("365 days") << 365 << 3;
}

void TestCleanHistory::oldEntriesArePruned()
{
    QFETCH(int, storedDays);
    QFETCH(int, kept);
    if (storedDays) storeKeepDays(storedDays);
    {
        CleanHistory history;
        const QDateTime now = QDateTime::currentDateTime();
        for (int age : {10, 60, 120}) {
            const qint64 id =
                history.beginClean(HistoryMode::Delete, CleanTrigger::User, {}, now.addDays(-age));
            HistoryFile file;
            file.path = "/old/" + QByteArray::number(age);
            QVERIFY(history.writeBatch(id, {}, {file}));
        }
    }
    // A new clean prunes before it writes its own entry.
    const QByteArray path = m_root + "/new.tmp";
    writeFile(path, "new");
    SystemProtection protection;
    CleanOperation clean(protection, {});
    CleanHistory history;
    CleanRecorder recorder(history, CleanTrigger::User);
    clean.recorder = &recorder;
    CleanSettings settings;
    settings.DeleteType = quint8(CleanMode::Delete);
    settings.AutoCleaning = true;
    QCOMPARE(clean.run({{path, readIdentity(path)}}, settings).count(RowFate::Cleaned), 1);
    recorder.finish();
    const QList<HistoryClean> cleans = history.cleans();
    QCOMPARE(cleans.size(), kept + 1);
    QCOMPARE(history.files(cleans.first().id).first().where, Whereabouts::Deleted);
    for (const HistoryClean &entry : cleans)
        QVERIFY(entry.when > QDateTime::currentDateTime().addDays(-(storedDays ? storedDays : 90)));
}

// A duplicate replaced by a hard link of the copy kept (recorded as the
// duplicate tools record it) is made a file of its own again by undo.
void TestCleanHistory::linkBecomesAFileOfItsOwn()
{
    const QByteArray kept = m_root + "/kept.dat";
    const QByteArray linked = m_root + "/copy.dat";
    writeFile(kept, "same contents");
    writeFile(linked, "same contents");
    const std::optional<FileIdentity> before = readIdentity(linked);
    QVERIFY(::unlink(linked.constData()) == 0 && ::link(kept.constData(), linked.constData()) == 0);
    CleanHistory history;
    const qint64 id = history.beginClean(HistoryMode::Link, CleanTrigger::User);
    HistoryFile file;
    file.path = linked;
    file.identity = *before;
    QList<qint64> ids;
    QVERIFY(history.writeBatch(id, {}, {file}, &ids));
    file.id = ids.first();
    file.state = RecordState::Done;
    file.where = Whereabouts::Linked;
    file.place = kept;
    file.placeIdentity = readIdentity(kept);
    QVERIFY(history.writeBatch(id, {file}, {}));
    QVERIFY(history.finishClean(id));

    const UndoReport report = undoClean(history, *history.clean(id));
    QCOMPARE(report.count(UndoFate::Restored), 1);
    struct stat a, b;
    QVERIFY(::lstat(kept.constData(), &a) == 0 && ::lstat(linked.constData(), &b) == 0);
    QVERIFY(a.st_ino != b.st_ino);
    QCOMPARE(a.st_nlink, nlink_t(1));
    QCOMPARE(readBytes(linked), QByteArray("same contents"));
    QCOMPARE(restorableCount(history, *history.clean(id)), 0);
}

// A clean given a path relative to the folder it runs in (a command line run
// from there) is undone later from anywhere.
void TestCleanHistory::relativePathIsRecordedAbsolute()
{
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QFile::decodeName(m_root)));
    writeFile("here.tmp", "relative");
    SystemProtection protection;
    CleanOperation clean(protection, {});
    CleanHistory history;
    CleanRecorder recorder(history, CleanTrigger::Cli);
    clean.recorder = &recorder;
    CleanSettings settings;
    settings.DeleteType = quint8(CleanMode::MoveToFolder);
    settings.MoveFolderPath = "backups";
    settings.AutoCleaning = true;
    QCOMPARE(clean.run({{"here.tmp", readIdentity("here.tmp")}}, settings).count(RowFate::Cleaned),
             1);
    recorder.finish();
    QVERIFY(QDir::setCurrent(before));
    const HistoryClean entry = history.cleans().first();
    QCOMPARE(entry.destination, m_root + "/backups/");
    QCOMPARE(history.files(entry.id).first().path, m_root + "/here.tmp");
    QCOMPARE(history.files(entry.id).first().place, m_root + "/backups/here.tmp");
    QVERIFY(undoClean(history, entry).allBack());
    QCOMPARE(readBytes(m_root + "/here.tmp"), QByteArray("relative"));
}

CLARIVEX_TEST_MAIN_CORE(TestCleanHistory)
#include "tst_clean_history.moc"
