#include "gui/shell/options_page.h"

#include "core/platform/notification_sound.h"
#include "core/platform/pasted_path.h"
#include "gui/toolkit/artwork.h"
#include "gui/toolkit/wrap_check_box.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace clarivex {

namespace {
QToolButton *browseButton(const char *name, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(QStringLiteral("..."));
    return button;
}

QLineEdit *edit(const char *name, QWidget *parent)
{
    auto *line = new QLineEdit(parent);
    line->setObjectName(QString::fromLatin1(name));
    return line;
}

// A backup folder field takes a path however it was pasted or dropped: a
// terminal's line end, shell quotes, a file manager's address, "~".
void acceptPastedFolders(QLineEdit *line)
{
    const auto tidy = [line](bool finished) {
        const QString path = platform::pastedFolderPath(line->text(), finished);
        if (path != line->text()) line->setText(path);
    };
    // Line ends and leading blanks come only with a paste or a drop: the
    // whole path is there, and blanks around it are no part of it.
    QObject::connect(line, &QLineEdit::textEdited, line, [tidy](const QString &text) {
        const bool pasted = text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
                            text.contains(QLatin1Char('\t')) ||
                            (!text.isEmpty() && text.front().isSpace());
        tidy(pasted);
    });
    QObject::connect(line, &QLineEdit::editingFinished, line, [tidy] { tidy(true); });
}

template <typename T> T *named(const char *name, const char *caption, QWidget *parent)
{
    auto *widget = new T(QString::fromLatin1(caption), parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}
} // namespace

TOptionsPage::TOptionsPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    auto *tabs = new QTabWidget(this);
    tabs->addTab(buildGeneralTab(), QStringLiteral("General Options"));
    tabs->addTab(buildAdvancedTab(), QStringLiteral("Advanced"));
    layout->addWidget(tabs);
    cleanModeChosen(0);
    wavChoiceChanged();
}

QWidget *TOptionsPage::buildGeneralTab()
{
    auto *tab = new QWidget;
    auto *layout = new QVBoxLayout(tab);
    layout->setSpacing(3);
    cbStartInTray = named<ui::WrapCheckBox>("cbStartInTray", "Start Clarivex in Tray Area", tab);
    cbRunAtStartup = named<ui::WrapCheckBox>(
        "cbRunAtStartup", "Automatically run Clarivex Scheduler on windows startup", tab);
    layout->addWidget(cbStartInTray);
    layout->addWidget(cbRunAtStartup);

    auto *group = new QGroupBox(QStringLiteral("On Clean Files..."), tab);
    auto *grid = new QGridLayout(group);
    grid->setVerticalSpacing(2);
    rbMoveFilesToRecycleBin =
        named<QRadioButton>("rbMoveFilesToRecycleBin", "Move files to Recycle Bin", group);
    rbDeleteFiles = named<QRadioButton>("rbDeleteFiles", "Delete files", group);
    rbMoveFilesToFolder =
        named<QRadioButton>("rbMoveFilesToFolder", "Move files to folder:", group);
    rbZipFiles = named<QRadioButton>("rbZipFiles", "Zip Files to folder:", group);
    txtMoveFolderPath = edit("txtMoveFolderPath", group);
    txtZipFileName = edit("txtZipFileName", group);
    acceptPastedFolders(txtMoveFolderPath);
    acceptPastedFolders(txtZipFileName);
    sbSearchDir = browseButton("sbSearchDir", group);
    sbSearchDir2 = browseButton("sbSearchDir2", group);
    // "Delete files" stays beside the first choice; the spare width goes to
    // an empty third column, and to the folder edits below.
    grid->addWidget(rbMoveFilesToRecycleBin, 0, 0);
    grid->addWidget(rbDeleteFiles, 0, 1);
    grid->setColumnStretch(2, 1);
    grid->setHorizontalSpacing(16);
    grid->addWidget(rbMoveFilesToFolder, 1, 0, 1, 3);
    auto *movePair = new QHBoxLayout;
    movePair->addWidget(txtMoveFolderPath, 1);
    movePair->addWidget(sbSearchDir);
    grid->addLayout(movePair, 2, 0, 1, 3);
    grid->addWidget(rbZipFiles, 3, 0, 1, 3);
    auto *zipPair = new QHBoxLayout;
    zipPair->addWidget(txtZipFileName, 1);
    zipPair->addWidget(sbSearchDir2);
    grid->addLayout(zipPair, 4, 0, 1, 3);
    layout->addWidget(group);

    auto *modes = new QButtonGroup(this);
    const QRadioButton *buttons[] = {rbMoveFilesToRecycleBin, rbDeleteFiles, rbMoveFilesToFolder,
                                     rbZipFiles};
    for (quint8 mode = 0; mode < 4; ++mode) {
        auto *button = const_cast<QRadioButton *>(buttons[mode]);
        modes->addButton(button, mode);
        connect(button, &QRadioButton::clicked, this, [this, mode] { cleanModeChosen(mode); });
    }
    rbMoveFilesToRecycleBin->setChecked(true);
    connect(sbSearchDir, &QToolButton::clicked, this, [this] { browseFolder(txtMoveFolderPath); });
    connect(sbSearchDir2, &QToolButton::clicked, this, [this] { browseFolder(txtZipFileName); });

    cbConfirmDelete = named<ui::WrapCheckBox>("cbConfirmDelete", "Confirm Delete", tab);
    cbConfirmDelete->setChecked(true);
    layout->addWidget(cbConfirmDelete);
    layout->addStretch(1);
    return tab;
}

