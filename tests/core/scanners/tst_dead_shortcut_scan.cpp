#include "core/scanners/dead_shortcut_scan.h"
#include "core/scanners/resolve_shortcut.h"
#include "core/search/kv_find_file.h"
#include "support/finder_fixture.h"
#include "support/shell_link_builder.h"
#include "support/test_main.h"

#include <QDir>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

using namespace clarivex;
using namespace clarivex::test;

namespace {

enum DriveBox { Removable = 1, CdRom = 2, Network = 4 };

// Places of the tree that stand for volumes of each kind.
QList<platform::Volume> volumesOf(const FinderTree &tree)
{
    const auto volume = [](const QByteArray &root, platform::VolumeKind kind) {
        platform::Volume v;
        v.root = root;
        v.kind = kind;
        return v;
    };
    return {volume("/", platform::VolumeKind::Fixed),
            volume(tree.path("usb"), platform::VolumeKind::Removable),
            volume(tree.path("cd"), platform::VolumeKind::CdRom),
            volume(tree.path("net"), platform::VolumeKind::Remote)};
}

QByteArray desktopFile(const QByteArray &body)
{
    return "[Desktop Entry]\nName=Test\n" + body + "\n";
}

// Makes one shortcut of the kind in desk/ and returns its name.
QByteArray makeShortcut(FinderTree &tree, const QString &kind, const QString &target)
{
    if (kind == QLatin1String("lnk")) {
        ShellLinkSpec spec;
        spec.localBasePath = target;
        spec.description = QStringLiteral("A shortcut");
        tree.file("desk/short.lnk", buildShellLink(spec));
        return "short.lnk";
    }
    if (kind == QLatin1String("share")) {
        ShellLinkSpec spec;
        spec.netName = target.section(QLatin1Char('|'), 0, 0);
        spec.commonPathSuffix = target.section(QLatin1Char('|'), 1);
        tree.file("desk/share.LNK", buildShellLink(spec));
        return "share.LNK";
    }
    if (kind == QLatin1String("app")) {
        tree.file("desk/app.desktop", desktopFile("Type=Application\n" + target.toUtf8()));
        return "app.desktop";
    }
    if (kind == QLatin1String("link")) {
        tree.file("desk/link.desktop", desktopFile("Type=Link\nURL=" + target.toUtf8()));
        return "link.desktop";
    }
    tree.link("desk/symlink", QFile::encodeName(target));
    return "symlink";
}

} // namespace

class TestDeadShortcutScan : public QObject
{
    Q_OBJECT
private slots:
    void decision_data();
    void decision();
    void unreadableShortcutsAreSkippedAndNamedOnce();
    void resolveFillsTheRecord();
    void foldersInOrder();
    void homeAsDesktopIsReadWithoutSubfolders();
};

