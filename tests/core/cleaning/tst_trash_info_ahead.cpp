// Trash moves with their infos written ahead on a second thread: whatever
// happens to the files of the list (moved, refused as changed, kept by the
// last look, vanished, the run cancelled, names already taken in the Trash),
// the Trash ends with exactly one info per moved file, naming where it came
// from, and no info without its file.

#include "core/cleaning/cleaning_fixture.h"
#include "core/cleaning/file_operation.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <QDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace clarivex;
using namespace clarivex::cleaning;
using namespace clarivex::test;

namespace {

QByteArray homeTrash()
{
    return qgetenv("XDG_DATA_HOME") + "/Trash";
}

QByteArray infoPathOf(const QByteArray &infoFile)
{
    for (const QByteArray &line : readBytes(infoFile).split('\n')) {
        if (line.startsWith("Path=")) return QByteArray::fromPercentEncoding(line.mid(5));
    }
    return {};
}

QStringList entriesOf(const QByteArray &folder)
{
    return QDir(QFile::decodeName(folder)).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

class TestTrashInfoAhead : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void oneInfoPerMovedFile_data();
    void oneInfoPerMovedFile();
    void fullVolumeLosesNothing();
};

void TestTrashInfoAhead::cleanup()
{
    forceRemoveTree(QFile::decodeName(homeTrash()));
}

void TestTrashInfoAhead::oneInfoPerMovedFile_data()
{
    QTest::addColumn<QString>("trouble");
    QTest::newRow("every file moved") << "none";
    QTest::newRow("files changed since listed are refused") << "changed";
    QTest::newRow("the last look keeps some") << "kept";
    QTest::newRow("files vanished before their turn") << "vanished";
    QTest::newRow("the run cancelled halfway") << "cancel";
    QTest::newRow("names taken in the Trash already") << "taken";
}

void TestTrashInfoAhead::oneInfoPerMovedFile()
{
    QFETCH(QString, trouble);
    constexpr int kFiles = 300; // several times the writer's lead
    FinderTree tree;
    QList<QByteArray> paths;
    QList<std::optional<FileIdentity>> identities;
    QMap<QByteArray, QByteArray> content;
    for (int i = 0; i < kFiles; ++i) {
        // Four folders holding the same names: the Trash names collide.
        const QByteArray relative =
            "d" + QByteArray::number(i % 4) + "/f" + QByteArray::number(i / 4) + ".tmp";
        content[tree.path(relative)] = "content " + QByteArray::number(i);
        tree.file(relative, content[tree.path(relative)]);
        paths << tree.path(relative);
        identities << readIdentity(paths.last());
    }
    const QByteArray trash = homeTrash();
    if (trouble == QLatin1String("taken")) {
        QDir().mkpath(QFile::decodeName(trash + "/files"));
        QDir().mkpath(QFile::decodeName(trash + "/info"));
        for (int n = 0; n < 30; ++n) {
            QFile(QFile::decodeName(trash + "/files/f" + QByteArray::number(n) + ".tmp"))
                .open(QIODevice::WriteOnly);
        }
        QFile(QFile::decodeName(trash + "/info/f40.tmp.trashinfo")).open(QIODevice::WriteOnly);
    }
    const QStringList filesBefore = entriesOf(trash + "/files");
    const QStringList infosBefore = entriesOf(trash + "/info");
    for (int i = 0; i < kFiles; ++i) {
        if (trouble == QLatin1String("changed") && i % 7 == 3)
            tree.file(paths[i].mid(tree.root().size() + 1), "changed since it was listed");
        if (trouble == QLatin1String("vanished") && i % 9 == 4)
            QVERIFY(QFile::remove(QFile::decodeName(paths[i])));
    }

    TFileOperation op;
    op.setOperation(foDelete);
    op.setFlags(fofNoConfirmation | fofFilesOnly | fofAllowUndo |
                (trouble == QLatin1String("cancel") ? TFileOpFlag(0) : fofSilent));
    op.setSourcePaths(paths);
    op.setSourceIdentities(identities);
    op.setTrashAhead(true);
    FileOpCallbacks callbacks;
    callbacks.progress = [](const FileOpProgress &progress) { return progress.done < 150; };
    op.setCallbacks(callbacks);
    if (trouble == QLatin1String("kept")) {
        op.setLastLook([](qsizetype index, std::optional<FileIdentity> &) {
            return index % 5 == 1 ? QStringLiteral("kept") : QString();
        });
    }
    (void)op.Execute();

    QSet<QByteArray> moved;
    for (qsizetype i = 0; i < kFiles; ++i) {
        const FileOpOutcome &outcome = op.Outcomes()[i];
        if (outcome.state == FileOpState::Done) {
            moved.insert(paths[i]);
            QCOMPARE(readBytes(outcome.result.destination), content[paths[i]]);
        } else if (QFile::exists(QFile::decodeName(paths[i]))) {
            QVERIFY(trouble != QLatin1String("none"));
        }
    }
    const qsizetype expected = trouble == QLatin1String("none")       ? kFiles
                               : trouble == QLatin1String("cancel")   ? 150
                               : trouble == QLatin1String("changed")  ? kFiles - 43
                               : trouble == QLatin1String("kept")     ? kFiles - 60
                               : trouble == QLatin1String("vanished") ? kFiles - 33
                                                                      : kFiles;
    QCOMPARE(moved.size(), expected);
    // Every info new in the Trash names a moved file, which lies beside it.
    QSet<QByteArray> named;
    for (const QString &info : entriesOf(trash + "/info")) {
        if (infosBefore.contains(info)) continue;
        const QByteArray path = infoPathOf(trash + "/info/" + QFile::encodeName(info));
        QVERIFY2(moved.contains(path), qPrintable(info));
        QVERIFY(!named.contains(path));
        named.insert(path);
        const QByteArray file = trash + "/files/" + QFile::encodeName(info).chopped(10);
        QVERIFY(!filesBefore.contains(QFile::decodeName(file.mid(trash.size() + 7))));
        QCOMPARE(readBytes(file), content[path]);
    }
    QCOMPARE(named.size(), moved.size());
    QCOMPARE(entriesOf(trash + "/files").size(), filesBefore.size() + moved.size());
}

// A volume with room for a few infos only: the files whose info could be
// written are in its Trash with it, the others stay where they were, said to
// be kept for a full disk, and no info is left without its file.
void TestTrashInfoAhead::fullVolumeLosesNothing()
{
    const QByteArray volume = QFile::encodeName(testRoot()) + "/full";
    if (!mountSmallVolume(volume, 1024)) QSKIP("no tmpfs can be mounted here");
    const QByteArray trash = volume + "/.Trash-" + QByteArray::number(::getuid());
    for (const QByteArray &folder : {trash, trash + "/files", trash + "/info"})
        QVERIFY(::mkdir(folder.constData(), 0700) == 0);
    QList<QByteArray> paths;
    QList<std::optional<FileIdentity>> identities;
    for (int i = 0; i < 40; ++i) {
        paths << volume + "/f" + QByteArray::number(i) + ".tmp";
        QFile file(QFile::decodeName(paths.last()));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("content " + QByteArray::number(i)));
        file.close();
        identities << readIdentity(paths.last());
    }
    // Fill the volume, then give back room for a few pages.
    const QByteArray filler = volume + "/filler";
    const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QVERIFY(fd >= 0);
    const QByteArray block(4096, 'f');
    qint64 written = 0;
    for (ssize_t n; (n = ::write(fd, block.constData(), size_t(block.size()))) > 0;)
        written += n;
    QVERIFY(::ftruncate(fd, off_t(written - 6 * 4096)) == 0);
    ::close(fd);

