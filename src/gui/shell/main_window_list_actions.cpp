// The found-file list's popup menu in the main window: the clean it starts,
// where a row was found, and the fields a saved list carries for each scan.

#include "gui/shell/main_window.h"

#include "gui/cleaning/file_list_actions.h"
#include "gui/search/kv_file_list_view.h"

#include <QJsonValue>

namespace clarivex {

void TClarivexMainForm::wireListActions()
{
    m_listActions = new ui::TFileListActions(FileListView, this);
    m_listActions->deleteFiles = [this] {
        if (!scanInProgress()) CleanFiles(true);
    };
    m_listActions->showError = [this](const QString &message) { ShowErrorDialog(message); };
    m_listActions->foundIn = [this](int row) -> QString {
        const FoundFileModel &model = *FileListView->Model();
        const qint32 group = model.Row(row).group;
        if (model.SetOf(row) >= 0)
            return model.IsMaster(row)
                       ? QStringLiteral("Duplicate set %1, first copy (master)").arg(group)
                       : QStringLiteral("Duplicate set %1").arg(group);
        if (model.ScanOf(row) == ScanOrigin::TempFiles && group >= 0 && group < m_scanGroups.size())
            return QStringLiteral("File group: %1").arg(m_scanGroups[group].name);
        return {};
    };
    // The set and role of a duplicate travel with every row (the common
    // fields); the file group is the temporary-file scan's.
    m_listActions->exportFields = [this] {
        const FoundFileModel *model = FileListView->Model();
        const QList<FileGroup> groups = m_scanGroups;
        return QList<cleaning::ListExportField>{cleaning::ListExportField{
            QStringLiteral("group"), [model, groups](int row) {
                const qint32 group = model->Row(row).group;
                const bool named = model->ScanOf(row) == ScanOrigin::TempFiles && group >= 0 &&
                                   group < groups.size();
                return QJsonValue(named ? groups[group].name : QString());
            }}};
    };
}

ui::TFileListActions *TClarivexMainForm::listActions() const
{
    return m_listActions;
}

} // namespace clarivex
