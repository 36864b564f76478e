#include "core/search/path_tree.h"
#include "gui/search/path_tree_view.h"
#include "support/test_main.h"

#include <QRandomGenerator>

#include <map>

using namespace clarivex;

namespace {

// The tree as indented text: one node per line, children in their order.
QString dump(const PathTree &tree, quint32 node = PathTree::kRoot, int depth = 0)
{
    QString text =
        QString(depth * 2, QLatin1Char(' ')) + tree.NodeAt(node).text + QLatin1Char('\n');
    for (quint32 child : tree.NodeAt(node).children)
        text += dump(tree, child, depth + 1);
    return text;
}

PathTree treeOf(const QList<QByteArray> &paths, const QList<QByteArray> &roots = {"/"})
{
    PathTree tree;
    tree.SetVolumeRoots(roots);
    tree.Paths = paths;
    tree.Rebuild();
    return tree;
}

} // namespace

class TestPathTree : public QObject
{
    Q_OBJECT
private slots:
    void namesAsOnDisk();
    void filesUnderOneFolder();
    void volumeRootsComeFirst();
    void volumeRootBelowTheLastFolder();
    void lineRules();
    void rootName();
    void siblingsSorted();
    void hashLookupMatchesSiblingWalk();
    void manyFilesInOneFolder();
    void nameNotUtf8();
    void viewShowsTheTree();
};

void TestPathTree::namesAsOnDisk()
{
    // A case-sensitive file system: two folders that differ in case stay two,
    // and every node keeps the case of its name.
    const PathTree tree = treeOf({"/Etc/UPPER.TMP/", "/etc/upper.tmp/", "/Etc/My Docs/"});
    QCOMPARE(dump(tree), QStringLiteral("Virtual Desktop\n  /\n    etc\n      upper.tmp\n"
                                        "    Etc\n      My Docs\n      UPPER.TMP\n"));
}

void TestPathTree::filesUnderOneFolder()
{
    const PathTree tree = treeOf({"/a/c.tmp/", "/a/b.tmp/"});
    QCOMPARE(dump(tree), QStringLiteral("Virtual Desktop\n  /\n    a\n      b.tmp\n      c.tmp\n"));
    QCOMPARE(tree.NodeCounter(), 4);
    const quint32 a = tree.FindChild(tree.FindChild(PathTree::kRoot, "/"), "a");
    QVERIFY(a != 0);
    QCOMPARE(tree.NodeAt(a).kind, PathTree::NodeKind::Folder);
    QCOMPARE(tree.NodeAt(tree.NodeAt(a).children[0]).kind, PathTree::NodeKind::File);
}

void TestPathTree::volumeRootsComeFirst()
{
    const PathTree tree =
        treeOf({"/mnt/data/x/y.tmp/", "/mnt/database/z.tmp/", "/home/u/k.o/"}, {"/", "/mnt/data"});
    QCOMPARE(dump(tree), QStringLiteral("Virtual Desktop\n"
                                        "  /\n    home\n      u\n        k.o\n"
                                        "    mnt\n      database\n        z.tmp\n"
                                        "  /mnt/data\n    x\n      y.tmp\n"));
}

void TestPathTree::volumeRootBelowTheLastFolder()
{
    // "/mnt/" was the last folder, but "/mnt/data/" is a volume of its own.
    const PathTree tree = treeOf({"/mnt/x.tmp/", "/mnt/data/", "/mnt/data/y.tmp/", "/mnt/z.tmp/"},
                                 {"/", "/mnt/data"});
    QCOMPARE(dump(tree), QStringLiteral("Virtual Desktop\n"
                                        "  /\n    mnt\n      x.tmp\n      z.tmp\n"
                                        "  /mnt/data\n    y.tmp\n"));
}

void TestPathTree::lineRules()
{
    // A line without a folder part is skipped; a bare folder is added whole;
    // a line with a "." and no trailing "/" adds only its folder part.
    const PathTree tree = treeOf({"loose.tmp", "/var/log", "/srv/my.dir", "//double//slash.x/"});
    QCOMPARE(dump(tree), QStringLiteral("Virtual Desktop\n  /\n    double\n      slash.x\n"
                                        "    srv\n    var\n      log\n"));
    PathTree empty = treeOf({});
    QCOMPARE(empty.NodeCount(), 1);
    QCOMPARE(empty.NodeCounter(), 0);
    // Adding the same path again creates nothing.
    const quint32 first = empty.AddPath("/a/b.c/");
    QCOMPARE(empty.AddPath("/a/b.c"), first);
    QCOMPARE(empty.NodeCounter(), 3);
}

void TestPathTree::rootName()
{
    PathTree tree;
    tree.Rebuild();
    QCOMPARE(tree.RootName, QStringLiteral("Virtual Desktop"));
    QCOMPARE(tree.NodeAt(PathTree::kRoot).text, QStringLiteral("Virtual Desktop"));
    tree.RootName = QStringLiteral("File Tree");
    tree.Rebuild();
    QCOMPARE(tree.NodeAt(PathTree::kRoot).text, QStringLiteral("File Tree"));
}

