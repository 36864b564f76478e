// The main window's side of the settings: copying the catalogue into the
// controls and back, loading and saving it, and the error dialog that reports
// what failed.

#include "gui/shell/main_window.h"

#include "core/shell/custom_registry.h"
#include "core/shell/registry_database.h"
#include "gui/scanners/clean_directories_page.h"
#include "gui/scanners/dead_links_page.h"
#include "gui/scanners/dead_shortcuts_page.h"
#include "gui/scanners/duplicate_files_page.h"
#include "gui/scanners/temp_files_page.h"
#include "gui/schedule/schedule_page.h"
#include "gui/shell/error_dialog.h"
#include "gui/shell/logs_page.h"
#include "gui/shell/options_page.h"
#include "gui/toolkit/notice_service.h"
#include "gui/toolkit/side_bar.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>

namespace clarivex {

namespace {

void setOptionButton(QRadioButton *button, bool on)
{
    if (on) {
        button->click();
        return;
    }
    // An exclusive group keeps one button checked; it lets go for the moment.
    QButtonGroup *group = button->group();
    const bool exclusive = group && group->exclusive();
    if (exclusive) group->setExclusive(false);
    button->setChecked(false);
    if (exclusive) group->setExclusive(true);
}

void applyOptions(TOptionsPage &page, const GeneralOptions &options)
{
    page.cbStartInTray->setChecked(options.StartInTray);
    page.cbRunAtStartup->setChecked(options.RunAtStartup);
    page.cbConfirmDelete->setChecked(options.ConfirmDelete);
    page.setDeleteType(options.DeleteType);
    page.txtMoveFolderPath->setText(options.MoveFolderPath);
    page.txtZipFileName->setText(options.ZipFileName);
    page.cbAutoLoadScheduler->setChecked(options.AutoLoadScheduler);
    // Setting an option button to true runs its click; setting one to false
    // only clears it, so that two false values leave neither chosen.
    setOptionButton(page.rbDefaultWAV, options.DefaultWAV);
    setOptionButton(page.rbWAVFile, options.WAVFile);
    page.txtWAVFileName->setText(options.WAVFileName);
}

void readOptions(const TOptionsPage &page, GeneralOptions &options)
{
    options.StartInTray = page.cbStartInTray->isChecked();
    options.RunAtStartup = page.cbRunAtStartup->isChecked();
    options.ConfirmDelete = page.cbConfirmDelete->isChecked();
    options.DeleteType = page.DeleteType;
    options.MoveFolderPath = page.txtMoveFolderPath->text();
    options.ZipFileName = page.txtZipFileName->text();
    options.AutoLoadScheduler = page.cbAutoLoadScheduler->isChecked();
    options.DefaultWAV = page.rbDefaultWAV->isChecked();
    options.WAVFile = page.rbWAVFile->isChecked();
    options.WAVFileName = page.txtWAVFileName->text();
}

} // namespace

void TClarivexMainForm::applySettings(const SettingsCatalogue &settings)
{
    m_settings = settings;
    const WindowSettings &w = settings.window;
    setGeometry(w.Left, w.Top, std::max(w.Width, minimumWidth()),
                std::max(w.Height, minimumHeight()));
    m_fitOnShow = w.firstStart && w.WindowState == 0;
    m_loadedSize = size();
    if (w.WindowState == 2)
        setWindowState(Qt::WindowMaximized);
    else if (w.WindowState == 1)
        setWindowState(Qt::WindowMinimized);
    sideBar()->setActiveGroup(w.ActiveGroupIndex);
    if (!w.ActiveItemCaption.isEmpty() && w.ActiveItemCaption != QLatin1String("About"))
        sideBar()->clickItem(w.ActiveItemCaption);
    applyOptions(*m_optionsPage, settings.options);
    m_tempFilesPage->loadSettings(settings.tempFiles);
    m_duplicatesPage->loadSettings(settings.duplicates);
    m_deadShortcutsPage->loadSettings(settings.deadShortcuts);
    m_directoriesPage->loadSettings(settings.directories);
    m_deadLinksPage->fillFolder();
    m_schedulePage->loadSettings(settings.schedule);
    m_logsPage->loadSettings(settings.options);
    applyUpdateSettings(settings.update);
}

SettingsCatalogue TClarivexMainForm::currentSettings() const
{
    SettingsCatalogue settings = m_settings;
    WindowSettings &w = settings.window;
    if (isMinimized())
        w.WindowState = 1;
    else
        w.WindowState = isMaximized() ? 2 : 0;
    if (!isMaximized()) { // a maximised window keeps the last normal bounds stored
        const QRect bounds = isMinimized() ? normalGeometry() : geometry();
        w.Left = bounds.left();
        w.Top = bounds.top();
        w.Width = bounds.width();
        w.Height = bounds.height();
    }
    w.ActiveGroupIndex = sideBar()->activeGroup();
    w.ActiveItemCaption = currentPage();
    readOptions(*m_optionsPage, settings.options);
    m_logsPage->saveSettings(settings.options);
    m_tempFilesPage->saveSettings(settings.tempFiles);
    m_duplicatesPage->saveSettings(settings.duplicates);
    m_deadShortcutsPage->saveSettings(settings.deadShortcuts);
    m_directoriesPage->saveSettings(settings.directories);
    m_schedulePage->saveSettings(settings.schedule);
    return settings;
}

bool TClarivexMainForm::LoadAllSettings()
{
    m_context = SettingsContext::current();
    SettingsCatalogue settings = m_settings;
    QString failure;
    try {
        clarivex::LoadAllSettings(settings, m_context);
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(error.what());
    }
    // What was read before a failure stays; the rest keeps its built-in state.
    applySettings(settings);
    // Also when the store could not be opened after the damaged file was moved.
    const QString notice = RegistryDatabase::takeResetNotice();
    if (!notice.isEmpty())
        ui::notices().information(this, QStringLiteral("Clarivex 2000"), notice,
                                  ui::NoticeIcon::Warning);
    if (!failure.isEmpty()) {
        ShowErrorDialog(failure);
        return false;
    }
    try {
        m_logsPage->loadLog();
    } catch (const EventLogError &error) {
        ShowErrorDialog(QString::fromUtf8(error.what()));
        return false;
    }
    return true;
}

bool TClarivexMainForm::SaveAllSettings()
{
    try {
        clarivex::SaveAllSettings(currentSettings(), m_context.executablePath.isEmpty()
                                                         ? SettingsContext::current()
                                                         : m_context);
        return true;
    } catch (const std::exception &error) {
        ShowErrorDialog(QString::fromUtf8(error.what()));
        return false;
    }
}

void TClarivexMainForm::ShowErrorDialog(const QString &message)
{
    TClarivexShowError dialog(this);
    dialog.setTitle(QStringLiteral(" Clarivex 2000 3.5 - Error"));
    if (!message.isEmpty()) dialog.setErrorText(message);
    ui::notices().showDialog(dialog, message);
}

bool TClarivexMainForm::WriteLogEvent(const QString &text)
{
    try {
        m_logsPage->WriteLogEvent(text);
        return true;
    } catch (const EventLogError &error) {
        ShowErrorDialog(QString::fromUtf8(error.what()));
        return false;
    }
}

EventLog &TClarivexMainForm::eventLog()
{
    return m_logsPage->eventLog();
}

} // namespace clarivex
