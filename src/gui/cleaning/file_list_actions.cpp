#include "gui/cleaning/file_list_actions.h"

#include "core/cleaning/file_properties.h"
#include "core/cleaning/list_print.h"
#include "core/platform/desktop_apps.h"
#include "gui/cleaning/file_properties_dialog.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/toolkit/notice_service.h"

#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QScopeGuard>
#include <QUrl>

#include <sys/stat.h>

namespace clarivex::ui {

namespace {

bool exists(const QByteArray &path)
{
    struct stat st;
    return !path.isEmpty() && ::lstat(path.constData(), &st) == 0;
}

// The folder a file is in, opened by the desktop; false when nothing could
// open it (no application for folders, or the desktop's opener failed).
bool openFolderOf(const QByteArray &path)
{
    const QByteArray folder = path.left(std::max<qsizetype>(path.lastIndexOf('/'), 1));
    if (platform::associatedApplication(QStringLiteral("inode/directory")).isEmpty()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(folder)));
}

} // namespace

TFileListActions::TFileListActions(TKvFileListView *list, QWidget *window)
    : QObject(window), m_list(list), m_window(window)
{
    buildMenu();
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        ListViewPopupMenu->popup(m_list->viewport()->mapToGlobal(at));
    });
    connect(m_list, &QAbstractItemView::doubleClicked, this,
            &TFileListActions::FileListViewDblClick);
}

TFileListActions::~TFileListActions() = default;

void TFileListActions::buildMenu()
{
    ListViewPopupMenu = new QMenu(m_list);
    ListViewPopupMenu->setObjectName(QStringLiteral("ListViewPopupMenu"));
    const auto item = [this](const char *name, const char *caption,
                             void (TFileListActions::*slot)()) {
        QAction *action = ListViewPopupMenu->addAction(QString::fromLatin1(caption));
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    ItemViewFile = item("ItemViewFile", "&View File", &TFileListActions::ItemViewFileClick);
    ItemDeleteFile = ListViewPopupMenu->addAction(QStringLiteral("&Delete File"));
    ItemDeleteFile->setObjectName(QStringLiteral("ItemDeleteFile"));
    connect(ItemDeleteFile, &QAction::triggered, this, [this] {
        if (deleteFiles) deleteFiles();
    });
    ListViewPopupMenu->addSeparator();
    ItemPrintListofFiles = item("ItemPrintListofFiles", "Print &List of Files",
                                &TFileListActions::ItemPrintListofFilesClick);
    ItemPrinterSetup =
        item("ItemPrinterSetup", "Printer &Setup", &TFileListActions::ItemPrinterSetupClick);
    ListViewPopupMenu->addSeparator();
    ItemRemoveFromListWithoutDelete =
        item("ItemRemoveFromListWithoutDelete", "&Remove from List without delete file(s)",
             &TFileListActions::ItemRemoveFromListWithoutDeleteClick);
    ListViewPopupMenu->addSeparator();
    ExplorerMenu1 = item("ExplorerMenu1", "&Explorer Menu", &TFileListActions::ExplorerMenu1Click);
    ListViewPopupMenu->addSeparator();
    ItemProperties = item("ItemProperties", "&Properties", &TFileListActions::FileListViewDblClick);
    ListViewPopupMenu->addSeparator();
    ItemSaveListAs =
        item("ItemSaveListAs", "Save List &As...", &TFileListActions::ItemSaveListAsClick);
    connect(ListViewPopupMenu, &QMenu::aboutToShow, this,
            &TFileListActions::ListViewPopupMenuPopup);
}

void TFileListActions::ListViewPopupMenuPopup()
{
    const bool rows = m_list->Model()->RowCount() > 0;
    for (QAction *action : {ItemViewFile, ItemProperties, ItemDeleteFile, ItemPrintListofFiles})
        action->setEnabled(rows);
}

void TFileListActions::reportError(const QString &message)
{
    if (showError)
        showError(message);
    else
        notices().information(m_window, QStringLiteral("Clarivex 2000"), message,
                              NoticeIcon::Error);
}

void TFileListActions::tell(const QString &message)
{
    notices().information(m_window, QStringLiteral("Clarivex 2000"), message,
                          NoticeIcon::Information);
}

void TFileListActions::ItemViewFileClick()
{
    const QByteArray path = SelectedFilePath(m_list);
    if (!exists(path)) return;
    const QString name = QFile::decodeName(path);
    const QString folder = QFileInfo(name).absolutePath();
    const QString launcher = platform::associatedApplication(platform::fileMimeType(path));
    if (!launcher.isEmpty() && platform::launcherNeedsTerminal(launcher)) {
        // Started without one it would show nothing, and run where nobody sees.
        viewInTerminal(launcher, name);
        return;
    }
    if (!launcher.isEmpty()) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(name)))
            tell(QStringLiteral("The desktop could not open '%1'.").arg(name));
        return;
    }
    // No application for this kind of file: the text editor shows it.
    QStringList command = platform::textEditorCommand(name);
    if (command.isEmpty()) {
        tell(QStringLiteral("No application opens '%1', and no text editor is "
                            "installed to show it.")
                 .arg(name));
        return;
    }
    const QString program = command.takeFirst();
    if (!QProcess::startDetached(program, command, folder))
        tell(QStringLiteral("'%1' could not be started to show '%2'.").arg(program, name));
}