    TFileOperation op;
    op.setOperation(foDelete);
    op.setFlags(fofNoConfirmation | fofSilent | fofFilesOnly | fofAllowUndo);
    op.setSourcePaths(paths);
    op.setSourceIdentities(identities);
    op.setTrashAhead(true);
    TrashPlaces places = TrashPlaces::forCurrentUser();
    places.onHomeVolume = [](dev_t) { return false; };
    places.topDirectory = [volume](const QByteArray &) { return volume; };
    op.setTrashPlaces(places);
    QList<QByteArray> asked;
    op.setCallbacks({{}, [&](const QByteArray &path, const QString &) {
                         asked << path;
                         return false;
                     }});
    (void)op.Execute();
    ::unlink(filler.constData());

    int moved = 0;
    for (int i = 0; i < 40; ++i) {
        const FileOpOutcome &outcome = op.Outcomes()[i];
        if (outcome.state == FileOpState::Done) {
            ++moved;
            QCOMPARE(readBytes(outcome.result.destination), "content " + QByteArray::number(i));
            continue;
        }
        QVERIFY2(outcome.result.reason.contains(QStringLiteral("disk is full")),
                 qPrintable(outcome.result.reason));
        QCOMPARE(readBytes(paths[i]), "content " + QByteArray::number(i));
    }
    QVERIFY(moved > 0 && moved < 40);
    QVERIFY(asked.isEmpty()); // never an offer to delete for good instead
    QCOMPARE(entriesOf(trash + "/info").size(), moved);
    QCOMPARE(entriesOf(trash + "/files").size(), moved);
    unmountVolume(volume);
}

CLARIVEX_TEST_MAIN_CORE(TestTrashInfoAhead)
#include "tst_trash_info_ahead.moc"
