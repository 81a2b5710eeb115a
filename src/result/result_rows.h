// The rows of a result's answer, read afresh from the catalogue's stored
// query of the result's name, one at a time; closed again when this object
// ends, whatever happened in between.
#pragma once

#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "catalogue/field_value.h"

namespace korvane {

class ResultRows {
  public:
    explicit ResultRows(Catalogue& catalogue) : query_(catalogue.stored_query()) {}
    ~ResultRows() { Close(); }
    ResultRows(const ResultRows&) = delete;
    ResultRows& operator=(const ResultRows&) = delete;

    // Opens the stored query and its snapshot on the first row; false when
    // either cannot be opened or the answer has no rows. With any_order the
    // caller only sums the rows, which then come unsorted. With forward_only
    // the caller never moves back (the rows may then stream).
    bool Open(std::string_view name, bool any_order = false, bool forward_only = false);
    // The current row's value of a column; false when it cannot be read.
    bool Value(int column, FieldValue& value) { return query_.QueryFieldValue(column, value); }
    // Moves to the next row; false at the end, and when a row could not be
    // read (Failed then says so).
    bool Next() { return query_.NextQueryRow(); }
    bool Failed() const { return !query_.last_error().empty(); }
    const std::string& error() const { return query_.last_error(); }
    // Moves to the row at a position counted from 0; false past the end.
    bool Move(std::int64_t position) { return query_.MoveQueryRow(position); }
    void Close();

  private:
    StoredQuery& query_;
    bool open_ = false;
};

}  // namespace korvane
