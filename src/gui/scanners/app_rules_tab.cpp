#include "gui/scanners/app_rules_tab.h"

#include "core/base/formats.h"
#include "core/cleaning/clean_summary.h"
#include "core/scanners/app_rule_catalogue.h"
#include "core/scanners/app_rule_scan.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <unistd.h>

namespace clarivex::ui {

namespace {

enum Column { colRule, colRisk, colFree, kColumns };

} // namespace

AppRulesTab::AppRulesTab(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("Also clean what these applications leave behind:"), this));
    tvRules = new QTreeWidget(this);
    tvRules->setObjectName(QStringLiteral("tvRules"));
    tvRules->setColumnCount(kColumns);
    tvRules->setHeaderLabels(
        {QStringLiteral("Application"), QStringLiteral("Risk"), QStringLiteral("Would free")});
    tvRules->header()->setStretchLastSection(false);
    tvRules->header()->setSectionResizeMode(colRule, QHeaderView::Stretch);
    tvRules->header()->setSectionResizeMode(colRisk, QHeaderView::ResizeToContents);
    tvRules->header()->setSectionResizeMode(colFree, QHeaderView::ResizeToContents);
    tvRules->setWordWrap(true);
    layout->addWidget(tvRules, 1);
    lblProblems = new QLabel(this);
    lblProblems->setObjectName(QStringLiteral("lblProblems"));
    lblProblems->setWordWrap(true);
    lblProblems->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblProblems->hide();
    layout->addWidget(lblProblems);
}

AppRulesTab::~AppRulesTab()
{
    stopMeasure();
}

void AppRulesTab::load(const QStringList &checkedIds)
{
    stopMeasure();
    const AppRuleCatalogue catalogue = AppRuleCatalogue::load();
    m_rules = catalogue.rules;
    m_items.clear();
    tvRules->clear();
    QTreeWidgetItem *application = nullptr;
    for (const AppRule &rule : m_rules) {
        if (!application || application->text(colRule) != rule.application) {
            application = new QTreeWidgetItem(tvRules, {rule.application});
            application->setFirstColumnSpanned(false);
            application->setExpanded(true);
        }
        auto *item = new QTreeWidgetItem(application, {rule.description, rule.risk});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(colRule, checkedIds.contains(rule.id) ? Qt::Checked : Qt::Unchecked);
        item->setToolTip(colRule, QStringLiteral("%1 (%2)").arg(rule.id, rule.sourceFile));
        item->setData(colRule, Qt::UserRole, rule.id);
        item->setTextAlignment(colFree, Qt::AlignRight | Qt::AlignVCenter);
        m_items << item;
    }
    tvRules->expandAll();
    lblProblems->setVisible(!catalogue.problems.isEmpty());
    lblProblems->setText(QStringLiteral("Rule files not used: ") +
                         catalogue.problems.join(QStringLiteral("; ")));
    if (isVisible()) measure();
}

QStringList AppRulesTab::checkedIds() const
{
    QStringList ids;
    for (const QTreeWidgetItem *item : m_items) {
        if (item->checkState(colRule) == Qt::Checked)
            ids << item->data(colRule, Qt::UserRole).toString();
    }
    return ids;
}

void AppRulesTab::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_worker) measure();
}

void AppRulesTab::measure()
{
    stopMeasure();
    if (m_rules.isEmpty()) return;
    for (QTreeWidgetItem *item : m_items) item->setText(colFree, QStringLiteral("…"));
    auto cancel = std::make_shared<std::atomic_bool>(false);
    m_cancel = cancel;
    const QList<AppRule> rules = m_rules;
    QPointer<AppRulesTab> self(this);
    m_worker = QThread::create([self, rules, cancel] {
        for (int i = 0; i < rules.size() && !*cancel; ++i) {
            AppRuleScan scan;
            scan.root = ::geteuid() == 0;
            scan.stopRequested = [cancel] { return cancel->load(); };
            scan.addFile = [](const QByteArray &, const TFindData &data, int, qint64 &size) {
                size = data.size;
                return true;
            };
            scan.run({rules[i]});
            const qint64 files = scan.skipped.isEmpty() ? scan.FoundFileCount : -1;
            const qint64 bytes = scan.FoundByteTotal;
            QMetaObject::invokeMethod(
                qApp, [self, i, files, bytes] {
                    if (self) self->showMeasure(i, files, bytes);
                },
                Qt::QueuedConnection);
        }
    });
    connect(m_worker, &QThread::finished, this, [this, worker = QPointer<QThread>(m_worker)] {
        if (!worker || m_worker != worker) return; // stopped and deleted since
        m_worker = nullptr;
        worker->deleteLater();
        emit measured();
    });
    m_worker->start(QThread::LowPriority);
}

void AppRulesTab::showMeasure(int rule, qint64 files, qint64 bytes)
{
    if (rule >= m_items.size()) return;
    QTreeWidgetItem *item = m_items[rule];
    if (files < 0) {
        item->setText(colFree, QStringLiteral("skipped now"));
        return;
    }
    item->setText(colFree,
                  files == 0 ? QStringLiteral("nothing") : cleaning::readableSize(bytes));
    item->setToolTip(colFree, QStringLiteral("%1 files, %2 bytes")
                                  .arg(formatGrouped(files), formatGrouped(bytes)));
}

void AppRulesTab::stopMeasure()
{
    if (!m_worker) return;
    *m_cancel = true;
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
}

} // namespace clarivex::ui
