#include "gui/scanners/check_list_entries.h"

#include <QListWidget>

namespace clarivex {

void setCheckEntries(QListWidget *list, const QList<CheckEntry> &entries)
{
    list->clear();
    for (const CheckEntry &entry : entries)
        addCheckEntry(list, entry.text, entry.checked);
}

QList<CheckEntry> checkEntries(const QListWidget *list)
{
    QList<CheckEntry> entries;
    for (int row = 0; row < list->count(); ++row) {
        const QListWidgetItem *item = list->item(row);
        entries.append({item->text(), item->checkState() == Qt::Checked});
    }
    return entries;
}

QStringList checkedTexts(const QListWidget *list)
{
    QStringList texts;
    for (const CheckEntry &entry : checkEntries(list))
        if (entry.checked) texts << entry.text;
    return texts;
}

void addCheckEntry(QListWidget *list, const QString &text, bool checked)
{
    auto *item = new QListWidgetItem(text, list);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

bool removeCurrentEntry(QListWidget *list)
{
    const int row = list->currentRow();
    if (row < 0) return false;
    delete list->takeItem(row);
    return true;
}

} // namespace clarivex
