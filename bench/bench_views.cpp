// Measures the found-file list and the file tree at scale: for each size (by
// default 1,000,000 and 5,000,000 rows) adds that many rows made from the
// files of a folder tree (repeating its files under other folders when it has
// fewer), sorts them by every column, the Type column first while no row was
// drawn, and builds the file tree of all their paths.
//   clarivex-bench-views FOLDER [ROWS...]
// Each figure is printed beside its target. The summary lines per size are
// "rows_per_s N", "bytes_per_row N", "sort_s N" and "tree_build_s N" (sort_s is
// the slowest column; times are CPU seconds of this thread, the machine being
// shared; wall times are printed beside them).

#include "core/base/find_data.h"
#include "core/search/file_type_cache.h"
#include "core/search/found_file_model.h"
#include "core/search/path_tree.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace clarivex;

namespace {

constexpr qsizetype kDefaultSizes[] = {1000000, 5000000};
// Targets: rows added per second and bytes a row holds (its name's own bytes
// not counted); the slowest sort, one second up to a million rows and three
// seconds up to five million.
constexpr double kRowsPerSecondTarget = 500000;
constexpr double kBytesPerRowTarget = 80;

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
        found.data.device = quint64(info.st_dev); // as the finder hands them over
        found.data.inode = quint64(info.st_ino);
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
const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

// One size: adds `rows` rows, sorts by every column, builds the tree. False
// when a target was missed.
bool measure(qsizetype rows, const QByteArray &root, const std::vector<QByteArray> &folders,
             const std::vector<Found> &files)
{
    std::printf("\n== %lld rows ==\n", qlonglong(rows));
    // Repeats of the tree's files are found again through links to it, each
    // a folder of its own, as a scan of several such trees would find them.
    const qsizetype copies = (rows + qsizetype(files.size()) - 1) / qsizetype(files.size());
    QTemporaryDir links;
    std::vector<QByteArray> copyFolders;
    copyFolders.reserve(size_t(copies) * folders.size());
    for (qsizetype copy = 0; copy < copies; ++copy) {
        const QByteArray base =
            QFile::encodeName(links.path()) + "/copy" + QByteArray::number(copy) + '/';
        if (copy > 0 && ::symlink(root.constData(), base.chopped(1).constData()) != 0) {
            std::fprintf(stderr, "cannot link %s\n", base.constData());
            return false;
        }
        for (const QByteArray &folder : folders)
            copyFolders.push_back(copy == 0 ? folder : base + folder.mid(root.size()));
    }

    auto model = std::make_unique<FoundFileModel>();
    const size_t heapBefore = heapInUse();
    qint64 nameBytes = 0;
    qint64 added = 0;
    double longestAdd = 0; // the longest stretch of 4,096 rows, with their announcement
    Stopwatch timer;
    Stopwatch stretch;
    for (qsizetype i = 0; i < rows; ++i) {
        const size_t file = size_t(i) % files.size();
        const Found &found = files[file];
        const size_t copy = size_t(i) / files.size();
        if (model->AddFile(copyFolders[copy * folders.size() + found.folder], found.data)) {
            ++added;
            nameBytes += found.data.name.size();
        }
        if (i % 4096 == 4095) {
            model->FlushPending();
            longestAdd = std::max(longestAdd, stretch.wall());
            stretch.restart();
        }
    }
    model->FlushPending();
    const double addSeconds = timer.cpu();
    const double addWall = timer.wall();
    const size_t heapAfter = heapInUse();
    const double rowsPerSecond = added / addSeconds;
    const double bytesPerRow = (double(heapAfter - heapBefore) - double(nameBytes)) / double(added);
    std::printf("added %lld rows in %.3f s CPU, %.3f s wall; longest 4,096 rows %.1f ms wall\n",
                qlonglong(added), addSeconds, addWall, longestAdd * 1000);

    const double sortTarget = rows <= 1000000 ? 1.0 : 3.0;
    double slowestSort = 0;
    const quint64 readsBefore = FileTypeCache::shared().contentReads();
    const int order[] = {colType,     colName,       colFolder,      colSize,
                         colModified, colAttributes, colFileVersion, colProductVersion,
                         colCreation, colLastWrite,  colLastAccess};
    for (int column : order) {
        timer.restart();
        model->SortRows(column, column % 2 == 0);
        const double seconds = timer.cpu();
        slowestSort = std::max(slowestSort, seconds);
        std::printf("sort by %-12s %.3f s CPU, %.3f s wall   target <= %.0f s  %s\n",
                    FoundFileModel::ColumnCaption(column).toUtf8().constData(), seconds,
                    timer.wall(), sortTarget, verdict(seconds <= sortTarget));
    }
    const quint64 reads = FileTypeCache::shared().contentReads() - readsBefore;
    std::printf("files read while sorting: %llu   target 0  %s\n", qulonglong(reads),
                verdict(reads == 0));

    // The tree of every row's path, the lines a scan collects.
    PathTree tree;
    tree.RootName = QStringLiteral("File Tree");
    tree.Paths.reserve(added);
    for (int r = 0; r < model->RowCount(); ++r)
        tree.Paths.append(model->FilePath(r) + '/');
    model.reset();
    timer.restart();
    tree.Rebuild();
    const double treeSeconds = timer.cpu();
    std::printf("tree of %lld paths: %lld nodes in %.3f s CPU, %.3f s wall\n",
                qlonglong(tree.Paths.size()), qlonglong(tree.NodeCount()), treeSeconds,
                timer.wall());

    const bool rateMet = rowsPerSecond >= kRowsPerSecondTarget;
    const bool bytesMet = bytesPerRow <= kBytesPerRowTarget;
    const bool sortMet = slowestSort <= sortTarget;
    std::printf("rows_per_s %.0f   target >= %.0f  %s\n", rowsPerSecond, kRowsPerSecondTarget,
                verdict(rateMet));
    std::printf("bytes_per_row %.1f   target <= %.0f  %s\n", bytesPerRow, kBytesPerRowTarget,
                verdict(bytesMet));
    std::printf("sort_s %.3f   target <= %.0f  %s\n", slowestSort, sortTarget, verdict(sortMet));
    std::printf("tree_build_s %.3f\n", treeSeconds);
    return rateMet && bytesMet && sortMet && reads == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: clarivex-bench-views FOLDER [ROWS...]\n");
        return 2;
    }
    QByteArray root(argv[1]);
    while (root.size() > 1 && root.endsWith('/'))
        root.chop(1);
    root += '/';
    std::vector<qsizetype> sizes;
    for (int i = 2; i < argc; ++i) {
        bool ok = false;
        const qsizetype rows = QByteArray(argv[i]).toLongLong(&ok);
        if (!ok || rows <= 0 || rows > 100000000) {
            std::fprintf(stderr, "not a row count: %s\n", argv[i]);
            return 2;
        }
        sizes.push_back(rows);
    }
    if (sizes.empty()) sizes.assign(std::begin(kDefaultSizes), std::end(kDefaultSizes));

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
    bool met = true;
    for (const qsizetype rows : sizes)
        met = measure(rows, root, folders, files) && met;
    std::printf("\nall targets %s\n", met ? "met" : "NOT met");
    return met ? 0 : 1;
}
