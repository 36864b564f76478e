#pragma once

// The "Options" page: general preferences on the "General Options" tab (tray,
// Scheduler at log-on, the clean mode with its two folders, confirmation) and
// the notification sound and the Scheduler at closing on the "Advanced" tab.

#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QToolButton;

namespace clarivex {

class TOptionsPage : public QWidget
{
    Q_OBJECT
public:
    explicit TOptionsPage(QWidget *parent = nullptr);

    // The clean mode: 0 Recycle Bin, 1 delete, 2 move to folder, 3 zip to folder.
    quint8 DeleteType = 0;
    // Selects the option button of a clean mode as a click would (only the low byte counts).
    void setDeleteType(int value);

    // Asks for a folder: its address, or nothing when cancelled. A chosen place
    // that is no local folder gives a notice. Both are set by the window to its
    // dialog service.
    std::function<std::optional<QUrl>(const QString &title)> pickFolder;
    std::function<void(const QString &text)> showNotice;
    // Asks for an existing WAV file; nothing when cancelled.
    std::function<std::optional<QString>()> pickWavFile;

    void sbPlaySoundClick();

    QCheckBox *cbStartInTray = nullptr;
    QCheckBox *cbRunAtStartup = nullptr;
    QRadioButton *rbMoveFilesToRecycleBin = nullptr;
    QRadioButton *rbDeleteFiles = nullptr;
    QRadioButton *rbMoveFilesToFolder = nullptr;
    QLineEdit *txtMoveFolderPath = nullptr;
    QToolButton *sbSearchDir = nullptr;
    QRadioButton *rbZipFiles = nullptr;
    QLineEdit *txtZipFileName = nullptr;
    QToolButton *sbSearchDir2 = nullptr;
    QCheckBox *cbConfirmDelete = nullptr;
    QRadioButton *rbDefaultWAV = nullptr;
    QRadioButton *rbWAVFile = nullptr;
    QLineEdit *txtWAVFileName = nullptr;
    QToolButton *sbSearchWAV = nullptr;
    QToolButton *sbPlaySound = nullptr;
    QCheckBox *cbAutoLoadScheduler = nullptr;

private:
    QWidget *buildGeneralTab();
    QWidget *buildAdvancedTab();
    void cleanModeChosen(quint8 mode);
    void wavChoiceChanged();
    void browseFolder(QLineEdit *edit);
};

} // namespace clarivex
