// The main window's update check: the component, its settings and the menu
// entry "&Check program updates...".

#include "gui/shell/main_window.h"

#include "core/utilities/auto_upgrade.h"
#include "core/utilities/version_info.h"
#include "gui/toolkit/notice_service.h"
#include "gui/utilities/auto_upgrade_window.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>

namespace clarivex {

namespace {
constexpr int kAskedCheckInactivityMs = 5000;
constexpr int kAskedCheckTotalMs = 8000;
} // namespace

void TClarivexMainForm::wireUpdateCheck()
{
    AutoUpgrade = new TAutoUpgrade(this);
    AutoUpgrade->setObjectName(QStringLiteral("AutoUpgrade"));
    AutoUpgrade->VersionControl = byDate;
    AutoUpgrade->VersionDate = QStringLiteral("09/26/2000");
    AutoUpgrade->VersionNumber = programFileVersion();
    attachAutoUpgradeToWindow(*AutoUpgrade, this,
                              {[this] { return SaveAllSettings(); },
                               [] { QCoreApplication::exit(0); },
                               [this](const QString &message) { ShowErrorDialog(message); }});
    connect(this, &TClarivexMainForm::updateCheckRequested, this,
            &TClarivexMainForm::checkProgramUpdates);
}

void TClarivexMainForm::applyUpdateSettings(const UpdateSettings &update)
{
    AutoUpgrade->InfoURL = update.InfoURL;
    AutoUpgrade->Active = update.AutoCheck;
}

void TClarivexMainForm::checkProgramUpdates()
{
    const QString caption = QStringLiteral("Clarivex 2000");
    if (AutoUpgrade->InfoURL.trimmed().isEmpty()) {
        ui::notices().information(
            this, caption,
            QStringLiteral("No update address is configured.\n\nIt is the value InfoURL of "
                           "HKCU%1Settings\\Update, set with:\nclarivex-cli reg set "
                           "'HKCU%1Settings\\Update' InfoURL --text https://...")
                .arg(QString::fromLatin1(kSettingsRoot)));
        return;
    }
    const AutoUpgradeWindow &side = AutoUpgrade->window;
    if (!(side.isConnected ? side.isConnected() : TAutoUpgrade::IsConnectedToInternet())) {
        ui::notices().information(this, caption,
                                  QStringLiteral("There is no connection to the Internet, so "
                                                 "the update check could not be made."),
                                  ui::NoticeIcon::Warning);
        return;
    }
    if (AutoUpgrade->checking() || AutoUpgrade->downloading()) return;
    // A check the user waits for ends in a few seconds, and always says how
    // it ended; the automatic one stays silent and may take its time.
    const UpdateTransferOptions stored = AutoUpgrade->InfoTransfer;
    AutoUpgrade->InfoTransfer.inactivityTimeoutMs =
        std::min(stored.inactivityTimeoutMs, kAskedCheckInactivityMs);
    AutoUpgrade->InfoTransfer.totalTimeoutMs = std::min(stored.totalTimeoutMs, kAskedCheckTotalMs);
    QString outcome;
    ui::NoticeIcon icon = ui::NoticeIcon::Information;
    AutoUpgrade->OnNoUpdateAvailable = [&outcome](TAutoUpgrade *) {
        outcome = QStringLiteral("Clarivex 2000 is up to date: there is no newer release.");
    };
    AutoUpgrade->OnError = [&outcome, &icon](TAutoUpgrade *upgrade) {
        outcome = QStringLiteral("The update check failed: %1").arg(upgrade->lastError());
        icon = ui::NoticeIcon::Warning;
    };
    const QPointer<TAutoUpgrade> upgrade = AutoUpgrade;
    AutoUpgrade->CheckForUpdate();
    if (!upgrade) return;
    upgrade->OnNoUpdateAvailable = nullptr;
    upgrade->OnError = nullptr;
    upgrade->InfoTransfer = stored;
    // A newer release has asked its own question.
    if (!outcome.isEmpty()) ui::notices().information(this, caption, outcome, icon);
}

} // namespace clarivex
