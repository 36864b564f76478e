// Measures the found-file list and the file tree at scale: adds 1,000,000 rows
// made from the files of a folder tree (repeating its files when it has fewer),
// sorts them by every column and builds the tree of 200,000 of their paths.
//   clarivex-bench-views FOLDER
// The last four lines are "rows_per_s N", "bytes_per_row N", "sort_s N" and
// "tree_build_s N" (sort_s is the slowest column; times are CPU seconds).

#include "core/base/find_data.h"
#include "core/search/found_file_model.h"
#include "core/search/path_tree.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace clarivex;

namespace {

constexpr qsizetype kRows = 1000000;
constexpr qsizetype kTreePaths = 200000;

struct Found
{
    quint32 folder;
    TFindData data;
};

qint64 ns(const struct timespec &t)
{
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Plain readdir/fstatat walk; symbolic links are listed, never followed.
void walk(const QByteArray &folder, std::vector<QByteArray> &folders, std::vector<Found> &files)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir) return;
    const auto folderIndex = quint32(folders.size());
    folders.push_back(folder);
    std::vector<QByteArray> subfolders;
    const int fd = ::dirfd(dir);
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..") continue;
        struct stat info
        {
        };
        if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(info.st_mode)) {
            subfolders.push_back(folder + name + '/');
            continue;
        }
        if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) continue;
        Found found{folderIndex, {}};
        found.data.name = name;
        found.data.size = info.st_size;
        found.data.lastWriteTime = ns(info.st_mtim);
        found.data.lastAccessTime = ns(info.st_atim);
        found.data.creationTime = ns(info.st_ctim);
        found.data.attributes = faArchive | (name.startsWith('.') ? quint32(faHidden) : 0u) |
                                ((info.st_mode & S_IWUSR) ? 0u : quint32(faReadOnly));
        found.data.isSymlink = S_ISLNK(info.st_mode);
        files.push_back(std::move(found));
    }
    ::closedir(dir);
    for (const QByteArray &sub : subfolders)
        walk(sub, folders, files);
}

// Wall time and the CPU time of this (only) thread, kernel time included. The
// summary lines use CPU time: on a shared machine wall time mostly measures
// the other programs.
class Stopwatch
{
public:
    Stopwatch() { restart(); }
    void restart()
    {
        m_wall.start();
        m_cpu = cpuNow();
    }
    double wall() const { return m_wall.nsecsElapsed() / 1e9; }
    double cpu() const { return cpuNow() - m_cpu; }

private:
    static double cpuNow()
    {
        struct timespec t
        {
        };
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) + t.tv_nsec / 1e9;
    }
    QElapsedTimer m_wall;
    double m_cpu = 0;
};

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd; // small blocks and mmap-ed ones
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: clarivex-bench-views FOLDER\n");
        return 2;
    }
    QByteArray root(argv[1]);
    while (root.size() > 1 && root.endsWith('/'))
        root.chop(1);
    root += '/';

    std::vector<QByteArray> folders;
    std::vector<Found> files;
    Stopwatch timer;
    walk(root, folders, files);
    std::printf("walked %zu files in %zu folders in %.2f s\n", files.size(), folders.size(),
                timer.wall());
    if (files.empty()) {
        std::fprintf(stderr, "no files below %s\n", root.constData());
        return 1;
    }

    FoundFileModel model;
    const size_t heapBefore = heapInUse();
    qint64 nameBytes = 0;
    qint64 added = 0;
    timer.restart();
    for (qsizetype i = 0; i < kRows; ++i) {
        const Found &found = files[size_t(i) % files.size()];
        if (model.AddFile(folders[found.folder], found.data)) {
            ++added;
            nameBytes += found.data.name.size();
        }
    }
    model.FlushPending();
    const double addSeconds = timer.cpu();
    const double addWall = timer.wall();
    const size_t heapAfter = heapInUse();
    const double rowsPerSecond = added / addSeconds;
    const double bytesPerRow = (double(heapAfter - heapBefore) - double(nameBytes)) / double(added);
    std::printf("added %lld rows in %.3f s CPU, %.3f s wall\n", qlonglong(added), addSeconds,
                addWall);

    double slowestSort = 0;
    for (int column = 0; column < kFoundFileColumnCount; ++column) {
        timer.restart();
        model.SortRows(column, column % 2 == 0);
        const double seconds = timer.cpu();
        slowestSort = std::max(slowestSort, seconds);
        std::printf("sort by %-12s %.3f s CPU, %.3f s wall\n",
                    FoundFileModel::ColumnCaption(column).toUtf8().constData(), seconds,
                    timer.wall());
    }

    PathTree tree;
    tree.RootName = QStringLiteral("File Tree");
    for (qsizetype i = 0; i < kTreePaths && i < qsizetype(files.size()); ++i) {
        const Found &found = files[size_t(i)];
        tree.Paths.append(folders[found.folder] + found.data.name + '/');
    }
    // Fewer files than paths wanted: the same files again, under numbered names.
    for (qsizetype i = tree.Paths.size(); i < kTreePaths; ++i) {
        const Found &found = files[size_t(i) % files.size()];
        tree.Paths.append(folders[found.folder] + QByteArray::number(i) + '_' + found.data.name +
                          '/');
    }
    timer.restart();
    tree.Rebuild();
    const double treeSeconds = timer.cpu();
    std::printf("tree of %lld paths: %lld nodes in %.3f s CPU, %.3f s wall\n",
                qlonglong(tree.Paths.size()), qlonglong(tree.NodeCount()), treeSeconds,
                timer.wall());

    std::printf("rows_per_s %.0f\n", rowsPerSecond);
    std::printf("bytes_per_row %.1f\n", bytesPerRow);
    std::printf("sort_s %.3f\n", slowestSort);
    std::printf("tree_build_s %.3f\n", treeSeconds);
    return 0;
}
