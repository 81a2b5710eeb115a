// Reading the rows of a result's answer one at a time, as the standalone
// save, the export and the printout do. The catalogue's stored query of the
// result's name provides them.
#pragma once

#include "catalogue/field_value.h"

namespace korvane {

class ResultRowReader {
  public:
    virtual ~ResultRowReader() = default;
    // Opens the answer at its first row; false when it cannot be opened or
    // holds no rows.
    virtual bool Open() = 0;
    // The value of a column in the current row; false when it cannot be read.
    virtual bool Value(int column, FieldValue& value) = 0;
    // Moves to the next row; false at the end.
    virtual bool Next() = 0;
};

}  // namespace korvane
