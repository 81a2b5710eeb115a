#include "result/result_rows.h"

namespace korvane {

bool ResultRows::Open(std::string_view name, bool any_order, bool forward_only) {
    Close();
    if (!query_.OpenStoredQuery(name))
        return false;
    open_ = true;
    if (!query_.OpenQuerySnapshot(any_order, forward_only) || !query_.MoveQueryRow(0)) {
        Close();
        return false;
    }
    return true;
}

void ResultRows::Close() {
    if (!open_)
        return;
    query_.CloseQuerySnapshot();
    query_.CloseStoredQuery();
    open_ = false;
}

}  // namespace korvane
