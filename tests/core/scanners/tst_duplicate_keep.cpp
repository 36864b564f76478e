// Which copy of each duplicate set is kept, as a table: the keep rules, one
// folder's copies, reference folders; and that a clean of any kind never
// takes a file of a reference folder.

#include "core/cleaning/clean_selection.h"
#include "core/scanners/duplicate_keep.h"
#include "core/search/found_file_model.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

using namespace clarivex;
using clarivex::test::FinderTree;

namespace {

struct Listed
{
    const char *path;
    int set;
    int daysOld;
};

// Three sets, the first listed row of each its master (as the scan lists them):
//   1: a/long-name (2 days old), bb/x (10), c/x (5)
//   2: a/y (10), c/y (1)
//   3: d/p (3), d/q (4): every copy in one folder
const Listed kList[] = {{"a/long-name", 1, 2}, {"bb/x", 1, 10}, {"c/x", 1, 5}, {"a/y", 2, 10},
                        {"c/y", 2, 1},         {"d/p", 3, 3},   {"d/q", 3, 4}};

class KeepFixture
{
public:
    KeepFixture()
    {
        const RunIndex run = m_model.BeginRun(RunTrigger::User);
        m_model.SetOrigin(ScanOrigin::Duplicates, run);
        int set = 0;
        for (const Listed &file : kList) {
            m_tree.file(file.path, "same bytes");
            m_tree.setModified(file.path, QDateTime::currentDateTime().addDays(-file.daysOld));
            if (file.set != set) m_model.AddSeparator();
            qint64 size = 0;
            (void)m_model.AddFile(m_tree.path(file.path), size, file.set, file.set != set);
            set = file.set;
        }
    }

    FoundFileModel &model() { return m_model; }
    QByteArray path(const QByteArray &relative) const { return m_tree.path(relative); }

    // The rows' paths below the tree, sorted.
    QStringList names(const QList<int> &rows) const
    {
        QStringList names;
        for (int row : rows)
            names << QFile::decodeName(m_model.FilePath(row).mid(m_tree.root().size() + 1));
        names.sort();
        return names;
    }

    QStringList masters() const
    {
        QList<int> rows;
        for (int row = 0; row < m_model.RowCount(); ++row) {
            if (m_model.IsMaster(row)) rows << row;
        }
        return names(rows);
    }

private:
    FinderTree m_tree;
    FoundFileModel m_model;
};

QStringList words(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

class TestDuplicateKeep : public QObject
{
    Q_OBJECT
private slots:
    void keptCopyIsTheMaster_data();
    void keptCopyIsTheMaster();
    void referenceFilesAreNeverCleaned_data();
    void referenceFilesAreNeverCleaned();
    void folderBoundaries();
};

void TestDuplicateKeep::keptCopyIsTheMaster_data()
{
    QTest::addColumn<QString>("action"); // a keep rule, or "folder:NAME"
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QStringList>("masters");
    QTest::addColumn<QStringList>("selected");
    QTest::newRow("first") << "first"
                           << "" << words("a/long-name a/y d/p") << words("bb/x c/x c/y d/q");
    QTest::newRow("newest") << "newest"
                            << "" << words("a/long-name c/y d/p") << words("a/y bb/x c/x d/q");
    QTest::newRow("oldest") << "oldest"
                            << "" << words("a/y bb/x d/q") << words("a/long-name c/x c/y d/p");
    // Equal lengths (a/y, c/y): the first listed.
    QTest::newRow("shortest path")
        << "shortest-path"
        << "" << words("a/y c/x d/p") << words("a/long-name bb/x c/y d/q");
    QTest::newRow("newest, among the reference files")
        << "newest"
        << "bb" << words("bb/x c/y d/p") << words("a/long-name a/y c/x d/q");
    QTest::newRow("oldest, a reference file in two sets")
        << "oldest"
        << "c" << words("c/x c/y d/q") << words("a/long-name a/y bb/x d/p");
    QTest::newRow("one folder: its master moves out, a set all there stays")
        << "folder:a"
        << "" << words("bb/x c/y d/p") << words("a/long-name a/y");
    QTest::newRow("one folder that is a reference folder")
        << "folder:c"
        << "c" << words("c/x c/y d/p") << QStringList();
}

void TestDuplicateKeep::keptCopyIsTheMaster()
{
    QFETCH(QString, action);
    QFETCH(QString, reference);
    QFETCH(QStringList, masters);
    QFETCH(QStringList, selected);
    KeepFixture list;
    if (!reference.isEmpty())
        QVERIFY(markReferenceFolders(list.model(), {list.path(reference.toUtf8())}) > 0);
    QList<int> rows;
    if (action.startsWith(QLatin1String("folder:"))) {
        rows = selectInFolder(list.model(), list.path(action.mid(7).toUtf8()));
    } else {
        const std::optional<KeepRule> rule = keepRuleFromName(action);
        QVERIFY(rule);
        rows = keepOnePerSet(list.model(), *rule);
    }
    QCOMPARE(list.masters(), masters);
    QCOMPARE(list.names(rows), selected);
    // What was selected is what a clean of the selection takes: no question
    // about a master, no copy kept back.
    const cleaning::CleanSelection clean =
        cleaning::selectRowsToClean(list.model(), cleaning::CleanChoice::selectedRows(rows));
    QCOMPARE(list.names(clean.rows), selected);
    QVERIFY(clean.masters.isEmpty() && clean.keptLastCopy.isEmpty());
}

void TestDuplicateKeep::referenceFilesAreNeverCleaned_data()
{
    QTest::addColumn<int>("scope");
    QTest::newRow("clean all") << int(cleaning::CleanScope::All);
    QTest::newRow("every row selected by hand") << int(cleaning::CleanScope::Selected);
    QTest::newRow("automatic") << int(cleaning::CleanScope::Automatic);
}

// The reference folder "c" holds a set's master (c/y) and a copy of a set
// whose master is elsewhere: neither goes, whatever the clean.
void TestDuplicateKeep::referenceFilesAreNeverCleaned()
{
    QFETCH(int, scope);
    KeepFixture list;
    QCOMPARE(markReferenceFolders(list.model(), {list.path("c")}), 2);
    QCOMPARE(list.masters(), words("c/x c/y d/p")); // a reference file is its set's master
    list.model().SetMaster(3, false); // c/x: the rule must hold for a copy that is not one
    list.model().SetMaster(1, true);
    QList<int> all;
    for (int row = 0; row < list.model().RowCount(); ++row) {
        if (!list.model().IsSeparator(row)) all << row;
    }
    cleaning::CleanChoice choice;
    choice.scope = cleaning::CleanScope(scope);
    choice.selected = all;
    choice.scan = ScanOrigin::Duplicates;
    choice.run = list.model().CurrentRun();
    cleaning::CleanSelection clean = cleaning::selectRowsToClean(list.model(), choice);
    QVERIFY(list.names(clean.keptReferences).contains(QStringLiteral("c/x")));
    for (const QString &name : list.names(clean.rows))
        QVERIFY2(!name.startsWith(QLatin1String("c/")), qPrintable(name));
}

void TestDuplicateKeep::folderBoundaries()
{
    QVERIFY(isInFolder("/a/b/c", "/a/b"));
    QVERIFY(isInFolder("/a/b/c", "/a/b/"));
    QVERIFY(!isInFolder("/a/bc/d", "/a/b"));
    QVERIFY(isInFolder("/a", "/"));
    QVERIFY(!isInFolder("/a", ""));
}

CLARIVEX_TEST_MAIN_CORE(TestDuplicateKeep)
#include "tst_duplicate_keep.moc"
