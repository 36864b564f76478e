#include "core/search/kv_mask.h"
#include "support/test_main.h"

using namespace clarivex;

class TestKvMask : public QObject
{
    Q_OBJECT
private slots:
    void maskList_data();
    void maskList();
    void matcher_data();
    void matcher();
    void factoryGroups_data();
    void factoryGroups();
    void namesAreLoweredOnce();
};

void TestKvMask::maskList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("masks");
    QTest::newRow("empty text is every name") << ""
                                              << "*";
    QTest::newRow("trailing ';' gives one mask") << "*.tmp;"
                                                 << "*.tmp";
    QTest::newRow("comma, blanks, sorted") << "*.tmp, *.bak"
                                           << "*.bak;*.tmp";
    QTest::newRow("lower-cased") << "*.TMP;FILE????._DD"
                                 << "*.tmp;file????._dd";
    QTest::newRow("word becomes *word*") << "tmp"
                                         << "*tmp*";
    QTest::newRow("star without dot gets a star") << "*~"
                                                  << "*~*";
    QTest::newRow("star at the end stays") << "abc*"
                                           << "abc*";
    QTest::newRow("empty piece becomes **") << "*.a;;*.b"
                                            << "**;*.a;*.b";
    QTest::newRow("duplicates stay") << "*.a;*.A"
                                     << "*.a;*.a";
    QTest::newRow("control characters trimmed") << "\t*.log \r\n;"
                                                << "*.log";
    QTest::newRow("dot without star unchanged") << "readme.txt"
                                                << "readme.txt";
}

void TestKvMask::maskList()
{
    QFETCH(QString, text);
    QFETCH(QString, masks);
    TKvMaskList list;
    list.setText(text);
    QCOMPARE(list.text(), masks);
}

void TestKvMask::matcher_data()
{
    QTest::addColumn<QByteArray>("mask");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("matches");
    QTest::newRow("* any") << QByteArray("*") << QByteArray("readme") << true;
    QTest::newRow("*.* needs a dot") << QByteArray("*.*") << QByteArray("readme") << false;
    QTest::newRow("*.* with a dot") << QByteArray("*.*") << QByteArray("a.b") << true;
    QTest::newRow("*tmp* inside") << QByteArray("*tmp*") << QByteArray("mytmpfile.doc") << true;
    QTest::newRow("???? four") << QByteArray("file????._dd") << QByteArray("file0001._dd") << true;
    QTest::newRow("???? two") << QByteArray("file????._dd") << QByteArray("file01._dd") << false;
    QTest::newRow("no backtracking *abc") << QByteArray("*abc") << QByteArray("abcabc") << false;
    QTest::newRow("no backtracking *.tmp")
        << QByteArray("*.tmp") << QByteArray("a.tmp.tmp") << false;
    QTest::newRow("*.tmp") << QByteArray("*.tmp") << QByteArray("a.tmp") << true;
    QTest::newRow("~*.*") << QByteArray("~*.*") << QByteArray("~wrl0001.tmp") << true;
    QTest::newRow("~*.* needs the ~ first")
        << QByteArray("~*.*") << QByteArray("x~wrl.tmp") << false;
    QTest::newRow("trailing ? after * demands nothing")
        << QByteArray("a*?") << QByteArray("a") << true;
    QTest::newRow("? past the end") << QByteArray("ab?") << QByteArray("ab") << false;
    QTest::newRow("exact") << QByteArray("mscreate.dir") << QByteArray("mscreate.dir") << true;
    QTest::newRow("exact is whole")
        << QByteArray("mscreate.dir") << QByteArray("mscreate.dirx") << false;
    QTest::newRow("literal prefix") << QByteArray("chklist.*") << QByteArray("chklist.ms") << true;
    QTest::newRow("literal prefix mismatch")
        << QByteArray("chklist.*") << QByteArray("chklistx.ms") << false;
    QTest::newRow("*.??~") << QByteArray("*.??~") << QByteArray("a.do~") << true;
    QTest::newRow("*.??~ binds the first dot")
        << QByteArray("*.??~") << QByteArray("a.b.cd~") << false;
    QTest::newRow("*.??$ too short") << QByteArray("*.??$") << QByteArray("a.b$") << false;
    QTest::newRow("*.^*") << QByteArray("*.^*") << QByteArray("x.^01") << true;
    QTest::newRow("** matches all") << QByteArray("**") << QByteArray("x") << true;
    QTest::newRow("? steps over a UTF-8 character") << QByteArray("file??._dd")
                                                    << QByteArray("file\xC3\xA9"
                                                                  "1._dd")
                                                    << true;
}

void TestKvMask::matcher()
{
    QFETCH(QByteArray, mask);
    QFETCH(QByteArray, name);
    QFETCH(bool, matches);
    QCOMPARE(MatchesMask(name, mask), matches);
}

void TestKvMask::factoryGroups_data()
{
    QTest::addColumn<QString>("masks");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("matches");
    const QString temporary = "*.TMP;*.~*;~*.*;*.??~;*.??$;*.^*;";
    QTest::newRow("upper-case name") << temporary << QByteArray("REPORT.TMP") << true;
    QTest::newRow("~ name") << temporary << QByteArray("~$letter.doc") << true;
    QTest::newRow("not temporary") << temporary << QByteArray("report.txt") << false;
    QTest::newRow("lost cluster") << "CHKLIST.*;*.CHK;FILE????._DD;" << QByteArray("FILE0007._DD")
                                  << true;
    QTest::newRow("log.txt") << "*.LOG.TXT;BOOTLOG.PRV;" << QByteArray("setup.log.txt") << true;
    QTest::newRow("bootlog.prv") << "*.LOG.TXT;BOOTLOG.PRV;" << QByteArray("BootLog.prv") << true;
    QTest::newRow("not UTF-8 kept as bytes") << "*.tmp" << QByteArray("caf\xE9.TMP") << true;
    QTest::newRow("non-ASCII capitals fold") << "\xC3\xBC*"
                                             << QByteArray("\xC3\x9C"
                                                           "ber.txt")
                                             << true;
}

void TestKvMask::factoryGroups()
{
    QFETCH(QString, masks);
    QFETCH(QByteArray, name);
    QFETCH(bool, matches);
    TKvMaskList list;
    list.setText(masks);
    QCOMPARE(list.MatchesAnyMask(name), matches);
}

void TestKvMask::namesAreLoweredOnce()
{
    // The scratch buffer is reused between names; a longer name before a
    // shorter one must not leave bytes behind.
    TKvMaskList list;
    list.setText("*.tmp");
    QByteArray scratch;
    const QByteArray longName = "a-long-name.tmp.bak";
    const QByteArray shortName = "X.TMP";
    QVERIFY(!list.MatchesAnyMask(longName.constData(), longName.size(), scratch));
    QVERIFY(list.MatchesAnyMask(shortName.constData(), shortName.size(), scratch));
    QCOMPARE(lowerName("Caf\xC3\x89.TMP"), QByteArray("caf\xC3\xA9.tmp"));
    QCOMPARE(lowerName("CAF\xC9.TMP"), QByteArray("caf\xC9.tmp"));
}

CLARIVEX_TEST_MAIN_CORE(TestKvMask)
#include "tst_kv_mask.moc"
