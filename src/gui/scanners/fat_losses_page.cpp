#include "gui/scanners/fat_losses_page.h"

#include "core/base/event_pump.h"
#include "core/base/formats.h"
#include "gui/search/disk_list_view.h"
#include "gui/toolkit/notice_service.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace clarivex {

namespace {

QLabel *valueLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QString bytesText(qint64 value)
{
    return formatGrouped(value) + QStringLiteral("  bytes");
}

} // namespace

TFatLossesPage::TFatLossesPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    auto *top = new QHBoxLayout;
    DiskListViewFATLosses = new TDiskListView(this);
    DiskListViewFATLosses->setObjectName(QStringLiteral("DiskListViewFATLosses"));
    DiskListViewFATLosses->SetColumnCaption(QStringLiteral("Select drive to scan"));
    DiskListViewFATLosses->setSelectionMode(QAbstractItemView::SingleSelection);
    DiskListViewFATLosses->SelectLocalDrives = false;
    DiskListViewFATLosses->FillDrives();
    top->addWidget(DiskListViewFATLosses, 3);
    auto *side = new QVBoxLayout;
    btnFATLosses = new QPushButton(QStringLiteral("&Start"), this);
    btnFATLosses->setObjectName(QStringLiteral("btnFATLosses"));
    lblDriveInfo = new QLabel(this);
    lblDriveInfo->setObjectName(QStringLiteral("lblDriveInfo"));
    lblDriveInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    side->addWidget(btnFATLosses);
    side->addWidget(lblDriveInfo, 1);
    top->addLayout(side, 2);
    layout->addLayout(top, 1);

    auto *sizes = new QGridLayout;
    sizes->setVerticalSpacing(2);
    nDriveSize = valueLabel("nDriveSize", this);
    nClusterSize = valueLabel("nClusterSize", this);
    sizes->addWidget(new QLabel(QStringLiteral("Drive size:"), this), 0, 0);
    sizes->addWidget(nDriveSize, 0, 1);
    sizes->addWidget(new QLabel(QStringLiteral("Cluster size:"), this), 1, 0);
    sizes->addWidget(nClusterSize, 1, 1);
    sizes->setColumnStretch(1, 1);
    layout->addLayout(sizes);

    auto *group = new QGroupBox(QStringLiteral("Information:"), this);
    auto *grid = new QGridLayout(group);
    grid->setVerticalSpacing(2);
    grid->setContentsMargins(6, 4, 6, 4);
    nFilesCount = valueLabel("nFilesCount", group);
    nNominalSpace = valueLabel("nNominalSpace", group);
    nActualSpace = valueLabel("nActualSpace", group);
    nLosses = valueLabel("nLosses", group);
    const std::pair<const char *, QLabel *> rows[] = {
        {"Files:", nFilesCount},
        {"Nominal space occupied:", nNominalSpace},
        {"Actual space used:", nActualSpace},
        {"Losses:", nLosses},
    };
    int row = 0;
    for (const auto &[caption, value] : rows) {
        grid->addWidget(new QLabel(QString::fromLatin1(caption), group), row, 0);
        grid->addWidget(value, row++, 1);
    }
    grid->setColumnStretch(1, 1);
    auto *note = new QLabel(
        QStringLiteral("NOTE: This calculations are only correct for FAT16 partitions"), group);
    note->setWordWrap(true);
    QFont small = note->font();
    small.setItalic(true);
    note->setFont(small);
    grid->addWidget(note, row, 0, 1, 2);
    layout->addWidget(group);

    connect(DiskListViewFATLosses, &TDiskListView::changed, this,
            &TFatLossesPage::DiskListViewFATLossesChange);
    connect(btnFATLosses, &QPushButton::clicked, this, &TFatLossesPage::btnFATLossesClick);

    // The folder changes far more often than a person can read: the latest
    // one is shown each time the window gets to process its events.
    m_walk.pump = ui::throttledPump([this] {
        if (!m_pendingFolder.isEmpty() && showFolder) showFolder(m_pendingFolder);
        m_pendingFolder.clear();
    });
    m_walk.folderEntered = [this](const QByteArray &folder) { m_pendingFolder = folder; };
}

QByteArray TFatLossesPage::selectedDrive() const
{
    const QList<QByteArray> drives = DiskListViewFATLosses->GetSelectedDrives();
    return drives.isEmpty() ? QByteArray() : drives.first();
}

void TFatLossesPage::setDriveInfo(const VolumeInfo &info)
{
    m_driveInfo = DriveInfoText(info);
    // The label shows the two lines as a small table.
    lblDriveInfo->setText(QStringLiteral("Serial Number:  %1\nFile System:  %2")
                              .arg(FormatSerial(info.serialNumber), info.fileSystemName));
}

void TFatLossesPage::DiskListViewFATLossesChange()
{
    const QByteArray drive = selectedDrive();
    if (drive.isEmpty() || m_running) return;
    setDriveInfo(GetVolumeInfo(drive));
}

void TFatLossesPage::clearResults()
{
    for (QLabel *label :
         {nDriveSize, nClusterSize, nFilesCount, nNominalSpace, nActualSpace, nLosses})
        label->clear();
}

void TFatLossesPage::setRunning(bool on)
{
    m_running = on;
    btnFATLosses->setText(on ? QStringLiteral("&Stop") : QStringLiteral("&Start"));
    DiskListViewFATLosses->setEnabled(!on);
    emit runningChanged(on);
}

void TFatLossesPage::stop()
{
    if (m_running) m_walk.stop();
}

void TFatLossesPage::btnFATLossesClick()
{
    if (m_running) {
        stop();
        return;
    }
    const QByteArray drive = selectedDrive();
    if (drive.isEmpty() || (otherWorkRunning && otherWorkRunning())) return;
    clearResults();
    const VolumeInfo info = GetVolumeInfo(drive);
    if (info.fileSystemName != QLatin1String("FAT")) {
        ui::notices().information(
            this, QStringLiteral("Clarivex 2000"),
            QStringLiteral("FAT Losses calculations are only valid for FAT16 partitions."));
        return;
    }
    setDriveInfo(info);
    repaint();

    const qint64 driveBytes = GetDriveTotalBytes(drive);
    nDriveSize->setText(bytesText(driveBytes));
    const qint64 cluster = ClusterSizeFor(driveBytes);
    nClusterSize->setText(bytesText(cluster));
    if (cluster <= 0) {
        // Without a drive size there is no cluster size to round to.
        ui::notices().information(
            this, QStringLiteral("Clarivex 2000"),
            QStringLiteral("The size of this drive could not be read, so its cluster size "
                           "is unknown and the losses cannot be calculated."),
            ui::NoticeIcon::Warning);
        return;
    }

    setRunning(true);
    const bool complete = m_walk.run(drive, cluster);
    setRunning(false);
    if (clearStatus) clearStatus();
    if (!complete) return; // stopped: half a sum would mislead
    const FatLossTotals &totals = m_walk.totals();
    nFilesCount->setText(formatGrouped(totals.files));
    nNominalSpace->setText(bytesText(totals.nominal));
    nActualSpace->setText(bytesText(totals.actual));
    nLosses->setText(bytesText(totals.losses()));
}

} // namespace clarivex