void TestDeadShortcutScan::decision_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("target"); // $T: the tree
    QTest::addColumn<int>("boxes");
    QTest::addColumn<bool>("listed");

    QTest::newRow("lnk, missing file on a fixed volume") << "lnk"
                                                         << "$T/apps/gone.exe" << 0 << true;
    QTest::newRow("lnk, target exists") << "lnk"
                                        << "$T/here.txt" << 0 << false;
    QTest::newRow("lnk, to a folder") << "lnk"
                                      << "$T/afolder.dir" << 0 << false;
    QTest::newRow("lnk, no extension") << "lnk"
                                       << "$T/apps/gone" << 0 << false;
    QTest::newRow("lnk, one-letter extension") << "lnk"
                                               << "$T/gone.c" << 0 << false;
    QTest::newRow("lnk, two-letter extension") << "lnk"
                                               << "$T/gone.md" << 0 << true;
    QTest::newRow("lnk, Windows path") << "lnk"
                                       << "C:\\Apps\\gone.exe" << 0 << true;
    QTest::newRow("lnk, network share") << "share"
                                        << "\\\\server\\docs|a.doc" << 0 << true;
    QTest::newRow("removable, box off") << "lnk"
                                        << "$T/usb/gone.txt" << 0 << false;
    QTest::newRow("removable, box on") << "lnk"
                                       << "$T/usb/sub/gone.txt" << int(Removable) << true;
    QTest::newRow("CD-ROM, other boxes on")
        << "lnk"
        << "$T/cd/gone.txt" << int(Removable | Network) << false;
    QTest::newRow("CD-ROM, box on") << "lnk"
                                    << "$T/cd/gone.txt" << int(CdRom) << true;
    QTest::newRow("remote, box off") << "link"
                                     << "file://$T/net/gone.pdf" << 0 << false;
    QTest::newRow("remote, box on") << "link"
                                    << "file://$T/net/gone.pdf" << int(Network) << true;
    QTest::newRow("unplugged medium") << "lnk"
                                      << "/media/clarivex-none/gone.txt" << 0 << false;
    QTest::newRow("unplugged medium, box on")
        << "lnk"
        << "/run/media/clarivex-none/gone.txt" << int(Removable) << true;
    QTest::newRow("launcher, bare program nowhere")
        << "app"
        << "Exec=clarivex-no-such-program %U" << 0 << true;
    QTest::newRow("launcher, bare program in PATH") << "app"
                                                    << "Exec=mytool --x" << 0 << false;
    QTest::newRow("launcher, missing program without extension")
        << "app"
        << "Exec=\"$T/bin/gone tool\" %f" << 0 << true;
    QTest::newRow("launcher, program name is a folder") << "app"
                                                        << "Exec=$T/afolder.dir" << 0 << false;
    QTest::newRow("launcher, TryExec missing") << "app"
                                               << "TryExec=$T/bin/gone\nExec=mytool" << 0 << true;
    QTest::newRow("launcher, TryExec there") << "app"
                                             << "TryExec=mytool\nExec=mytool" << 0 << false;
    QTest::newRow("launcher on removable, box off") << "app"
                                                    << "Exec=$T/usb/run" << 0 << false;
    QTest::newRow("launcher without Exec") << "app"
                                           << "Name=x" << 0 << false;
    QTest::newRow("Link to a web page") << "link"
                                        << "https://example.org/a.pdf" << 0 << false;
    QTest::newRow("Link to a missing file") << "link"
                                            << "file://$T/gone%20now.pdf" << 0 << true;
    // "localhost" names this machine: the same file as with no host at all.
    QTest::newRow("Link with localhost, file there")
        << "link"
        << "file://localhost$T/here%20now.txt" << 0 << false;
    QTest::newRow("Link with LOCALHOST, file there") << "link"
                                                     << "file://LOCALHOST$T/here.txt" << 0 << false;
    QTest::newRow("Link with localhost, file missing")
        << "link"
        << "file://localhost$T/gone%20now.pdf" << 0 << true;
    QTest::newRow("symlink, relative and broken") << "symlink"
                                                  << "../gone.txt" << 0 << true;
    QTest::newRow("symlink, to a file") << "symlink"
                                        << "$T/here.txt" << 0 << false;
    QTest::newRow("symlink, no extension") << "symlink"
                                           << "$T/gone" << 0 << true;
    QTest::newRow("symlink, absolute into a missing folder") << "symlink"
                                                             << "/nonexistent/target" << 0 << true;
    QTest::newRow("symlink, to a folder") << "symlink"
                                          << "$T/afolder.dir" << 0 << false;
}

