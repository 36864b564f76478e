#pragma once

// The "Applications" tab of the "Clean Directories" page: the application
// junk rules grouped by application, each with its check box, description,
// risk and what it would free now. The sizes are measured on a worker
// thread whenever the tab is shown, so the page never waits for a walk of
// the home. Rule files that could not be used are named below the list.

#include "core/scanners/app_rule.h"

#include <QStringList>
#include <QWidget>

#include <atomic>
#include <memory>

class QLabel;
class QThread;
class QTreeWidget;
class QTreeWidgetItem;

namespace clarivex::ui {

class AppRulesTab : public QWidget
{
    Q_OBJECT
public:
    explicit AppRulesTab(QWidget *parent = nullptr);
    ~AppRulesTab() override;

    // Reads the rules afresh and checks the stored ids.
    void load(const QStringList &checkedIds);
    [[nodiscard]] QStringList checkedIds() const;
    [[nodiscard]] const QList<AppRule> &rules() const { return m_rules; }

    // Measures every rule on a worker thread; the rows show the result when it comes.
    void measure();
    [[nodiscard]] bool measuring() const { return m_worker != nullptr; }

    QTreeWidget *tvRules = nullptr;
    QLabel *lblProblems = nullptr;

signals:
    void measured();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showMeasure(int rule, qint64 files, qint64 bytes);
    void stopMeasure();

    QList<AppRule> m_rules;
    QList<QTreeWidgetItem *> m_items; // one per rule
    QThread *m_worker = nullptr;
    std::shared_ptr<std::atomic_bool> m_cancel;
};

} // namespace clarivex::ui
