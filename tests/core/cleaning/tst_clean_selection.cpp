// The rules of a clean as a table: which rows a clean of all rows, of the
// selected rows and an automatic clean take from lists that hold duplicate
// sets, rows of other scans and rows of earlier runs, which masters need the
// user's word, and which copies stay because they are a set's last.

#include "core/cleaning/clean_selection.h"
#include "core/search/found_file_model.h"
#include "support/test_main.h"

#include <QFile>
#include <QTemporaryDir>

using namespace clarivex;
using namespace clarivex::cleaning;

namespace {

// A list written as words, one per row:
//   "-"       a separator
//   "M1:a"    the master of duplicate set 1, file a
//   "D1:b"    a copy in set 1, file b
//   "T:x"     a temporary file x; "d:x" a file the directory scan found
//   "2/d:x"   ... in run 2 (rows are in run 1 unless they say)
// The same file name is the same file, whichever scan lists it.
class ListBuilder
{
public:
    explicit ListBuilder(FoundFileModel &model) : m_model(model)
    {
        m_runs << m_model.BeginRun(RunTrigger::User) << m_model.BeginRun(RunTrigger::Scheduled);
    }

    bool add(const QString &word)
    {
        QString rest = word;
        RunIndex run = m_runs[0];
        if (rest.size() > 2 && rest[1] == '/') {
            run = m_runs[rest.left(1).toInt() - 1];
            rest = rest.mid(2);
        }
        if (rest == "-") {
            m_model.SetOrigin(ScanOrigin::Duplicates, run);
            m_model.AddSeparator();
            return true;
        }
        const QString kind = rest.section(':', 0, 0);
        const QByteArray path = QFile::encodeName(m_dir.filePath(rest.section(':', 1)));
        QFile file(QFile::decodeName(path));
        if (!file.exists() && (!file.open(QIODevice::WriteOnly) || file.write("same") != 4))
            return false;
        file.close();
        qint64 size = 0;
        if (kind == "T" || kind == "d") {
            m_model.SetOrigin(kind == "T" ? ScanOrigin::TempFiles : ScanOrigin::Directories, run);
            return m_model.AddFile(path, size);
        }
        m_model.SetOrigin(ScanOrigin::Duplicates, run);
        return m_model.AddFile(path, size, kind.mid(1).toInt(), kind.startsWith('M'));
    }

    RunIndex run(int number) const { return m_runs[number - 1]; }

private:
    FoundFileModel &m_model;
    QTemporaryDir m_dir;
    QList<RunIndex> m_runs;
};

} // namespace

class TestCleanSelection : public QObject
{
    Q_OBJECT
private slots:
    void rules_data();
    void rules();
    void noMeansTheMastersStay();
    void runsOutliveTheirIndexLimit();
};

