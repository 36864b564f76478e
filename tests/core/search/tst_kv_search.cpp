#include "core/search/kv_search.h"
#include "support/test_main.h"

#include <QRandomGenerator>

using namespace clarivex;

class TestKvSearch : public QObject
{
    Q_OBJECT
private slots:
    void findFirst_data();
    void findFirst();
    void findNextDoesNotOverlap();
    void emptyPatternAndShortText();
    void containsAgreesWithPlainSearch();
};

void TestKvSearch::findFirst_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qsizetype>("position");
    QTest::newRow("bbbb in aaabbbba")
        << QByteArray("bbbb") << QByteArray("aaabbbba") << qsizetype(4);
    QTest::newRow("case folds") << QByteArray("ABC") << QByteArray("xxabcxx") << qsizetype(3);
    QTest::newRow("at the start") << QByteArray("ab") << QByteArray("abxx") << qsizetype(1);
    QTest::newRow("at the very end") << QByteArray("xyz") << QByteArray("aaxyz") << qsizetype(3);
    QTest::newRow("whole text") << QByteArray("same") << QByteArray("SAME") << qsizetype(1);
    QTest::newRow("absent") << QByteArray("abd") << QByteArray("abcabcab") << qsizetype(0);
    QTest::newRow("empty text") << QByteArray("a") << QByteArray() << qsizetype(0);
    QTest::newRow("zero bytes in text")
        << QByteArray("q") << QByteArray("\0\0q", 3) << qsizetype(3);
    QTest::newRow("high bytes compare as they are")
        << QByteArray("\xC3\xA9") << QByteArray("x\xC3\xA9y") << qsizetype(2);
}

void TestKvSearch::findFirst()
{
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, text);
    QFETCH(qsizetype, position);
    TKvSearch search;
    search.SetPattern(pattern);
    QCOMPARE(search.FindFirst(text), position);
    QCOMPARE(search.Found(), position > 0);
    QCOMPARE(search.FoundPos(), position);
    QCOMPARE(search.Count(), position > 0 ? 1 : 0);
    QCOMPARE(search.contains(text.constData(), text.size()), position > 0);
}

void TestKvSearch::findNextDoesNotOverlap()
{
    TKvSearch search;
    search.SetPattern("aa");
    QCOMPARE(search.FindFirst("aaaaa"), 1);
    QCOMPARE(search.FindNext(), 3);
    QCOMPARE(search.FindNext(), 0); // "a" is left
    QCOMPARE(search.Count(), 2);
    QVERIFY(!search.Found());
    QCOMPARE(search.FoundPos(), 0);
    QCOMPARE(search.FindNext(), 0);

    // A new FindFirst starts over.
    QCOMPARE(search.FindFirst("xAAx"), 2);
    QCOMPARE(search.Count(), 1);
}

void TestKvSearch::emptyPatternAndShortText()
{
    TKvSearch search;
    QCOMPARE(search.FindFirst("anything"), 0);
    QCOMPARE(search.FindNext(), 0);
    search.SetPattern("longer");
    QCOMPARE(search.FindFirst("long"), 0);
    QCOMPARE(search.FindNext(), 0);
}

// The block search of the finder takes a faster road than FindFirst; both
// must agree on every text, wherever the match lies.
void TestKvSearch::containsAgreesWithPlainSearch()
{
    QRandomGenerator random(7);
    const QByteArray alphabet = "abAB\xC3\xA9\0 ";
    for (int round = 0; round < 3000; ++round) {
        QByteArray pattern;
        const int m = 1 + random.bounded(5);
        for (int i = 0; i < m; ++i)
            pattern += alphabet[random.bounded(alphabet.size())];
        QByteArray text;
        const int n = random.bounded(80);
        for (int i = 0; i < n; ++i)
            text += alphabet[random.bounded(alphabet.size())];
        TKvSearch search;
        search.SetPattern(pattern);
        bool expected = false;
        for (qsizetype at = 0; at + m <= text.size() && !expected; ++at) {
            expected = true;
            for (int i = 0; i < m; ++i)
                expected = expected &&
                           search.lower(uchar(text[at + i])) == search.lower(uchar(pattern[i]));
        }
        QCOMPARE(search.contains(text.constData(), text.size()), expected);
        QCOMPARE(search.FindFirst(text) > 0, expected);
    }
}

CLARIVEX_TEST_MAIN_CORE(TestKvSearch)
#include "tst_kv_search.moc"
