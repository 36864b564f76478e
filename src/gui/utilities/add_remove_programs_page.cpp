#include "gui/utilities/add_remove_programs_page.h"

#include "core/shell/custom_registry.h"
#include "core/utilities/uninstall_entries.h"
#include "gui/toolkit/notice_service.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace clarivex {

namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kCommandRole = Qt::UserRole + 1;

QPushButton *button(const char *name, const char *caption, QWidget *parent)
{
    auto *b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QString quotedKey(const QString &key)
{
    return QLatin1Char('"') + kUninstallKey + key + QLatin1Char('"');
}

} // namespace

TAddRemoveProgramsPage::TAddRemoveProgramsPage(QWidget *parent) : QWidget(parent)
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setVerticalSpacing(3);
    grid->addWidget(new QLabel(QStringLiteral("Add / Remove Items:"), this), 0, 0, 1, 2);
    lvAdd_RemovePrograms = new QListWidget(this);
    lvAdd_RemovePrograms->setObjectName(QStringLiteral("lvAdd_RemovePrograms"));
    lvAdd_RemovePrograms->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvAdd_RemovePrograms->setSelectionMode(QAbstractItemView::SingleSelection);
    lvAdd_RemovePrograms->setMouseTracking(true); // rows light up under the mouse
    lvAdd_RemovePrograms->setAttribute(Qt::WA_Hover);
    grid->addWidget(lvAdd_RemovePrograms, 1, 0, 4, 1);
    btnAdd_RemoveNew = button("btnAdd_RemoveNew", "&New...", this);
    btnAdd_RemoveDelete = button("btnAdd_RemoveDelete", "&Delete", this);
    btnAdd_RemoveEdit = button("btnAdd_RemoveEdit", "&Edit", this);
    grid->addWidget(btnAdd_RemoveNew, 1, 1);
    grid->addWidget(btnAdd_RemoveDelete, 2, 1);
    grid->addWidget(btnAdd_RemoveEdit, 3, 1);
    grid->setRowStretch(4, 1);

    lblRegEntry = new QLabel(this);
    lblRegEntry->setObjectName(QStringLiteral("lblRegEntry"));
    lblRegEntry->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(lblRegEntry, 5, 0, 1, 2);
    auto *edits = new QGridLayout;
    txtAdd_RemoveTitle = new QLineEdit(this);
    txtAdd_RemoveTitle->setObjectName(QStringLiteral("txtAdd_RemoveTitle"));
    txtAdd_RemoveCommand = new QLineEdit(this);
    txtAdd_RemoveCommand->setObjectName(QStringLiteral("txtAdd_RemoveCommand"));
    auto *titleLabel = new QLabel(QStringLiteral("Title:"), this);
    titleLabel->setBuddy(txtAdd_RemoveTitle);
    auto *commandLabel = new QLabel(QStringLiteral("Command:"), this);
    commandLabel->setBuddy(txtAdd_RemoveCommand);
    edits->addWidget(titleLabel, 0, 0);
    edits->addWidget(txtAdd_RemoveTitle, 0, 1);
    edits->addWidget(commandLabel, 1, 0);
    edits->addWidget(txtAdd_RemoveCommand, 1, 1);
    grid->addLayout(edits, 6, 0);
    auto *okCancel = new QVBoxLayout;
    btnAdd_RemoveOK = button("btnAdd_RemoveOK", "&OK", this);
    btnAdd_RemoveCancel = button("btnAdd_RemoveCancel", "&Cancel", this);
    okCancel->addWidget(btnAdd_RemoveOK);
    okCancel->addWidget(btnAdd_RemoveCancel);
    grid->addLayout(okCancel, 6, 1);
    grid->setColumnStretch(0, 1);

    connect(btnAdd_RemoveNew, &QPushButton::clicked, this,
            &TAddRemoveProgramsPage::btnAdd_RemoveNewClick);
    connect(btnAdd_RemoveDelete, &QPushButton::clicked, this,
            &TAddRemoveProgramsPage::btnAdd_RemoveDeleteClick);
    connect(btnAdd_RemoveEdit, &QPushButton::clicked, this,
            &TAddRemoveProgramsPage::btnAdd_RemoveEditClick);
    connect(btnAdd_RemoveOK, &QPushButton::clicked, this,
            &TAddRemoveProgramsPage::btnAdd_RemoveOKClick);
    connect(btnAdd_RemoveCancel, &QPushButton::clicked, this,
            &TAddRemoveProgramsPage::btnAdd_RemoveCancelClick);
    connect(lvAdd_RemovePrograms, &QListWidget::itemDoubleClicked, this,
            &TAddRemoveProgramsPage::btnAdd_RemoveEditClick);
    connect(txtAdd_RemoveTitle, &QLineEdit::returnPressed, this,
            &TAddRemoveProgramsPage::btnAdd_RemoveOKClick);
    connect(txtAdd_RemoveCommand, &QLineEdit::returnPressed, this,
            &TAddRemoveProgramsPage::btnAdd_RemoveOKClick);
    setEditing(false);
}

