#pragma once

// The "FAT-Losses" page: pick a drive, press Start, and read how much space
// its files lose to cluster rounding. Only FAT16 drives are calculated.

#include "core/scanners/fat_losses.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace clarivex {

class TDiskListView;

class TFatLossesPage : public QWidget
{
    Q_OBJECT
signals:
    void runningChanged(bool running);

public:
    explicit TFatLossesPage(QWidget *parent = nullptr);

    void DiskListViewFATLossesChange();
    // Starts the calculation of the selected drive; while one runs, stops it.
    void btnFATLossesClick();
    [[nodiscard]] bool running() const { return m_running; }
    void stop();
    // Asked before a calculation starts: true while other work (a scan) runs.
    std::function<bool()> otherWorkRunning;
    // The drive information as text ("Serial Number:\t...\rFile System:\t...").
    [[nodiscard]] QString driveInfo() const { return m_driveInfo; }

    // The window's status bar: the folder being read (panel 1), and clearing both.
    std::function<void(const QByteArray &folder)> showFolder;
    std::function<void()> clearStatus;

    TDiskListView *DiskListViewFATLosses = nullptr;
    QPushButton *btnFATLosses = nullptr;
    QLabel *lblDriveInfo = nullptr;
    QLabel *nDriveSize = nullptr;
    QLabel *nClusterSize = nullptr;
    QLabel *nFilesCount = nullptr;
    QLabel *nNominalSpace = nullptr;
    QLabel *nActualSpace = nullptr;
    QLabel *nLosses = nullptr;

private:
    [[nodiscard]] QByteArray selectedDrive() const;
    void setDriveInfo(const VolumeInfo &info);
    void clearResults();
    void setRunning(bool on);

    FatLossWalk m_walk;
    QString m_driveInfo;
    QByteArray m_pendingFolder;
    bool m_running = false;
};

} // namespace clarivex
