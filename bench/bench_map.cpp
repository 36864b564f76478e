// Measures the "Map" tab at scale: 1,000,000 found rows spread over a folder
// tree (made here, or the files below FOLDER repeated), then the treemap's
// steps: the rows read on the window's thread, the build and layout and the
// picture on the worker, one painted frame, and the memory the map keeps.
//   clarivex-bench-map [FOLDER]
// No peer draws a map of found files; each figure is printed beside its target.

#include "core/search/found_file_model.h"
#include "core/search/treemap_layout.h"
#include "core/search/treemap_rows.h"
#include "gui/search/found_files_map.h"
#include "gui/search/treemap_render.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

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
constexpr int kMadeFolders = 5000;
constexpr int kFilesPerFolder = 4;
const QSize kMaximised(1600, 900);

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

struct Found
{
    QByteArray folder;
    QByteArray name;
};

// A tree of kMadeFolders folders, each below a random earlier one.
bool makeTree(const QByteArray &root, std::vector<Found> &files)
{
    QRandomGenerator random(29);
    std::vector<QByteArray> folders{root};
    for (int f = 1; f < kMadeFolders; ++f) {
        const QByteArray &parent = folders[random.bounded(int(folders.size()))];
        const QByteArray folder = parent + "dir" + QByteArray::number(f) + '/';
        if (::mkdir(folder.constData(), 0755) != 0) return false;
        folders.push_back(folder);
    }
    for (const QByteArray &folder : folders) {
        for (int i = 0; i < kFilesPerFolder; ++i) {
            const QByteArray name = "file" + QByteArray::number(i) + ".tmp";
            const int fd = ::open((folder + name).constData(), O_WRONLY | O_CREAT, 0644);
            if (fd < 0) return false;
            ::close(fd);
            files.push_back({folder, name});
        }
    }
    return true;
}

void walk(const QByteArray &folder, std::vector<Found> &files)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir) return;
    std::vector<QByteArray> subfolders;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..") continue;
        struct stat info
        {
        };
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(info.st_mode))
            subfolders.push_back(folder + name + '/');
        else if (S_ISREG(info.st_mode))
            files.push_back({folder, name});
    }
    ::closedir(dir);
    for (const QByteArray &sub : subfolders)
        walk(sub, files);
}

// The CPU time of this thread: on a shared machine wall time mostly measures
// the other programs. Wall time is printed beside it.
double cpuMs()
{
    struct timespec t
    {
    };
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + t.tv_nsec / 1e6;
}

class Stopwatch
{
public:
    Stopwatch() { restart(); }
    void restart()
    {
        m_wall.start();
        m_cpu = cpuMs();
    }
    double cpu() const { return cpuMs() - m_cpu; }
    double wall() const { return m_wall.nsecsElapsed() / 1e6; }

private:
    QElapsedTimer m_wall;
    double m_cpu = 0;
};

void line(const char *what, double cpu, double wall, const char *target)
{
    std::printf("%-30s %9.1f ms CPU %9.1f ms wall   target %s\n", what, cpu, wall, target);
}

