// The pages of the window that are tools of their own: the FAT-losses
// calculator, the uninstall-list editor and the system tools.

#include "gui/shell/main_window.h"

#include "core/base/path_text.h"
#include "gui/scanners/fat_losses_page.h"
#include "gui/toolkit/minimize_path.h"
#include "gui/utilities/add_remove_programs_page.h"
#include "gui/utilities/system_tools_page.h"

#include <QFontMetrics>
#include <QLabel>

namespace clarivex {

void TClarivexMainForm::wireUtilityPages()
{
    m_fatLossesPage = addPage<TFatLossesPage>(QStringLiteral("FAT-Losses"));
    m_addRemovePage = addPage<TAddRemoveProgramsPage>(QStringLiteral("Add / Remove Programs"));
    m_systemToolsPage = addPage<TSystemToolsPage>(QStringLiteral("System Tools"));

    m_fatLossesPage->showFolder = [this](const QByteArray &folder) {
        const QFontMetrics metrics(m_statusPanels[1]->font());
        setStatusText(1, ui::MinimizeFolderPath(displayText(folder), metrics, 300));
    };
    m_fatLossesPage->clearStatus = [this] {
        setStatusText(0, QString());
        setStatusText(1, QString());
    };
    // One walk at a time: the calculation waits for no scan, and no scan
    // (or scheduled run) starts while it counts.
    m_fatLossesPage->otherWorkRunning = [this] { return scanInProgress(); };
    connect(m_fatLossesPage, &TFatLossesPage::runningChanged, this,
            [this](bool running) { setScanCommandsEnabled(!running); });

    m_addRemovePage->showError = [this](const QString &message) { ShowErrorDialog(message); };
}

void TClarivexMainForm::stopUtilityWork()
{
    m_fatLossesPage->stop();
}

} // namespace clarivex
