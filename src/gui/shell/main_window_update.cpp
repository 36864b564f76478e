// The main window's update check: the component, its settings and the menu
// entry "&Check program updates...".

#include "gui/shell/main_window.h"

#include "core/utilities/auto_upgrade.h"
#include "core/utilities/version_info.h"
#include "gui/toolkit/notice_service.h"
#include "gui/utilities/auto_upgrade_window.h"

#include <QCoreApplication>

namespace clarivex {

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
    if (AutoUpgrade->InfoURL.trimmed().isEmpty()) {
        ui::notices().information(this, QStringLiteral("Clarivex 2000"),
                                  QStringLiteral("No update address is configured."));
        return;
    }
    AutoUpgrade->CheckForUpdate();
}

} // namespace clarivex
