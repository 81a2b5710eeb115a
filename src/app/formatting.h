// Sizes with decimal units (factor 1000) and the program's date formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace korvane {

// Exact: three significant digits, cut off, never rounded up.
std::string FormatSize(std::uint64_t bytes, std::size_t max_length = 64);
// Approximate, to the nearest tenth; may be negative.
std::string FormatSizeApprox(double bytes, std::size_t max_length = 64);
// Leading integer times every K, M, G, T, P, E letter in the text (wrapping
// modulo 2^64); decimal_text receives the value as unsigned decimal text.
std::uint64_t ParseSize(std::string_view text, std::string* decimal_text = nullptr);

// The program's fixed formats. Month and day names are English whatever the
// user's locale; "%#I" is the hour 1 to 12 without a leading zero.
inline constexpr const char* kEventTimeFormat = "%m/%d/%Y %H:%M:%S";
inline constexpr const char* kSqlDateFormat = "%m/%d/%Y";
inline constexpr const char* kFileDateFormat = "%H:%M:%S %m/%d/%Y";
inline constexpr const char* kBuildTimeFormat = "%B %d,%Y %I:%M%p";
inline constexpr const char* kStatusDateFormat = "%a, %b %d, %Y ";
inline constexpr const char* kStatusTimeFormat = "%#I:%M";
inline constexpr const char* kAxisDateFormat = "%b %d %Y";
inline constexpr const char* kForecastDateFormat = "%B %d, %Y";

// Formats a local time with a fixed format in the C locale.
std::string FormatLocalTime(const char* format, std::time_t when);
std::string FormatTm(const char* format, const std::tm& local);
// "%X" and "%c" follow the user's locale; these two use it.
std::string FormatLocaleTime(const char* format, std::time_t when);

}  // namespace korvane
