// The text search on texts and patterns that defeat a plain shift rule:
// every match found, in time linear in the text, and the finder's pump
// running often inside one file.

#include "core/search/kv_find_file.h"
#include "core/search/kv_search.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <QRandomGenerator>

#include <ctime>

using namespace clarivex;
using namespace clarivex::test;

namespace {
// Every non-overlapping match (1-based), by plain comparison.
QList<qsizetype> plainMatches(const TKvSearch &search, const QByteArray &pattern,
                              const QByteArray &text)
{
    QList<qsizetype> found;
    const qsizetype m = pattern.size();
    for (qsizetype at = 0; m > 0 && at + m <= text.size();) {
        qsizetype i = 0;
        while (i < m && search.lower(uchar(text[at + i])) == search.lower(uchar(pattern[i])))
            ++i;
        if (i == m) {
            found << at + 1;
            at += m;
        } else {
            ++at;
        }
    }
    return found;
}

qint64 threadCpuNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}
} // namespace

class TestKvSearchLinear : public QObject
{
    Q_OBJECT
private slots:
    void everyMatchOnRepetitiveTexts_data();
    void everyMatchOnRepetitiveTexts();
    void pumpRunsOftenInsideOneFile_data();
    void pumpRunsOftenInsideOneFile();
};

void TestKvSearchLinear::everyMatchOnRepetitiveTexts_data()
{
    QTest::addColumn<QByteArray>("alphabet");
    QTest::addColumn<int>("longestPattern");
    QTest::addColumn<int>("longestText");
    QTest::newRow("two letters, short") << QByteArray("aB") << 9 << 200;
    QTest::newRow("two letters, long texts") << QByteArray("Ab") << 40 << 20000;
    QTest::newRow("three bytes with zero") << QByteArray("ab\0", 3) << 12 << 3000;
    QTest::newRow("letters and high bytes") << QByteArray("aAzZ\xC3\xA9 ") << 20 << 5000;
}

void TestKvSearchLinear::everyMatchOnRepetitiveTexts()
{
    QFETCH(QByteArray, alphabet);
    QFETCH(int, longestPattern);
    QFETCH(int, longestText);
    QRandomGenerator random(20);
    const auto word = [&](int length) {
        QByteArray out;
        // Half the words repeat a short seed: periodic patterns and texts.
        const QByteArray seed =
            random.bounded(2) ? QByteArray() : QByteArray(1 + random.bounded(3), 'x');
        for (int i = 0; i < length; ++i) {
            const qsizetype pick = seed.isEmpty() || i < seed.size()
                                       ? random.bounded(alphabet.size())
                                       : out.size() % seed.size();
            out += seed.isEmpty() || i < seed.size() ? alphabet[pick] : out[pick];
        }
        return out;
    };
    for (int round = 0; round < 400; ++round) {
        const QByteArray pattern = word(1 + random.bounded(longestPattern));
        QByteArray text = word(random.bounded(longestText));
        if (random.bounded(2)) text.insert(random.bounded(text.size() + 1), pattern.toUpper());
        TKvSearch search;
        search.SetPattern(pattern);
        const QList<qsizetype> expected = plainMatches(search, pattern, text);
        QList<qsizetype> found;
        for (qsizetype at = search.FindFirst(text); at > 0; at = search.FindNext())
            found << at;
        QCOMPARE(found, expected);
        QCOMPARE(search.contains(text.constData(), text.size()), !expected.isEmpty());
    }
}

void TestKvSearchLinear::pumpRunsOftenInsideOneFile_data()
{
    QTest::addColumn<bool>("present");
    QTest::newRow("absent") << false;
    QTest::newRow("at the very end") << true;
}

// "b" and 19,999 "a" over 4 MiB of "a": every window matches all but one byte,
// which a right-to-left shift rule pays for at every single position.
void TestKvSearchLinear::pumpRunsOftenInsideOneFile()
{
    QFETCH(bool, present);
    const QByteArray pattern = "b" + QByteArray(19999, 'a');
    FinderTree tree;
    tree.file("big.txt", QByteArray(4 << 20, 'a') + (present ? pattern.toUpper() : QByteArray()));
    TKvFindFile finder;
    finder.SetFindString(QString::fromLatin1(pattern));
    qint64 last = threadCpuNs();
    qint64 longest = 0;
    int pumps = 0;
    finder.Pump = [&] {
        const qint64 now = threadCpuNs();
        longest = std::max(longest, now - last);
        last = now;
        ++pumps;
        if (longest > 50000000) throw std::runtime_error("50 ms of work without a pump");
    };
    FinderRun run;
    try {
        run = runFinder(finder, tree, tree.root());
    } catch (const std::runtime_error &error) {
        QFAIL(error.what());
    }
    QCOMPARE(run.files, present ? QList<QByteArray>{"big.txt"} : QList<QByteArray>{});
    QVERIFY(pumps >= 16); // at least once per block of the file
}

CLARIVEX_TEST_MAIN_CORE(TestKvSearchLinear)
#include "tst_kv_search_linear.moc"
