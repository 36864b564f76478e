// clarivex-bench-scan-window TREE [ROWS]: the temporary-file scan in the real
// main window (offscreen), over TREE taken as a drive. It prints how long the
// walk took, the longest stretch in which the window processed no events (what
// a user feels as a freeze) and, in a second run, how long Stop took to end the
// walk. With ROWS (5000000 for the list at scale) a third scan takes every
// file as temporary and walks TREE as many times as it takes to list ROWS
// files, each time through a link of its own, and prints the longest freeze
// while the rows arrive beside its target.

#include "core/platform/volumes.h"
#include "gui/scanners/temp_files_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/main_window.h"
#include "gui/toolkit/notice_service.h"
#include "gui/toolkit/wrap_check_box.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

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

constexpr qint64 kLongestGapTargetMs = 50;

struct Run
{
    double seconds = 0;
    qint64 longestGapMs = 0;
    qint64 walkGapMs = 0; // the longest while rows arrived, the tree not built yet
    qint64 rows = 0;
    double stopSeconds = -1;
};

// With stopAtRows > 0, Stop is pressed once the list shows that many rows.
Run scan(TClarivexMainForm &window, qint64 stopAtRows)
{
    Run run;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer ticker; // turns of the event loop, as a repaint would see them
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { run.longestGapMs = std::max(run.longestGapMs, sinceTick.restart()); });
    QElapsedTimer stopClock;
    FoundFileModel *model = window.FileListView->Model();
    const auto stopper = QObject::connect(model, &QAbstractItemModel::rowsInserted, [&] {
        if (stopAtRows > 0 && !stopClock.isValid() && model->rowCount() >= stopAtRows) {
            stopClock.start();
            window.btnStop->click();
        }
    });
    double walkEndSeconds = -1;
    const auto walked = QObject::connect(&window, &TClarivexMainForm::walkFinished, [&] {
        if (stopClock.isValid()) walkEndSeconds = stopClock.nsecsElapsed() / 1e9;
        run.walkGapMs = std::max(run.longestGapMs, sinceTick.elapsed());
    });
    ticker.start();
    QElapsedTimer clock;
    clock.start();
    sinceTick.restart();
    window.btnScanTempFilesClick();
    run.seconds = clock.nsecsElapsed() / 1e9;
    run.stopSeconds = walkEndSeconds;
    run.rows = window.FoundFileCount;
    QObject::disconnect(stopper);
    QObject::disconnect(walked);
    return run;
}
} // namespace

// Every file of the tree is taken as temporary, and the tree is given as
// `copies` drives: links to it, each walked through its "." so that the link
// itself is followed.
void scanEverything(TClarivexMainForm &window, const QByteArray &tree, qint64 copies,
                    const QString &linkFolder)
{
    QDir().mkpath(linkFolder);
    QList<platform::Volume> drives;
    for (qint64 copy = 0; copy < copies; ++copy) {
        const QByteArray link = QFile::encodeName(linkFolder) + "/drive" + QByteArray::number(copy);
        if (!QFile::link(QFile::decodeName(tree), QFile::decodeName(link)))
            std::fprintf(stderr, "cannot link %s\n", link.constData());
        platform::Volume drive;
        drive.root = link + "/.";
        drive.caption = QFile::decodeName(drive.root);
        drives.append(drive);
    }
    platform::Volumes::setFixedList(drives);
    TTempFilesPage *page = window.tempFilesPage();
    page->DiskListViewTF->FillDrives();
    for (int i = 0; i < drives.size(); ++i)
        page->DiskListViewTF->SetChecked(i, true);
    for (QString &masks : page->GroupMasks)
        masks = QStringLiteral("*");
}

int main(int argc, char **argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: clarivex-bench-scan-window TREE [ROWS]\n");
        return 2;
    }
    const qint64 wantedRows = argc == 3 ? QByteArray(argv[2]).toLongLong() : 0;
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/.config"));
    qputenv("XDG_STATE_HOME", QFile::encodeName(home.path() + "/.local/state"));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ui::installNoticeService(std::make_unique<SilentNotices>());

    platform::Volume tree;
    tree.root = QByteArray(argv[1]);
    tree.caption = QString::fromLocal8Bit(argv[1]);
    platform::Volumes::setFixedList({tree});
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.tempFilesPage()->DiskListViewTF->SetChecked(0, true);
    window.tempFilesPage()->cbTFPlaySound->setChecked(false);
    window.show();

    const Run whole = scan(window, 0);
    std::printf("whole scan: %.3f s, %lld rows, longest time without events: %lld ms\n",
                whole.seconds, static_cast<long long>(whole.rows),
                static_cast<long long>(whole.longestGapMs));
    const Run stopped = scan(window, whole.rows / 2);
    std::printf("stopped scan: Stop pressed at %lld rows, the walk ended %.1f ms later, "
                "%lld rows kept\n",
                static_cast<long long>(whole.rows / 2), stopped.stopSeconds * 1000,
                static_cast<long long>(stopped.rows));
    std::printf("scan_s %.3f\nlongest_gap_ms %lld\nstop_ms %.1f\n", whole.seconds,
                static_cast<long long>(whole.longestGapMs), stopped.stopSeconds * 1000);
    if (wantedRows <= 0) return 0;

    // The list at scale: every file of the tree, as many times as it takes.
    QTemporaryDir links;
    scanEverything(window, QByteArray(argv[1]), 1, links.path() + "/once");
    const Run once = scan(window, 0);
    if (once.rows <= 0) {
        std::fprintf(stderr, "no rows from %s\n", argv[1]);
        return 1;
    }
    const qint64 copies = (wantedRows + once.rows - 1) / once.rows;
    scanEverything(window, QByteArray(argv[1]), copies, links.path() + "/many");
    const Run big = scan(window, 0);
    std::printf("scan of every file, %lld times over: %.3f s, %lld rows (%.0f rows/s)\n",
                static_cast<long long>(copies), big.seconds, static_cast<long long>(big.rows),
                double(big.rows) / big.seconds);
    std::printf("big_rows %lld\n", static_cast<long long>(big.rows));
    std::printf("big_walk_gap_ms %lld   target <= %lld  %s\n",
                static_cast<long long>(big.walkGapMs), static_cast<long long>(kLongestGapTargetMs),
                big.walkGapMs <= kLongestGapTargetMs ? "met" : "MISSED");
    std::printf("big_longest_gap_ms %lld   (tree build included)\n",
                static_cast<long long>(big.longestGapMs));
    return big.walkGapMs <= kLongestGapTargetMs ? 0 : 1;
}