QWidget *TOptionsPage::buildAdvancedTab()
{
    auto *tab = new QWidget;
    auto *layout = new QVBoxLayout(tab);
    auto *group = new QGroupBox(QStringLiteral("Sound to be played"), tab);
    auto *row = new QHBoxLayout(group);
    auto *picture = new QLabel(group);
    picture->setPixmap(ui::artwork(QStringLiteral("schedule-options")).pixmap(32, 32));
    picture->setAlignment(Qt::AlignTop);
    row->addWidget(picture);
    auto *choices = new QVBoxLayout;
    rbDefaultWAV = named<QRadioButton>("rbDefaultWAV", "Windows Default", group);
    rbWAVFile = named<QRadioButton>("rbWAVFile", "Use File:", group);
    txtWAVFileName = edit("txtWAVFileName", group);
    sbSearchWAV = browseButton("sbSearchWAV", group);
    sbPlaySound = new QToolButton(group);
    sbPlaySound->setObjectName(QStringLiteral("sbPlaySound"));
    sbPlaySound->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    sbPlaySound->setToolTip(QStringLiteral("Play Selected WAV File"));
    choices->addWidget(rbDefaultWAV);
    choices->addWidget(rbWAVFile);
    auto *file = new QHBoxLayout;
    file->addWidget(txtWAVFileName, 1);
    file->addWidget(sbSearchWAV);
    file->addWidget(sbPlaySound);
    choices->addLayout(file);
    row->addLayout(choices, 1);
    layout->addWidget(group);
    auto *sounds = new QButtonGroup(this);
    sounds->addButton(rbDefaultWAV);
    sounds->addButton(rbWAVFile);
    rbDefaultWAV->setChecked(true);
    connect(rbDefaultWAV, &QRadioButton::clicked, this, &TOptionsPage::wavChoiceChanged);
    connect(rbWAVFile, &QRadioButton::clicked, this, &TOptionsPage::wavChoiceChanged);
    connect(sbPlaySound, &QToolButton::clicked, this, &TOptionsPage::sbPlaySoundClick);
    connect(sbSearchWAV, &QToolButton::clicked, this, [this] {
        if (!pickWavFile) return;
        if (const auto chosen = pickWavFile()) txtWAVFileName->setText(*chosen);
    });

    cbAutoLoadScheduler = named<ui::WrapCheckBox>(
        "cbAutoLoadScheduler", "Automatically load Scheduler when Clarivex closes", tab);
    layout->addWidget(cbAutoLoadScheduler);
    layout->addStretch(1);
    return tab;
}

void TOptionsPage::setDeleteType(int value)
{
    // Only the low byte counts; a number that names no mode is the Recycle Bin,
    // so that the button shown is the mode a clean uses.
    quint8 mode = quint8(value & 0xff);
    if (mode > 3) mode = 0;
    QRadioButton *buttons[] = {rbMoveFilesToRecycleBin, rbDeleteFiles, rbMoveFilesToFolder,
                               rbZipFiles};
    buttons[mode]->setChecked(true);
    cleanModeChosen(mode);
}

void TOptionsPage::cleanModeChosen(quint8 mode)
{
    DeleteType = mode;
    txtMoveFolderPath->setEnabled(mode == 2);
    sbSearchDir->setEnabled(mode == 2);
    txtZipFileName->setEnabled(mode == 3);
    sbSearchDir2->setEnabled(mode == 3);
}

void TOptionsPage::wavChoiceChanged()
{
    const bool file = rbWAVFile->isChecked();
    txtWAVFileName->setEnabled(file);
    sbSearchWAV->setEnabled(file);
}

void TOptionsPage::browseFolder(QLineEdit *target)
{
    if (!pickFolder) return;
    const auto chosen = pickFolder(QStringLiteral("Select folder:"));
    if (!chosen) return;          // cancelled
    if (!chosen->isLocalFile()) { // a place with no path of its own on disk
        if (showNotice)
            showNotice(QStringLiteral("Cannot add this type of directory to the list."));
        return;
    }
    target->setText(chosen->toLocalFile());
}

void TOptionsPage::sbPlaySoundClick()
{
    platform::NotificationSound::instance().play(rbDefaultWAV->isChecked(), rbWAVFile->isChecked(),
                                                 txtWAVFileName->text());
}

} // namespace clarivex