void TAddRemoveProgramsPage::LoadUninstallList()
{
    lvAdd_RemovePrograms->clear();
    // Each row keeps its own subkey, so rows with the same title (or a title
    // holding "=") still act on their own entry.
    for (const UninstallEntry &entry : readUninstallEntries()) {
        auto *item = new QListWidgetItem(entry.title, lvAdd_RemovePrograms);
        item->setData(kKeyRole, entry.key);
        item->setData(kCommandRole, entry.command);
        item->setToolTip(entry.command);
    }
}

void TAddRemoveProgramsPage::setEditing(bool on)
{
    m_editing = on;
    lvAdd_RemovePrograms->setEnabled(!on);
    btnAdd_RemoveNew->setEnabled(!on);
    btnAdd_RemoveDelete->setEnabled(!on);
    btnAdd_RemoveEdit->setEnabled(!on);
    txtAdd_RemoveTitle->setEnabled(on);
    txtAdd_RemoveCommand->setEnabled(on);
    btnAdd_RemoveOK->setEnabled(on);
    btnAdd_RemoveCancel->setEnabled(on);
    if (on) txtAdd_RemoveTitle->setFocus();
}

void TAddRemoveProgramsPage::browse()
{
    txtAdd_RemoveTitle->clear();
    txtAdd_RemoveCommand->clear();
    lblRegEntry->clear();
    m_editedKey.clear();
    setEditing(false);
}

const QListWidgetItem *TAddRemoveProgramsPage::selectedItem() const
{
    const QListWidgetItem *item = lvAdd_RemovePrograms->currentItem();
    return item && item->isSelected() ? item : nullptr;
}

void TAddRemoveProgramsPage::btnAdd_RemoveNewClick()
{
    m_editedKey.clear();
    txtAdd_RemoveTitle->clear();
    txtAdd_RemoveCommand->clear();
    lblRegEntry->clear();
    setEditing(true);
}

void TAddRemoveProgramsPage::btnAdd_RemoveEditClick()
{
    const QListWidgetItem *item = selectedItem();
    if (m_editing || !item) return;
    m_editedKey = item->data(kKeyRole).toString();
    txtAdd_RemoveTitle->setText(item->text());
    txtAdd_RemoveCommand->setText(item->data(kCommandRole).toString());
    lblRegEntry->setText(QStringLiteral("Registry Entry: ") + m_editedKey);
    setEditing(true);
}

void TAddRemoveProgramsPage::btnAdd_RemoveOKClick()
{
    if (!m_editing || txtAdd_RemoveTitle->text().isEmpty()) return;
    if (!ui::notices().confirm(
            this, QStringLiteral("Clarivex 2000"),
            QStringLiteral("Are you sure you want to modify the selected item ?")))
        return;
    const QString title = txtAdd_RemoveTitle->text();
    const QString command = txtAdd_RemoveCommand->text();
    try {
        if (m_editedKey.isEmpty()) {
            // A new entry gets a key of its own; it never overwrites another.
            if (createUninstallEntry(title, command).isEmpty())
                ui::notices().information(this, QStringLiteral("Clarivex 2000"),
                                          QStringLiteral("Failed to open ") + quotedKey(title));
        } else if (!writeUninstallEntry(m_editedKey, title, command)) {
            ui::notices().information(this, QStringLiteral("Clarivex 2000"),
                                      QStringLiteral("Failed to open ") + quotedKey(m_editedKey));
        }
    } catch (const ERegistryException &error) {
        if (showError) showError(error.message());
    }
    LoadUninstallList();
    browse();
}

void TAddRemoveProgramsPage::btnAdd_RemoveCancelClick()
{
    browse();
}

void TAddRemoveProgramsPage::btnAdd_RemoveDeleteClick()
{
    const QListWidgetItem *item = selectedItem();
    if (m_editing || !item) return;
    const QString key = item->data(kKeyRole).toString();
    if (!ui::notices().confirmForGood(
            this, QStringLiteral("Clarivex 2000"),
            QStringLiteral("Are you sure you want to delete the selected item ?"
                           "\n\nYou may not be able to uninstall the application later."),
            ui::NoticeIcon::Question))
        return;
    bool deleted = false;
    try {
        deleted = deleteUninstallEntry(key);
    } catch (const ERegistryException &) {
        deleted = false;
    }
    if (!deleted)
        ui::notices().information(this, QStringLiteral("Clarivex 2000"),
                                  QStringLiteral("Failed to delete ") + quotedKey(key));
    LoadUninstallList();
}

} // namespace clarivex