void TestCleanSelection::rules_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<int>("scope"); // CleanScope
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("autoScan"); // "T" or "d", with the run: "d2"
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QList<int>>("asked"); // masters the user is asked about
    QTest::addColumn<QList<int>>("lastCopy");
    QTest::addColumn<QList<int>>("keptMasters");

    const QStringList sets{"-", "M1:a", "D1:b", "D1:c", "-", "M2:d", "D2:e"};
    const int all = int(CleanScope::All);
    const int selected = int(CleanScope::Selected);
    const int automatic = int(CleanScope::Automatic);
    using L = QList<int>;

    QTest::newRow("clean all: every duplicate, no master")
        << sets << all << L{} << "" << L{2, 3, 6} << L{} << L{} << L{1, 5};
    QTest::newRow("selected copy alone")
        << sets << selected << L{2} << "" << L{2} << L{} << L{} << L{};
    QTest::newRow("selected master with a copy left: asked")
        << sets << selected << L{1, 2} << "" << L{1, 2} << L{1} << L{} << L{};
    QTest::newRow("a whole set selected: its master stays, unasked")
        << sets << selected << L{3, 1, 2} << "" << L{2, 3} << L{} << L{1} << L{};
    QTest::newRow("both sets selected whole (Ctrl+A)")
        << sets << selected << L{0, 1, 2, 3, 4, 5, 6} << "" << L{2, 3, 6} << L{} << L{1, 5} << L{};
    QTest::newRow("a set whose master was not listed keeps its first copy")
        << QStringList{"-", "D1:b", "D1:c"} << selected << L{1, 2} << "" << L{2} << L{} << L{1}
        << L{};
    QTest::newRow("clean all on a set without master")
        << QStringList{"-", "D1:b", "D1:c"} << all << L{} << "" << L{2} << L{} << L{1} << L{};
    QTest::newRow("separator selected: nothing")
        << sets << selected << L{0, 4} << "" << L{} << L{} << L{} << L{};
    QTest::newRow("automatic: only its scan in its run")
        << QStringList{"-", "M1:a", "D1:b", "2/d:x", "2/d:y", "d:z", "2/T:t"} << automatic << L{}
        << "d2" << L{3, 4} << L{} << L{} << L{};
    QTest::newRow("automatic: nothing of its own, nothing taken")
        << sets << automatic << L{} << "d2" << L{} << L{} << L{} << L{};
    QTest::newRow("automatic: a master's file listed by another scan stays")
        << QStringList{"-", "M1:a", "D1:b", "2/d:a", "2/d:x"} << automatic << L{} << "d2" << L{4}
        << L{} << L{} << L{3};
    QTest::newRow("automatic: a copy's file listed by another scan may go")
        << QStringList{"-", "M1:a", "D1:b", "2/d:b"} << automatic << L{} << "d2" << L{3} << L{}
        << L{} << L{};
    QTest::newRow("automatic: never the last copy, master gone from the list")
        << QStringList{"-", "D1:b", "2/d:b"} << automatic << L{} << "d2" << L{} << L{} << L{2}
        << L{};
    QTest::newRow("clean all: a file listed twice is one copy")
        << QStringList{"-", "M1:a", "D1:b", "2/d:a", "2/d:b", "2/d:x"} << all << L{} << ""
        << L{2, 4, 5} << L{} << L{} << L{1, 3};
    QTest::newRow("selected: a master by another scan's row is asked")
        << QStringList{"-", "M1:a", "D1:b", "2/d:a"} << selected << L{3} << "" << L{3} << L{3}
        << L{} << L{};
    QTest::newRow("selected: master and its only copy, each by two rows")
        << QStringList{"-", "M1:a", "D1:b", "2/d:a", "2/d:b"} << selected << L{1, 2, 3, 4} << ""
        << L{2, 4} << L{} << L{1, 3} << L{};
    QTest::newRow("temporary files: every row")
        << QStringList{"T:x", "T:y", "T:z"} << all << L{} << "" << L{0, 1, 2} << L{} << L{} << L{};
    QTest::newRow("temporary files: selected out of order, twice")
        << QStringList{"T:x", "T:y", "T:z"} << selected << L{2, 0, 2} << "" << L{0, 2} << L{} << L{}
        << L{};
}