void TestPathTree::siblingsSorted()
{
    const PathTree tree =
        treeOf({"/d/zeta/", "/d/b.tmp/", "/d/Alpha/", "/d/a.tmp/", "/d/10/", "/d/9/"});
    const quint32 d = tree.FindChild(tree.FindChild(PathTree::kRoot, "/"), "d");
    QStringList names;
    for (quint32 child : tree.NodeAt(d).children)
        names << tree.NodeAt(child).text;
    QCOMPARE(names, QStringList({"10", "9", "a.tmp", "Alpha", "b.tmp", "zeta"}));
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(tree.NodeAt(tree.NodeAt(d).children[size_t(i)]).row, quint32(i));
}

void TestPathTree::hashLookupMatchesSiblingWalk()
{
    // The same lines put into a plain tree that searches its children one by one.
    struct Plain
    {
        QString text;
        std::vector<std::unique_ptr<Plain>> children;
    };
    QList<QByteArray> lines;
    QRandomGenerator random(42);
    const char *parts[] = {"a", "B", "b", "c d", "C D", "x.tmp", "X.TMP", "y"};
    for (int i = 0; i < 400; ++i) {
        QByteArray line = "/";
        const int depth = 1 + random.bounded(4);
        for (int d = 0; d < depth; ++d)
            line += QByteArray(parts[random.bounded(8)]) + '/';
        lines.append(line);
        // Files of one folder come in a row, as a scan gives them.
        const QByteArray parent = line.left(line.lastIndexOf('/', line.size() - 2) + 1);
        for (int sibling = random.bounded(3); sibling > 0; --sibling)
            lines.append(parent + parts[random.bounded(8)] + '/');
    }
    Plain plain{QStringLiteral("Virtual Desktop"), {}};
    for (const QByteArray &line : lines) {
        Plain *current = &plain;
        const QList<QByteArray> segments = ("/" + line.mid(1)).split('/');
        for (qsizetype i = 0; i < segments.size() - 1; ++i) {
            const QString text = i == 0 ? QStringLiteral("/") : QString::fromUtf8(segments[i]);
            Plain *found = nullptr;
            for (const auto &child : current->children)
                if (child->text == text) found = child.get();
            if (!found) {
                current->children.push_back(std::make_unique<Plain>(Plain{text, {}}));
                found = current->children.back().get();
            }
            current = found;
        }
    }
    PathTree tree;
    tree.SetVolumeRoots({"/"});
    for (const QByteArray &line : lines)
        tree.AddPath(line);
    std::function<QString(const Plain &, int)> plainDump = [&](const Plain &node, int depth) {
        QString text = QString(depth * 2, QLatin1Char(' ')) + node.text + QLatin1Char('\n');
        for (const auto &child : node.children)
            text += plainDump(*child, depth + 1);
        return text;
    };
    tree.RootName.clear();
    QCOMPARE(dump(tree).mid(dump(tree).indexOf('\n')),
             plainDump(plain, 0).mid(plainDump(plain, 0).indexOf('\n')));
}

void TestPathTree::manyFilesInOneFolder()
{
    QList<QByteArray> lines;
    for (int i = 0; i < 100000; ++i)
        lines.append("/big/f" + QByteArray::number(i) + ".tmp/");
    const PathTree tree = treeOf(lines);
    QCOMPARE(tree.NodeCounter(), 100002);
    const quint32 big = tree.FindChild(tree.FindChild(PathTree::kRoot, "/"), "big");
    QCOMPARE(tree.NodeAt(big).children.size(), size_t(100000));
}

void TestPathTree::nameNotUtf8()
{
    const PathTree tree = treeOf({"/d/caf\xe9.txt/"});
    QVERIFY(dump(tree).contains(QStringLiteral("caf\\xE9.txt")));
}

void TestPathTree::viewShowsTheTree()
{
    TPathTreeView view;
    view.SetVolumeRoots({"/"});
    view.Rebuild();
    QVERIFY(!view.rootIsDecorated());
    QCOMPARE(view.model()->rowCount(), 1);
    view.RootName = QStringLiteral("File Tree");
    view.Paths = {"/a/b.tmp/", "/a/c.tmp/"};
    view.Rebuild();
    QVERIFY(view.rootIsDecorated());
    const QModelIndex root = view.model()->index(0, 0);
    QCOMPARE(root.data().toString(), QStringLiteral("File Tree"));
    QVERIFY(view.isExpanded(root));
    const QModelIndex a = view.model()->index(0, 0, view.model()->index(0, 0, root));
    QCOMPARE(a.data().toString(), QStringLiteral("a"));
    QCOMPARE(view.model()->rowCount(a), 2);
    QCOMPARE(view.model()->index(1, 0, a).data().toString(), QStringLiteral("c.tmp"));
    QCOMPARE(view.model()->parent(view.model()->index(1, 0, a)), a);
}

CLARIVEX_TEST_MAIN(TestPathTree)
#include "tst_path_tree.moc"
