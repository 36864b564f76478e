#pragma once

// The "Add / Remove Programs" page: the entries of the uninstall list, whose
// title and command can be edited, and which can be deleted or added. The
// page is either browsing (list and its buttons) or editing (the two edits
// with OK and Cancel).

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace clarivex {

class TAddRemoveProgramsPage : public QWidget
{
    Q_OBJECT
public:
    explicit TAddRemoveProgramsPage(QWidget *parent = nullptr);

    void LoadUninstallList();
    void btnAdd_RemoveNewClick();
    void btnAdd_RemoveDeleteClick();
    void btnAdd_RemoveEditClick();
    void btnAdd_RemoveOKClick();
    void btnAdd_RemoveCancelClick();
    [[nodiscard]] bool editing() const { return m_editing; }

    // The window's error display, for a write that failed.
    std::function<void(const QString &message)> showError;

    QListWidget *lvAdd_RemovePrograms = nullptr;
    QPushButton *btnAdd_RemoveNew = nullptr;
    QPushButton *btnAdd_RemoveDelete = nullptr;
    QPushButton *btnAdd_RemoveEdit = nullptr;
    QLabel *lblRegEntry = nullptr;
    QLineEdit *txtAdd_RemoveTitle = nullptr;
    QLineEdit *txtAdd_RemoveCommand = nullptr;
    QPushButton *btnAdd_RemoveOK = nullptr;
    QPushButton *btnAdd_RemoveCancel = nullptr;

private:
    void setEditing(bool on);
    void browse(); // back to browsing: edits and entry label emptied
    [[nodiscard]] const QListWidgetItem *selectedItem() const;

    bool m_editing = false;
    QString m_editedKey; // empty while a new entry is typed
};

} // namespace clarivex
