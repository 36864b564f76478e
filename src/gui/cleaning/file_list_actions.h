#pragma once

// The found-file list's popup menu and what its items do besides cleaning:
// view a file, show its properties, print the list, set up the printer, take
// rows out of the list without touching the files, show a file in the file
// manager, and save the list as CSV or JSON. The window supplies the clean,
// where a row was found, and the fields of its scan.

#include "core/cleaning/found_list_export.h"

#include <QObject>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QPrinter;
class QWidget;

namespace clarivex {

class TKvFileListView;

namespace ui {

class TFileListActions : public QObject
{
    Q_OBJECT
public:
    TFileListActions(TKvFileListView *list, QWidget *window);
    ~TFileListActions() override;

    QMenu *ListViewPopupMenu = nullptr;
    QAction *ItemViewFile = nullptr;
    QAction *ItemDeleteFile = nullptr;
    QAction *ItemPrintListofFiles = nullptr;
    QAction *ItemPrinterSetup = nullptr;
    QAction *ItemRemoveFromListWithoutDelete = nullptr;
    QAction *ExplorerMenu1 = nullptr;
    QAction *ItemProperties = nullptr;
    QAction *ItemSaveListAs = nullptr;

    // "&Delete File": the clean of the selected rows.
    std::function<void()> deleteFiles;
    // Where the row was found ("File group: Temporary files"); may be empty.
    std::function<QString(int row)> foundIn;
    // The fields the list's scan adds to a saved list.
    std::function<QList<cleaning::ListExportField>()> exportFields;
    // A failure the user must hear of (printing, saving).
    std::function<void(const QString &message)> showError;

    // The menu is about to open: the items that need rows follow the list.
    void ListViewPopupMenuPopup();
    void ItemViewFileClick();
    void FileListViewDblClick();
    void ItemPrintListofFilesClick();
    void ItemPrinterSetupClick();
    void ItemRemoveFromListWithoutDeleteClick();
    void ExplorerMenu1Click();
    void ItemSaveListAsClick();

    // The printer the set-up and print dialogs share.
    QPrinter &printer();
    // Prints the list on the printer as it is set up; false after reporting.
    bool PrintList(QPrinter &printer);

private:
    void buildMenu();
    // A file whose application needs a terminal: in the desktop's terminal.
    void viewInTerminal(const QString &launcher, const QString &name);
    void reportError(const QString &message);
    // What the desktop could not do for the user, and why.
    void tell(const QString &message);

    TKvFileListView *m_list;
    QWidget *m_window;
    std::unique_ptr<QPrinter> m_printer;
};

} // namespace ui
} // namespace clarivex