// Files given a pixel or more by the last layout.
qsizetype visibleFiles(const Treemap &map)
{
    qsizetype count = 0;
    std::vector<MapBox> boxes;
    for (quint32 f = 0; f < map.Folders().size(); ++f) {
        map.CellBoxes(f, boxes);
        count += std::count_if(boxes.begin(), boxes.end(),
                               [](const MapBox &b) { return b.w * b.h >= 1; });
    }
    return count;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<Found> files;
    QTemporaryDir made;
    if (argc == 2) {
        QByteArray root(argv[1]);
        if (!root.endsWith('/')) root += '/';
        walk(root, files);
    } else if (argc == 1) {
        if (!made.isValid() || !makeTree(QFile::encodeName(made.path()) + '/', files)) {
            std::fprintf(stderr, "clarivex-bench-map: cannot make the folder tree\n");
            return 1;
        }
    } else {
        std::fprintf(stderr, "usage: clarivex-bench-map [FOLDER]\n");
        return 2;
    }
    if (files.empty()) {
        std::fprintf(stderr, "clarivex-bench-map: no files\n");
        return 1;
    }

    // Sizes as a home's files have them: most small, a few very large.
    FoundFileModel model;
    QRandomGenerator random(7);
    // Each pass over the tree's files lists them under folders of its own, so
    // that the rows spread over folders as thickly as the tree's files do.
    for (qsizetype i = 0; i < kRows; ++i) {
        const size_t at = size_t(i) % files.size();
        const Found &found = files[at];
        const qsizetype pass = i / qsizetype(files.size());
        TFindData data;
        data.name = found.name;
        data.size = qint64(std::pow(10.0, random.generateDouble() * 7.5));
        data.attributes = faArchive;
        data.device = 1; // known: the model looks at no file
        data.inode = quint64(i) + 1;
        const QByteArray folder =
            pass == 0 ? found.folder : found.folder + "pass" + QByteArray::number(pass) + '/';
        (void)model.AddFile(folder, data, nullptr, int(i % 7));
    }
    model.FlushPending();
    std::printf("%d rows in %zu distinct files, map %dx%d\n", model.RowCount(), files.size(),
                kMaximised.width(), kMaximised.height());

    // The steps the tab takes, one by one, timed apart.
    const size_t heapStart = heapInUse();
    Stopwatch timer;
    Treemap::Source source = TreemapSourceOf(model);
    const double snapshotCpu = timer.cpu(), snapshotWall = timer.wall();
    const size_t heapSource = heapInUse();

    Treemap map;
    timer.restart();
    map.Build(std::move(source));
    map.Layout(Treemap::kRoot, QRectF(QPointF(0, 0), QSizeF(kMaximised)),
               TFoundFilesMap::kMinFolderArea);
    const double layoutCpu = timer.cpu(), layoutWall = timer.wall();
    const size_t heapMap = heapInUse();
    const double keptPerRow = double(heapMap - heapStart) / model.RowCount();
    const double peakPerRow = double(heapSource - heapStart) / model.RowCount();

    TreemapColours colours;
    timer.restart();
    colours.ofRow.assign(size_t(model.RowCount()), 0);
    for (int r = 0; r < model.RowCount(); ++r)
        colours.ofRow[size_t(r)] = mapKeyColour(model.Row(r).group);
    const double coloursCpu = timer.cpu(), coloursWall = timer.wall();
    timer.restart();
    const QImage picture = renderTreemap(map, kMaximised, 1.0, colours);
    const double renderCpu = timer.cpu(), renderWall = timer.wall();
    colours.ofRow = {};

    // The widget: from the list to a shown map, and frames painted.
    TFoundFilesMap widget(&model);
    widget.SetRowColour([](const FoundFileRow &row) { return mapKeyColour(row.group); });
    widget.resize(kMaximised);
    widget.show();
    QCoreApplication::processEvents();
    timer.restart();
    widget.Refresh();
    const double uiCpu = timer.cpu(), uiWall = timer.wall(); // the window's own share
    while (widget.IsBusy() || !widget.Map())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double shownWall = timer.wall();
    QWidget *canvas = widget.findChild<QWidget *>(QStringLiteral("MapCanvas"));
    QImage frame(canvas->size(), QImage::Format_RGB32);
    constexpr int kFrames = 20;
    timer.restart();
    for (int i = 0; i < kFrames; ++i)
        canvas->render(&frame);
    const double frameCpu = timer.cpu() / kFrames, frameWall = timer.wall() / kFrames;

    std::printf("folders %zu, files of a pixel or more: %lld, pooled areas %zu\n",
                map.Folders().size(), qlonglong(visibleFiles(map)), map.Others().size());
    line("rows read (window thread)", snapshotCpu, snapshotWall, "-");
    line("build + layout (worker)", layoutCpu, layoutWall, "<= 300 ms");
    line("row colours", coloursCpu, coloursWall, "-");
    line("picture (worker)", renderCpu, renderWall, "-");
    line("window thread per refresh", uiCpu, uiWall, "-");
    line("paint one frame", frameCpu, frameWall, "<= 16 ms");
    std::printf("%-30s %9.1f ms wall\n", "refresh until shown", shownWall);
    std::printf("%-30s %9.1f bytes                  target <= 24\n", "memory kept per row",
                keptPerRow);
    std::printf("%-30s %9.1f bytes (rows read, before the build)\n", "memory at the peak per row",
                peakPerRow);
    std::printf("picture %lld KiB (per pixel, not per row)\n",
                qlonglong(picture.sizeInBytes() / 1024));
    std::printf("layout_ms %.1f\n", layoutCpu);
    std::printf("frame_ms %.2f\n", frameCpu);
    std::printf("bytes_per_row %.1f\n", keptPerRow);
    return 0;
}
