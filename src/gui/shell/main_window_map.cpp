// The "Map" tab in the main window: its colours (the list's row colours, one
// colour per set after a duplicate scan), where a row came from, and the
// selection it shares with the list and the file tree.

#include "gui/shell/main_window.h"

#include "gui/cleaning/file_list_actions.h"
#include "gui/search/found_files_map.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/search/path_tree_view.h"

namespace clarivex {

void TClarivexMainForm::wireMap()
{
    const FoundFileModel *model = FileListView->Model();
    PathTreeViewFileTree->SetFoundFiles(model);
    FoundFilesMap->SetRowColour([this, model](const FoundFileRow &row) -> QRgb {
        if (ScanKind == skDuplicates && row.group >= 0) return TFoundFilesMap::SetColour(row.group);
        if (const FoundFileModel::RowColour &colour = model->RowColourFunction()) {
            if (const std::optional<QColor> rowColour = colour(row)) return rowColour->rgb();
        }
        return TFoundFilesMap::kDefaultColour;
    });
    FoundFilesMap->SetRowOrigin([this](int row) { return m_listActions->foundIn(row); });
    FoundFilesMap->SetSelectionModel(FileListView->selectionModel());
    connect(FoundFilesMap, &TFoundFilesMap::rowClicked, this, [this, model](int row) {
        FileListView->scrollTo(model->index(row, 0));
        PathTreeViewFileTree->SelectPath(model->FilePath(row));
    });
}

} // namespace clarivex
