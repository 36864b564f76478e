// The last look before a duplicate is cleaned, on real files changed after
// the scan saw them.

#include "core/cleaning/clean_operation.h"
#include "core/scanners/duplicate_recheck.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace clarivex;
using clarivex::test::FinderTree;

namespace {

QByteArray readAll(const QByteArray &path)
{
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Opens a named pipe for writing after `ms` unless stopped first: a reader
// stuck waiting for a writer is set free, so a wrong wait fails the test
// instead of hanging it.
class PipeWatchdog
{
public:
    PipeWatchdog(const QByteArray &pipe, int ms)
        : m_thread([this, pipe, ms] {
              for (int waited = 0; waited < ms && !m_done; waited += 20)
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              if (m_done) return;
              const int fd = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
              if (fd >= 0) ::close(fd);
          })
    {
    }
    ~PipeWatchdog()
    {
        m_done = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

} // namespace

class TestDuplicateRecheck : public QObject
{
    Q_OBJECT
private slots:
    void afterTheScan_data();
    void afterTheScan();
    void eachDuplicateLookedAtWhenItGoes_data();
    void eachDuplicateLookedAtWhenItGoes();
    void namedPipeRefusedAtOnce();
};

void TestDuplicateRecheck::afterTheScan_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("reason"); // the start of it; empty: may be cleaned
    QTest::newRow("nothing changed") << QStringLiteral("") << QStringLiteral("");
    QTest::newRow("master rewritten, same size")
        << QStringLiteral("master=DATA") << QStringLiteral("no longer equal");
    QTest::newRow("master grew") << QStringLiteral("master=data+")
                                 << QStringLiteral("its master changed");
    QTest::newRow("master deleted")
        << QStringLiteral("master-") << QStringLiteral("its master is gone");
    QTest::newRow("master replaced by an equal copy")
        << QStringLiteral("master~") << QStringLiteral("its master was replaced");
    QTest::newRow("master replaced by a link to the duplicate")
        << QStringLiteral("master>dup") << QStringLiteral("its master changed");
    QTest::newRow("duplicate rewritten")
        << QStringLiteral("dup=DATA") << QStringLiteral("no longer equal");
    QTest::newRow("duplicate replaced by an equal copy")
        << QStringLiteral("dup~") << QStringLiteral("changed since the scan");
    QTest::newRow("duplicate made a hard link of the master")
        << QStringLiteral("dup<master") << QStringLiteral("changed since the scan");
}

void TestDuplicateRecheck::afterTheScan()
{
    QFETCH(QString, change);
    QFETCH(QString, reason);
    FinderTree tree;
    tree.file("x/master", "data");
    tree.file("y/dup", "data");
    const QByteArray master = tree.path("x/master");
    const QByteArray dup = tree.path("y/dup");
    const auto masterSeen = cleaning::readIdentity(master);
    const auto dupSeen = cleaning::readIdentity(dup);
    QVERIFY(masterSeen && dupSeen);

    const QByteArray what = change.toUtf8();
    const QByteArray target = what.startsWith("master") ? master : dup;
    const QByteArray rest = what.mid(what.startsWith("master") ? 6 : 3);
    if (rest.startsWith('=')) {
        // Rewritten in place: same inode, other bytes.
        QFile file(QFile::decodeName(target));
        QVERIFY(file.open(QIODevice::ReadWrite | QIODevice::Truncate));
        file.write(rest.mid(1));
    } else if (rest == "-") {
        QCOMPARE(::unlink(target.constData()), 0);
    } else if (rest == "~") {
        // A new file renamed over the old one: another inode, the same bytes.
        const QByteArray copy = target + ".new";
        QFile file(QFile::decodeName(copy));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("data");
        file.close();
        QCOMPARE(::rename(copy.constData(), target.constData()), 0);
    } else if (rest == ">dup") {
        QCOMPARE(::unlink(master.constData()), 0);
        QCOMPARE(::symlink(dup.constData(), master.constData()), 0);
    } else if (rest == "<master") {
        QCOMPARE(::unlink(dup.constData()), 0);
        QCOMPARE(::link(master.constData(), dup.constData()), 0);
    }
    const QString got = duplicateKeepReason(master, *masterSeen, dup, *dupSeen);
    if (reason.isEmpty())
        QCOMPARE(got, QString());
    else
        QVERIFY2(got.startsWith(reason), qPrintable(got));
}

void TestDuplicateRecheck::eachDuplicateLookedAtWhenItGoes_data()
{
    QTest::addColumn<quint8>("mode");
    QTest::newRow("delete") << quint8(cleaning::CleanMode::Delete);
    QTest::newRow("move") << quint8(cleaning::CleanMode::MoveToFolder);
}

// Three sets cleaned in one run; while the first duplicate goes, the masters
// of the two later sets are changed (one rewritten in place, one deleted).
// Their duplicates, still the only copies of the data, must stay.
void TestDuplicateRecheck::eachDuplicateLookedAtWhenItGoes()
{
    QFETCH(quint8, mode);
    FinderTree tree;
    const char *const contents[] = {"first", "second", "third!"};
    QList<cleaning::CleanRow> rows;
    QList<QByteArray> masters;
    QList<cleaning::FileIdentity> masterSeen;
    for (int set = 0; set < 3; ++set) {
        const QByteArray name = QByteArray::number(set);
        tree.file("x/" + name, contents[set]);
        tree.file("y/" + name, contents[set]);
        masters << tree.path("x/" + name);
        masterSeen << *cleaning::readIdentity(masters.last());
        rows << cleaning::CleanRow{tree.path("y/" + name),
                                   cleaning::readIdentity(tree.path("y/" + name))};
    }
    cleaning::CleanPrompts prompts;
    prompts.progress = [&](const cleaning::FileOpProgress &step) {
        if (step.done != 1) return true; // the first duplicate is gone
        QFile file(QFile::decodeName(masters[1]));
        if (file.open(QIODevice::ReadWrite)) file.write("SECOND");
        (void)::unlink(masters[2].constData());
        return true;
    };
    const cleaning::SystemProtection protection;
    cleaning::CleanOperation clean(protection, prompts);
    clean.lastLook = [&](qsizetype row, cleaning::FileIdentity &expected) {
        const DuplicateLook look =
            lookAtDuplicate(masters[row], masterSeen[row], rows[row].path, *rows[row].seen);
        if (look.keepReason.isEmpty()) expected = look.compared;
        return look.keepReason;
    };
    cleaning::CleanSettings settings;
    settings.DeleteType = mode;
    settings.MoveFolderPath = tree.path("backup");
    settings.ConfirmDelete = false;
    const cleaning::CleanReport report = clean.run(rows, settings);
    QCOMPARE(report.rows[0].fate, cleaning::RowFate::Cleaned);
    QCOMPARE(report.rows[1].fate, cleaning::RowFate::Kept);
    QVERIFY2(report.rows[1].reason.startsWith("no longer equal"),
             qPrintable(report.rows[1].reason));
    QCOMPARE(report.rows[2].fate, cleaning::RowFate::Kept);
    QCOMPARE(report.rows[2].reason, QStringLiteral("its master is gone"));
    QCOMPARE(readAll(rows[1].path), QByteArray("second"));
    QCOMPARE(readAll(rows[2].path), QByteArray("third!"));

    // A dry run takes the same look and says the same.
    const cleaning::CleanReport dry = clean.check(rows);
    QCOMPARE(dry.rows[1].fate, cleaning::RowFate::Kept);
    QCOMPARE(dry.rows[2].reason, QStringLiteral("its master is gone"));
}

// A named pipe put in the place of a master or a duplicate is refused at
// once: opening it for reading would wait for a writer for ever.
void TestDuplicateRecheck::namedPipeRefusedAtOnce()
{
    for (const char *which : {"master", "dup"}) {
        FinderTree tree;
        tree.file("x/master", "data");
        tree.file("y/dup", "data");
        const QByteArray master = tree.path("x/master");
        const QByteArray dup = tree.path("y/dup");
        const auto masterSeen = cleaning::readIdentity(master);
        const auto dupSeen = cleaning::readIdentity(dup);
        const QByteArray pipe = tree.path(which == QByteArray("master") ? "x/master" : "y/dup");
        QCOMPARE(::unlink(pipe.constData()), 0);
        QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
        QElapsedTimer clock;
        clock.start();
        QString reason;
        {
            const PipeWatchdog watchdog(pipe, 3000);
            reason = duplicateKeepReason(master, *masterSeen, dup, *dupSeen);
        }
        QVERIFY2(clock.elapsed() < 2000, which);
        QVERIFY2(!reason.isEmpty(), which);
    }
}

CLARIVEX_TEST_MAIN_CORE(TestDuplicateRecheck)
#include "tst_duplicate_recheck.moc"