void TFileListActions::viewInTerminal(const QString &launcher, const QString &name)
{
    const QString application = platform::launcherName(launcher);
    QStringList command = platform::launcherCommand(launcher, name);
    QStringList terminal = platform::terminalCommand(qEnvironmentVariable("PATH"));
    if (terminal.isEmpty() || command.isEmpty()) {
        tell(QStringLiteral("'%1' would open in %2, which runs in a terminal, and no "
                            "terminal is set on this desktop (neither the TERMINAL "
                            "variable nor x-terminal-emulator).")
                 .arg(name, application.isEmpty() ? launcher : application));
        return;
    }
    const QString program = terminal.takeFirst();
    if (!QProcess::startDetached(program, terminal + command, QFileInfo(name).absolutePath()))
        tell(QStringLiteral("The terminal '%1' could not be started to open '%2' in %3.")
                 .arg(program, name, application));
}

void TFileListActions::FileListViewDblClick()
{
    const QByteArray path = SelectedFilePath(m_list);
    const std::optional<cleaning::FileProperties> properties = cleaning::readFileProperties(path);
    if (!properties) return;
    const QList<int> rows = m_list->SelectedRows();
    const QString found = foundIn && !rows.isEmpty() ? foundIn(rows.first()) : QString();
    TFilePropertiesDialog dialog(*properties, found, m_window);
    notices().showDialog(dialog, dialog.summary());
}

QPrinter &TFileListActions::printer()
{
    if (!m_printer) m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void TFileListActions::ItemPrinterSetupClick()
{
    QPageSetupDialog dialog(&printer(), m_window);
    notices().showDialog(dialog, QStringLiteral("Printer Setup"));
}

void TFileListActions::ItemPrintListofFilesClick()
{
    if (m_list->Model()->RowCount() == 0) return;
    QPrintDialog dialog(&printer(), m_window);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    notices().showDialog(dialog, QStringLiteral("Print List of Files"));
    if (dialog.result() != QDialog::Accepted) return;
    (void)PrintList(printer());
}

bool TFileListActions::PrintList(QPrinter &target)
{
    // Positions are device units: a 600 or 1200 dpi device would crowd the
    // columns into a strip at the left of the page.
    target.setResolution(cleaning::kListPrintResolution);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    // Names are shortened as the window's font measures them.
    const QFontMetrics window = m_window->fontMetrics();
    cleaning::FoundListPrint print(*m_list->Model(), [&window](const QString &text, int width) {
        return cleaning::FitTextWithEllipsis(text, window, width);
    });
    QString error;
    if (print.print(target, error)) return true;
    reportError(error);
    return false;
}

void TFileListActions::ItemRemoveFromListWithoutDeleteClick()
{
    const QList<int> rows = m_list->SelectedRows();
    if (rows.isEmpty()) return;
    m_list->Model()->RemoveRows({rows.first()});
}

void TFileListActions::ExplorerMenu1Click()
{
    const QByteArray path = SelectedFilePath(m_list);
    if (!exists(path)) return;
    // The file manager shows the file selected in its folder; without one on
    // the session bus, the desktop opens the folder.
    const auto showFolder = [this, path] {
        if (!openFolderOf(path))
            tell(QStringLiteral("There is no file manager on this desktop to show '%1' in its "
                                "folder.")
                     .arg(QFile::decodeName(path)));
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        showFolder();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    const QUrl url = QUrl::fromLocalFile(QFile::decodeName(path));
    call << QStringList{url.toString(QUrl::FullyEncoded)} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, showFolder] {
        if (watcher->isError()) showFolder();
        watcher->deleteLater();
    });
}

void TFileListActions::ItemSaveListAsClick()
{
    FileDialogRequest request;
    request.caption = QStringLiteral("Save List As");
    request.filter = QStringLiteral("CSV Files (*.csv);;JSON Files (*.json)");
    request.defaultSuffix = QStringLiteral("csv");
    request.mustExist = false;
    const QString fileName = notices().saveFileName(m_window, request);
    if (fileName.isEmpty()) return;
    const QList<cleaning::ListExportField> fields =
        exportFields ? exportFields() : QList<cleaning::ListExportField>();
    QString error;
    if (!cleaning::saveFoundList(fileName, cleaning::exportFormatFor(fileName), *m_list->Model(),
                                 fields, error))
        reportError(QStringLiteral("The list could not be saved as '%1': %2").arg(fileName, error));
}

} // namespace clarivex::ui
