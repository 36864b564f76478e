#include "gui/cleaning/clean_history_dialog.h"

#include "core/base/event_pump.h"
#include "core/base/formats.h"
#include "core/cleaning/clean_summary.h"
#include "core/cleaning/clean_undo.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace clarivex::ui {

namespace {

enum Column { ColTime, ColMode, ColTrigger, ColFiles, ColSize, ColRestorable, ColCount };

QString modeCaption(cleaning::HistoryMode mode)
{
    switch (mode) {
    case cleaning::HistoryMode::Trash:
        return QStringLiteral("Trash");
    case cleaning::HistoryMode::Delete:
        return QStringLiteral("Deleted");
    case cleaning::HistoryMode::Move:
        return QStringLiteral("Moved");
    case cleaning::HistoryMode::Zip:
        return QStringLiteral("Zipped");
    case cleaning::HistoryMode::Link:
        return QStringLiteral("Linked");
    }
    return {};
}

QString triggerCaption(cleaning::CleanTrigger trigger)
{
    switch (trigger) {
    case cleaning::CleanTrigger::User:
        return QStringLiteral("User");
    case cleaning::CleanTrigger::Automatic:
        return QStringLiteral("Automatic");
    case cleaning::CleanTrigger::Scheduled:
        return QStringLiteral("Scheduled");
    case cleaning::CleanTrigger::Cli:
        return QStringLiteral("Command line");
    }
    return {};
}

} // namespace

CleanHistoryDialog::CleanHistoryDialog(QWidget *parent, UndoRunner undo)
    : QDialog(parent), m_runner(std::move(undo))
{
    setObjectName(QStringLiteral("CleanHistoryDialog"));
    setWindowTitle(QStringLiteral("Clean History"));
    auto *layout = new QVBoxLayout(this);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("CleanHistoryList"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({QStringLiteral("Time"), QStringLiteral("Mode"),
                             QStringLiteral("Started by"), QStringLiteral("Files"),
                             QStringLiteral("Size"), QStringLiteral("Restorable")});
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_list, 1);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("CleanHistoryProgress"));
    m_progress->hide();
    layout->addWidget(m_progress);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("CleanHistoryStatus"));
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_undo = buttons->addButton(QStringLiteral("&Undo"), QDialogButtonBox::ActionRole);
    m_undo->setObjectName(QStringLiteral("CleanHistoryUndo"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_undo, &QPushButton::clicked, this, &CleanHistoryDialog::undoChosen);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        m_undo->setEnabled(item && item->text(ColRestorable) != QLatin1String("0"));
    });
    layout->addWidget(buttons);
    resize(560, 360);
    reload();
}

void CleanHistoryDialog::reload()
{
    const QVariant chosen =
        m_list->currentItem() ? m_list->currentItem()->data(ColTime, Qt::UserRole) : QVariant();
    m_list->clear();
    cleaning::CleanHistory history;
    for (const cleaning::HistoryClean &clean : history.cleans()) {
        auto *item = new QTreeWidgetItem(m_list);
        item->setData(ColTime, Qt::UserRole, clean.id);
        item->setText(ColTime, formatDateTime(clean.when.toLocalTime()));
        item->setText(ColMode, modeCaption(clean.mode));
        item->setText(ColTrigger, triggerCaption(clean.trigger));
        item->setText(ColFiles, formatGrouped(clean.files));
        item->setText(ColSize, cleaning::byteSizeText(clean.bytes));
        item->setText(ColRestorable, formatGrouped(cleaning::restorableCount(history, clean)));
        for (int column : {ColFiles, ColSize, ColRestorable})
            item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (m_list->topLevelItemCount() > 0) m_list->setCurrentItem(m_list->topLevelItem(0));
    for (int i = 0; chosen.isValid() && i < m_list->topLevelItemCount(); ++i) {
        if (m_list->topLevelItem(i)->data(ColTime, Qt::UserRole) == chosen)
            m_list->setCurrentItem(m_list->topLevelItem(i)); // the entry just undone stays chosen
    }
    m_undo->setEnabled(m_list->currentItem() &&
                       m_list->currentItem()->text(ColRestorable) != QLatin1String("0"));
    if (m_list->topLevelItemCount() == 0)
        m_status->setText(QStringLiteral("No clean has been recorded yet."));
}

void CleanHistoryDialog::undoChosen()
{
    QTreeWidgetItem *item = m_list->currentItem();
    if (!item || !m_runner) return;
    const qint64 id = item->data(ColTime, Qt::UserRole).toLongLong();
    m_undo->setEnabled(false);
    m_progress->setValue(0);
    m_progress->show();
    const std::function<void()> pump = throttledPump();
    const QString result = m_runner(id, [this, pump](qsizetype done, qsizetype total) {
        m_progress->setMaximum(int(qMin<qsizetype>(total, INT_MAX)));
        m_progress->setValue(int(qMin<qsizetype>(done, INT_MAX)));
        pump();
        return true;
    });
    m_progress->hide();
    reload();
    m_status->setText(result);
}

} // namespace clarivex::ui
