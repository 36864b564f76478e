// clarivex-bench-duplicates-window TREE: the duplicate-file scan at scale.
// First the collect phase's memory: a million synthetic candidates (names of
// 8 to 30 bytes, ten files a folder, folders 60 to 90 bytes long) through the
// collector's own events, in bytes per candidate. Then the scan in the real
// main window (offscreen) over TREE, "Require same name" and "Require same
// date/time" off: the whole time, the longest stretch without events (a
// freeze), and how long Stop takes to end the walk and the comparison.

#include "core/platform/volumes.h"
#include "core/scanners/duplicate_collect.h"
#include "gui/scanners/duplicate_files_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/main_window.h"
#include "gui/toolkit/notice_service.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <random>
#include <unistd.h>

using namespace clarivex;

namespace {
// The benchmark answers nothing: a message box would stop it.
class SilentNotices : public ui::NoticeService
{
public:
    void information(QWidget *, const QString &, const QString &text, ui::NoticeIcon) override
    {
        std::fprintf(stderr, "notice: %s\n", qPrintable(text));
    }
    bool confirm(QWidget *, const QString &, const QString &, ui::NoticeIcon) override
    {
        return false;
    }
    QString openFileName(QWidget *, const ui::FileDialogRequest &) override { return {}; }
    QString saveFileName(QWidget *, const ui::FileDialogRequest &) override { return {}; }
    QString existingFolder(QWidget *, const QString &, const QString &) override { return {}; }
    std::optional<QString> inputText(QWidget *, const QString &, const QString &,
                                     const QString &) override
    {
        return std::nullopt;
    }
    void showDialog(QDialog &, const QString &summary) override
    {
        std::fprintf(stderr, "dialog: %s\n", qPrintable(summary));
    }
};

qint64 residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return qint64(resident) * sysconf(_SC_PAGESIZE);
}

void collectMemory()
{
    constexpr int kFiles = 1000000;
    const qint64 before = residentBytes();
    DuplicateCollector collector;
    DuplicateScanOptions options;
    options.checkFileName = false;
    options.checkFileTimeStamp = false;
    collector.begin(options);
    std::mt19937 random(1);
    TFindData data;
    for (int i = 0; i < kFiles; ++i) {
        if (i % 10 == 0) {
            QByteArray folder = "/home/someone/projects/sources/library-" +
                                QByteArray::number(i / 1000) + "/module/" +
                                QByteArray(int(random() % 30), 'd') + QByteArray::number(i) + '/';
            collector.ChDir(folder);
        }
        data.name = QByteArray(8 + int(random() % 23), 'n');
        data.name.append(QByteArray::number(i));
        data.size = qint64(random() % 100000);
        collector.AddFile(data);
    }
    QElapsedTimer sortClock;
    sortClock.start();
    collector.sortKeys();
    const double sortSeconds = sortClock.nsecsElapsed() / 1e9;
    const qint64 after = residentBytes();
    std::printf("collect, %d synthetic candidates: %.1f bytes each counted, %.1f bytes each "
                "resident; sort %.3f s\n",
                kFiles, double(collector.memoryBytes()) / kFiles, double(after - before) / kFiles,
                sortSeconds);
}

struct Run
{
    double seconds = 0;
    qint64 longestGapMs = 0;
    double stopMs = -1;
    qint64 files = 0;
};

// stopIn: 0 none, 1 during the walk (300 ms in), 2 during the comparison.
Run scan(TClarivexMainForm &window, int stopIn)
{
    Run run;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer ticker; // turns of the event loop, as a repaint would see them
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { run.longestGapMs = std::max(run.longestGapMs, sinceTick.restart()); });
    QElapsedTimer stopClock;
    QElapsedTimer compareClock;
    QTimer walkStop;
    walkStop.setSingleShot(true);
    QObject::connect(&walkStop, &QTimer::timeout, [&] {
        stopClock.start();
        window.btnStop->click();
    });
    const auto bar = QObject::connect(window.statusProgressBar(), &QProgressBar::valueChanged, [&] {
        if (!compareClock.isValid()) compareClock.start();
        if (stopIn == 2 && !stopClock.isValid() && compareClock.elapsed() > 300) {
            stopClock.start();
            window.btnStop->click();
        }
    });
    if (stopIn == 1) walkStop.start(300);
    ticker.start();
    QElapsedTimer clock;
    clock.start();
    sinceTick.restart();
    window.btnScanDupeFilesClick();
    run.seconds = clock.nsecsElapsed() / 1e9;
    if (stopClock.isValid()) run.stopMs = stopClock.nsecsElapsed() / 1e6;
    run.files = window.FoundFileCount;
    QObject::disconnect(bar);
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: clarivex-bench-duplicates-window TREE\n");
        return 2;
    }
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/.config"));
    qputenv("XDG_STATE_HOME", QFile::encodeName(home.path() + "/.local/state"));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ui::installNoticeService(std::make_unique<SilentNotices>());
    collectMemory();

    platform::Volume tree;
    tree.root = QByteArray(argv[1]);
    tree.caption = QString::fromLocal8Bit(argv[1]);
    platform::Volumes::setFixedList({tree});
    TClarivexMainForm window;
    window.createWindowSteps({});
    TDuplicateFilesPage *page = window.duplicatesPage();
    page->DiskListViewDF->SetChecked(0, true);
    page->cbDFPlaySound->setChecked(false);
    page->chkCheckFileName->setChecked(false);
    page->chkCheckFileTimeStamp->setChecked(false);
    window.show();

    const Run whole = scan(window, 0);
    std::printf("whole scan: %.3f s, %lld duplicates, longest time without events: %lld ms\n",
                whole.seconds, static_cast<long long>(whole.files),
                static_cast<long long>(whole.longestGapMs));
    const Run walk = scan(window, 1);
    std::printf("Stop 300 ms into the walk: the scan ended %.1f ms later\n", walk.stopMs);
    const Run compare = scan(window, 2);
    std::printf("Stop 300 ms into the comparison: the scan ended %.1f ms later, %lld duplicates "
                "kept\n",
                compare.stopMs, static_cast<long long>(compare.files));
    return 0;
}
