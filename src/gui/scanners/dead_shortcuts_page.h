#pragma once

// The "Dead Shortcuts" page: where to look for shortcuts whose target is gone,
// which drive kinds may hold a reported target, and an explanation of the scan
// (the tips panel shows the same text for this page).

#include <QWidget>

class QCheckBox;
class QPlainTextEdit;

namespace clarivex {

struct DeadShortcutSettings;

class TDeadShortcutsPage : public QWidget
{
    Q_OBJECT
public:
    explicit TDeadShortcutsPage(QWidget *parent = nullptr);

    // The three folders; the drive-kind options are not stored.
    void loadSettings(const DeadShortcutSettings &settings);
    void saveSettings(DeadShortcutSettings &settings) const;

    // The text of the description memo.
    [[nodiscard]] QString explanation() const;

    QPlainTextEdit *MemoDeadShortcuts = nullptr;
    QCheckBox *chkDeadShortcutsDesktop = nullptr;
    QCheckBox *chkDeadShortcutsStartMenu = nullptr;
    QCheckBox *chkDeadShortcutsRecent = nullptr;
    QCheckBox *chkDSCleanRemovableDrives = nullptr;
    QCheckBox *chkDSCleanCDROMDrives = nullptr;
    QCheckBox *chkDSCleanNetworkDrives = nullptr;
};

} // namespace clarivex
