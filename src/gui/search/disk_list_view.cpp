#include "gui/search/disk_list_view.h"

#include "gui/search/style_icons.h"

#include "core/base/drive_marks.h"

#include "core/base/path_text.h"
#include "core/search/file_type_cache.h"

#include <QHeaderView>

namespace clarivex {

namespace {

constexpr int kRootRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;
const QChar kChecked(0xFF);
const QChar kUnchecked(0xFE);

} // namespace

TDiskListView::TDiskListView(QWidget *parent) : QTreeWidget(parent)
{
    installStyleIcons();
    setColumnCount(1);
    setHeaderLabels({QStringLiteral("Select drives")});
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSectionsClickable(false);
    header()->setStretchLastSection(true);
    connect(this, &QTreeWidget::itemChanged, this, &TDiskListView::changed);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &TDiskListView::changed);
}

void TDiskListView::SetCheckBoxes(bool on)
{
    m_checkBoxes = on;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = topLevelItem(i);
        if (on)
            item->setCheckState(0, Qt::Unchecked);
        else
            item->setData(0, Qt::CheckStateRole, QVariant());
    }
}

void TDiskListView::SetColumnCaption(const QString &caption)
{
    setHeaderLabels({caption});
}

void TDiskListView::FillDrives()
{
    const QSignalBlocker blocker(this);
    setUpdatesEnabled(false);
    clear();
    for (const platform::Volume &volume : platform::Volumes::list()) {
        auto *item = new QTreeWidgetItem(this);
        item->setText(0, volume.caption.left(260));
        item->setData(0, kRootRole, volume.root);
        item->setData(0, kKindRole, int(volume.kind));
        item->setToolTip(0, displayText(volume.root));
        using platform::VolumeKind;
        item->setIcon(0, FileTypeCache::driveIcon(volume.kind == VolumeKind::Removable,
                                                  volume.kind == VolumeKind::Remote,
                                                  volume.kind == VolumeKind::CdRom));
        if (m_checkBoxes) item->setCheckState(0, Qt::Unchecked);
        if (volume.kind == VolumeKind::Fixed && SelectLocalDrives) item->setSelected(true);
    }
    setUpdatesEnabled(true);
}

QByteArray TDiskListView::RootOf(int row) const
{
    const QTreeWidgetItem *item = topLevelItem(row);
    return item ? item->data(0, kRootRole).toByteArray() : QByteArray();
}

bool TDiskListView::IsChosen(int row) const
{
    const QTreeWidgetItem *item = topLevelItem(row);
    if (!item) return false;
    return m_checkBoxes ? item->checkState(0) == Qt::Checked : item->isSelected();
}

void TDiskListView::SetChecked(int row, bool checked)
{
    if (QTreeWidgetItem *item = topLevelItem(row))
        item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

QList<QByteArray> TDiskListView::GetSelectedDrives() const
{
    QList<QByteArray> roots;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const QByteArray root = RootOf(i);
        if (IsChosen(i) && !root.isEmpty()) roots.append(root);
    }
    return roots;
}

QByteArray TDiskListView::DriveMarks() const
{
    QList<bool> checked;
    for (int i = 0; i < topLevelItemCount(); ++i)
        checked.append(IsChosen(i));
    return driveMarks(checked);
}

void TDiskListView::ApplyDriveMarks(const QByteArray &marks)
{
    const QList<bool> checks = driveChecks(storedOrFirstStartMarks(marks), topLevelItemCount());
    for (int i = 0; i < checks.size(); ++i)
        SetChecked(i, checks.at(i));
}

QString DriveRootOfCaption(const QString &caption)
{
    if (!caption.endsWith(QLatin1Char(')'))) return {};
    const qsizetype open = caption.lastIndexOf(QLatin1String(" ("));
    if (open < 0) return {};
    return caption.mid(open + 2, caption.size() - open - 3);
}

QString SelectedDrivesSummary(const QList<QByteArray> &roots)
{
    if (roots.isEmpty()) return QStringLiteral("No Drives Selected");
    QString text = roots.size() == 1 ? QStringLiteral("Selected drive: ")
                                     : QStringLiteral("Selected drives: ");
    text += QChar(13);
    for (const QByteArray &root : roots)
        text += displayText(root) + QLatin1Char(' ');
    return text;
}

} // namespace clarivex