void TestDeadShortcutScan::decision()
{
    QFETCH(QString, kind);
    QFETCH(QString, target);
    QFETCH(int, boxes);
    QFETCH(bool, listed);
    FinderTree tree;
    tree.file("here.txt", "x");
    tree.file("here now.txt", "x");
    tree.folder("afolder.dir");
    tree.folder("usb");
    tree.folder("cd");
    tree.folder("net");
    tree.file("bin/mytool", "#!/bin/sh\n", 0755);
    const QByteArray name =
        makeShortcut(tree, kind, QString(target).replace("$T", QFile::decodeName(tree.root())));
    platform::Volumes::setFixedList(volumesOf(tree));

    DeadShortcutOptions options;
    options.removable = boxes & Removable;
    options.cdRom = boxes & CdRom;
    options.network = boxes & Network;
    TKvFindFile finder;
    DeadShortcutScan scan;
    scan.searchPath = QFile::decodeName(tree.path("bin"));
    QList<QByteArray> rows;
    scan.addFile = [&](const QByteArray &folder, const TFindData &data, qint64 &size) {
        rows << folder + data.name;
        size = data.size;
        return true;
    };
    QStringList skipped;
    scan.skipped = [&](const QByteArray &, const QString &reason) { skipped << reason; };
    DeadShortcutScan::configure(finder);
    scan.run(finder, {tree.path("desk")}, options);
    platform::Volumes::clearFixedList();

    QVERIFY2(skipped.isEmpty(), qPrintable(skipped.join(", ")));
    QCOMPARE(scan.FoundFileCount, listed ? 1 : 0);
    if (!listed) return;
    QCOMPARE(rows, QList<QByteArray>{tree.path("desk/" + name)});
    struct stat st; // the shortcut's own size is counted
    QCOMPARE(::lstat(tree.path("desk/" + name).constData(), &st), 0);
    QCOMPARE(scan.FoundByteTotal, qint64(st.st_size));
    QCOMPARE(scan.CandidateKeys, QList<QByteArray>{tree.path("desk/" + name) + '/'});
}

// One broken file must not end the scan (nor hide the shortcuts after it),
// and each is named once even when its folder is walked twice.
void TestDeadShortcutScan::unreadableShortcutsAreSkippedAndNamedOnce()
{
    FinderTree tree;
    ShellLinkSpec spec;
    spec.localBasePath = QFile::decodeName(tree.path("gone.txt"));
    const QByteArray good = buildShellLink(spec);
    tree.file("desk/a-truncated.lnk", good.left(good.size() / 2));
    tree.file("desk/b-notes.desktop", "just some text\n");
    tree.file("desk/c-dead.lnk", good);
    tree.file("desk/sub/d-empty.lnk");
    tree.file("desk/readme.txt", "not a shortcut: never read");
    tree.file("desk/e-locked.desktop", desktopFile("Type=Link\nURL=file:///x/gone.pdf"), 0);
    TKvFindFile finder;
    DeadShortcutScan scan;
    int listed = 0;
    scan.addFile = [&](const QByteArray &, const TFindData &, qint64 &size) {
        size = 1;
        return ++listed, true;
    };
    QList<QByteArray> named;
    scan.skipped = [&](const QByteArray &path, const QString &) { named << path; };
    DeadShortcutScan::configure(finder);
    scan.run(finder, {tree.path("desk"), tree.path("desk")}, DeadShortcutOptions{});
    QCOMPARE(listed, ::geteuid() == 0 ? 4 : 2); // root reads the locked one: dead twice more
    QCOMPARE(scan.FoundFileCount, listed);
    QStringList names;
    for (const QByteArray &path : named)
        names << QFile::decodeName(path.mid(path.lastIndexOf('/') + 1));
    names.sort();
    QStringList expected{"a-truncated.lnk", "b-notes.desktop", "d-empty.lnk"};
    if (::geteuid() != 0) expected.insert(2, "e-locked.desktop");
    QCOMPARE(names, expected);
    QCOMPARE(scan.Unreadable, named);
}

