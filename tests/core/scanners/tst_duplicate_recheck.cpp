// The last look before a duplicate is cleaned, on real files changed after
// the scan saw them.

#include "core/scanners/duplicate_recheck.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <unistd.h>

using namespace clarivex;
using clarivex::test::FinderTree;

class TestDuplicateRecheck : public QObject
{
    Q_OBJECT
private slots:
    void afterTheScan_data();
    void afterTheScan();
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

CLARIVEX_TEST_MAIN_CORE(TestDuplicateRecheck)
#include "tst_duplicate_recheck.moc"
