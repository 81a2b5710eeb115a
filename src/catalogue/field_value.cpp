#include "catalogue/field_value.h"

#include <cmath>
#include <limits>

namespace korvane {

FieldValue FieldValue::OfInteger(std::int64_t value) {
    FieldValue v;
    v.kind = FieldKind::Integer;
    v.integer = value;
    return v;
}

FieldValue FieldValue::OfDouble(double value) {
    FieldValue v;
    v.kind = FieldKind::Double;
    v.number = value;
    return v;
}

FieldValue FieldValue::OfDate(double day_number) {
    FieldValue v;
    v.kind = FieldKind::Date;
    v.number = day_number;
    return v;
}

FieldValue FieldValue::OfText(std::string_view value) {
    FieldValue v;
    v.kind = FieldKind::Text;
    v.text.assign(value);
    return v;
}

bool FieldValue::AsInt32(std::int32_t& value) const {
    switch (kind) {
        case FieldKind::Integer:
            value = SaturateToInt32(integer);
            return true;
        case FieldKind::Double:
        case FieldKind::Date:
            if (std::isnan(number)) {
                return false;
            }
            value = SaturateToInt32(number);
            return true;
        default:
            return false;
    }
}

bool FieldValue::AsDouble(double& value) const {
    switch (kind) {
        case FieldKind::Integer:
            value = static_cast<double>(integer);
            return true;
        case FieldKind::Double:
        case FieldKind::Date:
            value = number;
            return true;
        default:
            return false;
    }
}

bool FieldValue::AsText(std::string& value) const {
    if (kind != FieldKind::Text) {
        return false;
    }
    value = text;
    return true;
}

bool operator==(const FieldValue& a, const FieldValue& b) {
    if (a.kind != b.kind) {
        return false;
    }
    switch (a.kind) {
        case FieldKind::Null:
            return true;
        case FieldKind::Integer:
            return a.integer == b.integer;
        case FieldKind::Double:
        case FieldKind::Date:
            return a.number == b.number;
        case FieldKind::Text:
            return a.text == b.text;
    }
    return false;
}

std::int32_t SaturateToInt32(std::int64_t value) {
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t SaturateToInt32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483647.0) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value <= -2147483648.0) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

std::int64_t SaturateToInt64(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    // 2^63 is exactly representable; anything at or above it saturates.
    if (value >= 9223372036854775808.0) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (value <= -9223372036854775808.0) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(value);
}

}  // namespace korvane
