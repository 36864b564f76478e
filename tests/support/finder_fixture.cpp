#include "support/finder_fixture.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clarivex::test {

namespace {
// Byte paths throughout: the names need not be UTF-8.
void makePath(const QByteArray &path)
{
    for (qsizetype slash = path.indexOf('/', 1); slash >= 0; slash = path.indexOf('/', slash + 1))
        ::mkdir(path.left(slash).constData(), 0755);
    ::mkdir(path.constData(), 0755);
}

void makeParent(const QByteArray &path)
{
    makePath(path.left(path.lastIndexOf('/')));
}

int removeEntry(const char *path, const struct stat *, int type, struct FTW *)
{
    if (type == FTW_DP) return ::rmdir(path), 0;
    return ::unlink(path), 0;
}
} // namespace

FinderTree::FinderTree() : m_root(QFile::encodeName(m_dir.path())) {}

FinderTree::~FinderTree()
{
    // Qt cannot name every entry a test makes (bytes that are not UTF-8).
    ::chmod(m_root.constData(), 0755);
    ::nftw(m_root.constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
}

void FinderTree::file(const QByteArray &relative, const QByteArray &content, int mode)
{
    const QByteArray full = path(relative);
    makeParent(full);
    const int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY2(fd >= 0, full.constData());
    QCOMPARE(::write(fd, content.constData(), size_t(content.size())), ssize_t(content.size()));
    ::close(fd);
    QCOMPARE(::chmod(full.constData(), mode_t(mode)), 0);
}

void FinderTree::folder(const QByteArray &relative)
{
    makePath(path(relative));
    struct stat st;
    QVERIFY(::stat(path(relative).constData(), &st) == 0 && S_ISDIR(st.st_mode));
}

void FinderTree::link(const QByteArray &relative, const QByteArray &target)
{
    const QByteArray full = path(relative);
    makeParent(full);
    QCOMPARE(::symlink(target.constData(), full.constData()), 0);
}

void FinderTree::setModified(const QByteArray &relative, const QDateTime &when)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = time_t(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
    times[0].tv_nsec = times[1].tv_nsec = long(((ms % 1000) + 1000) % 1000) * 1000000;
    QCOMPARE(::utimensat(AT_FDCWD, path(relative).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

FinderRun runFinder(TKvFindFile &finder, const FinderTree &tree, const QByteArray &start,
                    const FinderHooks &hooks)
{
    FinderRun run;
    const qsizetype prefix = tree.root().size() + 1;
    finder.OnAddFile = [&run, &hooks, prefix](const QByteArray &Path, const TFindData &Data,
                                              bool &Cancel) {
        const QByteArray relative = (Path + Data.name).mid(prefix);
        run.files << relative;
        run.events << "F " + relative;
        run.data << Data;
        if (hooks.onAddFile) hooks.onAddFile(relative, Cancel);
    };
    finder.OnChDir = [&run, &hooks, prefix](const QByteArray &Name, bool &Cancel) {
        run.events << "D " + Name.mid(prefix);
        if (hooks.onChDir) hooks.onChDir(Name.mid(prefix), Cancel);
    };
    finder.AfterExecute = [&run](TKvFindFile &) { ++run.afterExecute; };
    run.result = finder.Execute(start);
    return run;
}

} // namespace clarivex::test
