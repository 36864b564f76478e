#include "gui/utilities/auto_upgrade_window.h"

#include "core/utilities/auto_upgrade.h"
#include "core/utilities/update_release.h"
#include "gui/toolkit/bring_forward.h"
#include "gui/toolkit/notice_service.h"

#include <QDesktopServices>
#include <QPointer>
#include <QProgressDialog>
#include <QUrl>

#include <memory>

namespace clarivex {

namespace {

// The progress dialog of one download, and whether the user cancelled it.
struct DownloadDialog
{
    QPointer<QProgressDialog> dialog;
    bool cancelled = false;
};

void showDownload(DownloadDialog &state, TAutoUpgrade &upgrade, QWidget *window,
                  const QString &release)
{
    state.cancelled = false;
    auto *dialog = new QProgressDialog(window);
    dialog->setObjectName(QStringLiteral("UpdateDownloadDialog"));
    dialog->setWindowTitle(QStringLiteral("Clarivex 2000"));
    dialog->setLabelText(QStringLiteral("Downloading %1...").arg(release));
    dialog->setCancelButtonText(QStringLiteral("Cancel"));
    dialog->setRange(0, 100);
    dialog->setMinimumDuration(0);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setWindowModality(Qt::WindowModal);
    QObject::connect(dialog, &QProgressDialog::canceled, &upgrade, [&state, &upgrade] {
        state.cancelled = true;
        upgrade.cancelDownload();
    });
    state.dialog = dialog;
    dialog->show();
}

void endDownload(DownloadDialog &state, QWidget *window, bool done, const QString &error)
{
    if (state.dialog) {
        state.dialog->disconnect(); // closing it is no cancel
        state.dialog->close();
        state.dialog->deleteLater();
    }
    if (done || state.cancelled) return;
    ui::notices().information(window, QStringLiteral("Clarivex 2000"),
                              QStringLiteral("The update could not be downloaded: %1").arg(error),
                              ui::NoticeIcon::Warning);
}

} // namespace

void attachAutoUpgradeToWindow(TAutoUpgrade &upgrade, QWidget *window,
                               AutoUpgradeWindowActions actions)
{
    auto state = std::make_shared<DownloadDialog>();
    AutoUpgradeWindow &side = upgrade.window;
    side.ask = [window](const QString &caption, const QString &text) {
        return ui::notices().confirm(window, caption, text, ui::NoticeIcon::Question);
    };
    side.bringToFront = [window] { ui::bringForward(window); };
    side.openInBrowser = [](const QUrl &page) { QDesktopServices::openUrl(page); };
    side.downloadStarted = [state, &upgrade, window](const QString &release) {
        showDownload(*state, upgrade, window, release);
    };
    side.downloadProgress = [state](qint64 total, qint64 readed) {
        if (state->dialog && total > 0) state->dialog->setValue(int(readed * 100 / total));
    };
    side.downloadEnded = [state, window](bool done, const QString &error) {
        endDownload(*state, window, done, error);
    };
    side.handOver = [actions](const QString &release) {
        // A settings store that cannot be written keeps the program running,
        // so that nothing of the session is lost.
        if (actions.saveSettings && !actions.saveSettings()) return;
        QDesktopServices::openUrl(QUrl::fromLocalFile(releaseHandOverPath(release)));
        if (actions.endProgram) actions.endProgram();
    };
    side.showError = actions.showError;
}

} // namespace clarivex
