// One value of a catalogue field or of a query column: null, a whole number,
// a floating value, a date (a day number) or text (exact bytes).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

enum class FieldKind : std::uint8_t { Null, Integer, Double, Date, Text };

struct FieldValue {
    FieldKind kind = FieldKind::Null;
    std::int64_t integer = 0;
    double number = 0.0;  // Double and Date
    std::string text;

    static FieldValue Null() { return FieldValue{}; }
    static FieldValue OfInteger(std::int64_t value);
    static FieldValue OfDouble(double value);
    static FieldValue OfDate(double day_number);
    static FieldValue OfText(std::string_view value);

    bool IsNull() const { return kind == FieldKind::Null; }
    // A whole number as a 32-bit integer: Integer values saturate at the
    // 32-bit limits, Double and Date values are cut towards zero (saturating).
    // False for null, text and values that are not numbers (NaN).
    bool AsInt32(std::int32_t& value) const;
    // Integer, Double and Date values; false for null and text.
    bool AsDouble(double& value) const;
    // Text values only; false otherwise.
    bool AsText(std::string& value) const;

    friend bool operator==(const FieldValue& a, const FieldValue& b);
};

// Saturating conversions used wherever stored numbers meet 32-bit fields, so
// a hostile catalogue cannot cause an out-of-range conversion.
std::int32_t SaturateToInt32(std::int64_t value);
std::int32_t SaturateToInt32(double value);
std::int64_t SaturateToInt64(double value);

}  // namespace korvane
