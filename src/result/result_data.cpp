#include "result/result_data.h"

#include "app/text_helpers.h"
#include "catalogue/folder_tree.h"

namespace korvane {

int ResultData::ColumnIndex(std::string_view name) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name == name)
            return static_cast<int>(i);
    }
    return -1;
}

int ResultData::ShownColumnIndex(std::string_view name) const {
    int shown = 0;
    for (const ColumnDescriptor& column : columns) {
        if (!column.shown)
            continue;
        if (EqualsNoCase(column.name, name))
            return shown;
        ++shown;
    }
    return -1;
}

ResultDocument::ResultDocument() {
    data.path = std::string(kFolderTreeRootName);
}

}  // namespace korvane