void TestCleanSelection::rules()
{
    QFETCH(QStringList, list);
    QFETCH(int, scope);
    QFETCH(QList<int>, selected);
    QFETCH(QString, autoScan);
    QFETCH(QList<int>, rows);
    QFETCH(QList<int>, asked);
    QFETCH(QList<int>, lastCopy);
    QFETCH(QList<int>, keptMasters);

    FoundFileModel model;
    ListBuilder builder(model);
    for (const QString &word : std::as_const(list))
        QVERIFY2(builder.add(word), qPrintable(word));
    QCOMPARE(model.RowCount(), list.size());

    CleanChoice choice;
    choice.scope = CleanScope(scope);
    choice.selected = selected;
    if (!autoScan.isEmpty()) {
        choice.scan = autoScan.startsWith('T') ? ScanOrigin::TempFiles : ScanOrigin::Directories;
        choice.run = builder.run(autoScan.mid(1).toInt());
    }
    const CleanSelection selection = selectRowsToClean(model, choice);
    QCOMPARE(selection.rows, rows);
    QList<int> askedRows;
    for (const MasterChoice &master : selection.masters)
        askedRows << master.row;
    QCOMPARE(askedRows, asked);
    QCOMPARE(selection.keptLastCopy, lastCopy);
    QCOMPARE(selection.keptMasters, keptMasters);
    // Whatever was chosen, each set keeps a copy on the list.
    for (int row = 0; row < model.RowCount(); ++row) {
        if (model.SetOf(row) < 0) continue;
        bool stays = false;
        for (int other = 0; other < model.RowCount(); ++other) {
            stays |= model.SetOf(other) == model.SetOf(row) && !selection.rows.contains(other);
        }
        QVERIFY2(stays,
                 qPrintable(QStringLiteral("set %1 loses every copy").arg(model.SetOf(row))));
    }
}

void TestCleanSelection::noMeansTheMastersStay()
{
    FoundFileModel model;
    ListBuilder builder(model);
    for (const char *word : {"-", "M1:a", "D1:b", "D1:c", "-", "M2:d", "D2:e", "D2:f"})
        QVERIFY(builder.add(QString::fromLatin1(word)));
    // One master: the question names it and the copies that remain.
    CleanSelection one = selectRowsToClean(model, CleanChoice::selectedRows({1, 2}));
    QCOMPARE(one.masters.size(), 1);
    QCOMPARE(one.masters.first().copiesLeft, 1);
    const QString question = masterQuestion(model, one);
    QVERIFY2(question.contains(QFile::decodeName(model.FilePath(1))) &&
                 question.contains("first copy") && question.contains("1 copy remains"),
             qPrintable(question));
    one.dropMasters();
    QCOMPARE(one.rows, QList<int>{2});
    QVERIFY(masterQuestion(model, one).isEmpty());

    // Two masters: one question for both, with the fewest copies left.
    const CleanSelection two = selectRowsToClean(model, CleanChoice::selectedRows({1, 5, 6}));
    QCOMPARE(two.masters.size(), 2);
    QVERIFY2(masterQuestion(model, two).startsWith("2 of the selected files") &&
                 masterQuestion(model, two).contains("1 copy remains"),
             qPrintable(masterQuestion(model, two)));
}

void TestCleanSelection::runsOutliveTheirIndexLimit()
{
    // A long-lived window begins a run per scan: past the index's limit the
    // runs no row refers to are dropped, and every row keeps its own.
    FoundFileModel model;
    ListBuilder builder(model);
    QVERIFY(builder.add("-"));
    QVERIFY(builder.add("M1:a"));
    QVERIFY(builder.add("2/d:x"));
    const QDateTime began(QDate(2026, 1, 2), QTime(3, 4, 5));
    RunIndex last = 0;
    for (int i = 0; i < 70000; ++i)
        last = model.BeginRun(RunTrigger::Cli, began.addSecs(i));
    QVERIFY(model.RunCount() < 0xFFFF);
    QCOMPARE(model.RunOfRow(1).trigger, RunTrigger::User);
    QCOMPARE(model.RunOfRow(2).trigger, RunTrigger::Scheduled);
    QCOMPARE(model.Run(last).began, began.addSecs(69999));
    QVERIFY(model.RunOf(1) != model.RunOf(2));
    model.SetOrigin(ScanOrigin::Directories, last);
    qint64 size = 0;
    QVERIFY(model.AddFile(model.FilePath(2), size));
    QCOMPARE(model.RunOfRow(3).trigger, RunTrigger::Cli);
    QCOMPARE(model.ScanOf(3), ScanOrigin::Directories);
}

CLARIVEX_TEST_MAIN(TestCleanSelection)
#include "tst_clean_selection.moc"
