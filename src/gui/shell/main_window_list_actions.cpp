// The found-file list's popup menu in the main window: the clean it starts,
// where a row was found, and the fields a saved list carries for each scan.

#include "gui/shell/main_window.h"

#include "gui/cleaning/file_list_actions.h"
#include "gui/search/kv_file_list_view.h"

#include <QJsonValue>

namespace clarivex {

namespace {

// The first file after a separator (or the first row) is the set's master.
bool isSetMaster(const FoundFileModel &model, int row)
{
    return row == 0 || model.IsSeparator(row - 1);
}

} // namespace

void TClarivexMainForm::wireListActions()
{
    m_listActions = new ui::TFileListActions(FileListView, this);
    m_listActions->deleteFiles = [this] {
        if (!scanInProgress()) CleanFiles(true);
    };
    m_listActions->showError = [this](const QString &message) { ShowErrorDialog(message); };
    m_listActions->foundIn = [this](int row) -> QString {
        const qint32 group = FileListView->Model()->Row(row).group;
        if (ScanKind == skDeadShortcuts) {
            const auto target = m_shortcutTargets.constFind(FileListView->Model()->FilePath(row));
            return target == m_shortcutTargets.cend()
                       ? QString()
                       : QStringLiteral("Missing target: %1").arg(*target);
        }
        if (ScanKind == skDuplicates && group >= 0)
            return QStringLiteral("Duplicate set %1").arg(group);
        if (group >= 0 && group < m_scanGroups.size())
            return QStringLiteral("File group: %1").arg(m_scanGroups[group].name);
        return {};
    };
    m_listActions->exportFields = [this] {
        const FoundFileModel *model = FileListView->Model();
        QList<cleaning::ListExportField> fields;
        if (ScanKind == skDuplicates) {
            fields << cleaning::ListExportField{QStringLiteral("group"),
                                                [](int) { return QJsonValue(QString()); }}
                   << cleaning::ListExportField{QStringLiteral("set"),
                                                [model](int row) {
                                                    return QJsonValue(model->Row(row).group);
                                                }}
                   << cleaning::ListExportField{QStringLiteral("role"), [model](int row) {
                                                    return QJsonValue(
                                                        isSetMaster(*model, row)
                                                            ? QStringLiteral("master")
                                                            : QStringLiteral("duplicate"));
                                                }};
        } else if (ScanKind == skTempFiles) {
            const QList<FileGroup> groups = m_scanGroups;
            fields << cleaning::ListExportField{
                QStringLiteral("group"), [model, groups](int row) {
                    const qint32 group = model->Row(row).group;
                    return QJsonValue(group >= 0 && group < groups.size() ? groups[group].name
                                                                          : QString());
                }};
        }
        return fields;
    };
}

ui::TFileListActions *TClarivexMainForm::listActions() const
{
    return m_listActions;
}

} // namespace clarivex
