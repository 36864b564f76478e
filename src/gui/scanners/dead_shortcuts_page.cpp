#include "gui/scanners/dead_shortcuts_page.h"

#include "core/base/settings_types.h"
#include "gui/toolkit/wrap_check_box.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace clarivex {

namespace {

const char kExplanation[] =
    "A dead shortcut points to a file that no longer exists. Clarivex 2000 looks for them in "
    "the places checked below and lists the shortcut files so that you can clean them. "
    "Shortcuts to a missing file on a removable, CD-ROM or network drive are listed only when "
    "you ask for them, as the disk may just be absent.";

QCheckBox *checkBox(const char *name, const char *caption, bool checked, QWidget *parent)
{
    auto *box = new ui::WrapCheckBox(QString::fromLatin1(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(checked);
    return box;
}

} // namespace

TDeadShortcutsPage::TDeadShortcutsPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    MemoDeadShortcuts = new QPlainTextEdit(QString::fromLatin1(kExplanation), this);
    MemoDeadShortcuts->setObjectName(QStringLiteral("MemoDeadShortcuts"));
    MemoDeadShortcuts->setReadOnly(true);
    MemoDeadShortcuts->setFrameShape(QFrame::NoFrame);
    MemoDeadShortcuts->setBackgroundRole(QPalette::Window);
    MemoDeadShortcuts->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(MemoDeadShortcuts, 1);

    chkDeadShortcutsDesktop =
        checkBox("chkDeadShortcutsDesktop", "Seach for Dead Shortcuts on the Desktop", true, this);
    chkDeadShortcutsStartMenu = checkBox("chkDeadShortcutsStartMenu",
                                         "Seach for Dead Shortcuts on the Start Menu", true, this);
    chkDeadShortcutsRecent =
        checkBox("chkDeadShortcutsRecent", "Seach for Dead Shortcuts on the Recent Documents Menu",
                 true, this);
    chkDSCleanRemovableDrives =
        checkBox("chkDSCleanRemovableDrives", "Clean broken shortcuts linked to removable drives",
                 false, this);
    chkDSCleanCDROMDrives = checkBox("chkDSCleanCDROMDrives",
                                     "Clean broken shortcuts linked to CD-ROM drives", false, this);
    chkDSCleanNetworkDrives =
        checkBox("chkDSCleanNetworkDrives",
                 "Clean broken shortcuts linked to remote/network drives", false, this);
    for (QCheckBox *box :
         {chkDeadShortcutsDesktop, chkDeadShortcutsStartMenu, chkDeadShortcutsRecent,
          chkDSCleanRemovableDrives, chkDSCleanCDROMDrives, chkDSCleanNetworkDrives})
        layout->addWidget(box);
}

QString TDeadShortcutsPage::explanation() const
{
    return MemoDeadShortcuts->toPlainText();
}

void TDeadShortcutsPage::loadSettings(const DeadShortcutSettings &s)
{
    chkDeadShortcutsDesktop->setChecked(s.DeadShortcutsDesktop);
    chkDeadShortcutsStartMenu->setChecked(s.DeadShortcutsStartMenu);
    chkDeadShortcutsRecent->setChecked(s.DeadShortcutsRecent);
}

void TDeadShortcutsPage::saveSettings(DeadShortcutSettings &s) const
{
    s.DeadShortcutsDesktop = chkDeadShortcutsDesktop->isChecked();
    s.DeadShortcutsStartMenu = chkDeadShortcutsStartMenu->isChecked();
    s.DeadShortcutsRecent = chkDeadShortcutsRecent->isChecked();
}

} // namespace clarivex