void TestDeadShortcutScan::resolveFillsTheRecord()
{
    FinderTree tree;
    ShellLinkSpec spec;
    spec.linkInfo = false;
    spec.relativePath = QStringLiteral("..\\docs\\gone.txt");
    spec.workingDirectory = QStringLiteral("C:\\Work");
    spec.arguments = QStringLiteral("-v");
    spec.iconLocation = QStringLiteral("shell32.dll");
    spec.iconIndex = 4;
    spec.showCommand = 7;
    tree.file("desk/My Notes.lnk", buildShellLink(spec));
    TShortcutInfo info;
    QString error;
    QVERIFY(ResolveShortcut(tree.path("desk/My Notes.lnk"), info, error));
    QCOMPARE(info.target, QFile::decodeName(tree.path("docs/gone.txt")));
    QCOMPARE(info.description, "My Notes"); // none stored: the name without ".lnk"
    QCOMPARE(info.folder, QFile::decodeName(tree.path("desk/")));
    QCOMPARE(info.workingDirectory, "C:\\Work");
    QCOMPARE(info.arguments, "-v");
    QCOMPARE(info.iconPath, "shell32.dll");
    QCOMPARE(info.iconIndex, 4);
    QCOMPARE(info.showState, quint8(1));

    tree.file("desk/edit.desktop",
              desktopFile("Type=Application\nExec=env A=1 mytool --new %F\nPath=/srv\nIcon=ed"));
    QVERIFY(ResolveShortcut(tree.path("desk/edit.desktop"), info, error, QString()));
    QCOMPARE(info.kind, ShortcutKind::DesktopApplication);
    QCOMPARE(info.target, "mytool"); // found nowhere: stays bare, and counts as missing
    QCOMPARE(info.arguments, "--new %F");
    QCOMPARE(info.workingDirectory, "/srv");
    QCOMPARE(info.description, "Test");

    tree.file("desk/big.desktop", QByteArray(kMaxShortcutFileSize + 1, '#'));
    QVERIFY(!ResolveShortcut(tree.path("desk/big.desktop"), info, error));
    QVERIFY(!ResolveShortcut(tree.path("desk/none.lnk"), info, error));
}

void TestDeadShortcutScan::foldersInOrder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QByteArray desktop =
        QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    QVERIFY(desktop.startsWith(QFile::encodeName(QDir::homePath())));
    DeadShortcutOptions options;
    QCOMPARE(deadShortcutFolders(options),
             (QList<QByteArray>{desktop, QFile::encodeName(data + "/applications"),
                                QFile::encodeName(data + "/RecentDocuments")}));
    options.desktop = false;
    options.recent = false;
    QCOMPARE(deadShortcutFolders(options),
             QList<QByteArray>{QFile::encodeName(data + "/applications")});
}

// With XDG_DESKTOP_DIR at the home folder, the broken links that programs keep
// deeper in the home must not be taken for the user's dead shortcuts.
void TestDeadShortcutScan::homeAsDesktopIsReadWithoutSubfolders()
{
    FinderTree tree;
    tree.link("on-desktop.txt", "gone.txt");
    tree.link(".wine/dosdevices/z.txt", "gone.txt");
    tree.link("sub/other.txt", "gone.txt");
    const QByteArray saved = qgetenv("HOME");
    qputenv("HOME", tree.root());
    TKvFindFile finder;
    DeadShortcutScan scan;
    QList<QByteArray> listed;
    scan.addFile = [&](const QByteArray &folder, const TFindData &data, qint64 &) {
        listed << folder + data.name;
        return true;
    };
    DeadShortcutScan::configure(finder);
    scan.run(finder, {tree.root()}, DeadShortcutOptions{});
    qputenv("HOME", saved);
    QCOMPARE(listed, QList<QByteArray>{tree.path("on-desktop.txt")});
    scan.run(finder, {tree.path("sub")}, DeadShortcutOptions{}); // any other folder: all of it
    QCOMPARE(listed.size(), 2);
}

CLARIVEX_TEST_MAIN_CORE(TestDeadShortcutScan)
#include "tst_dead_shortcut_scan.moc"
