#pragma once

// The "System Tools" page: three large buttons that start the system's own
// maintenance programs.

#include <QWidget>

class QToolButton;

namespace clarivex {

class TSystemToolsPage : public QWidget
{
    Q_OBJECT
public:
    explicit TSystemToolsPage(QWidget *parent = nullptr);

    // The one handler of the three buttons; the sender's tag tells them apart.
    void btnDiskDefragmenterClick(int tag);

    QToolButton *btnDiskDefragmenter = nullptr;
    QToolButton *btnScanDisk = nullptr;
    QToolButton *btnRegistryEditor = nullptr;
};

} // namespace clarivex
