#include "app/formatting.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <locale.h>

namespace korvane {
namespace {

constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};

std::string Cut(std::string text, std::size_t max_length) {
    // max_length is a buffer size: it holds max_length - 1 characters.
    if (max_length > 0 && text.size() > max_length - 1) text.resize(max_length - 1);
    return text;
}

// The C locale, for formats that must not follow the user's locale.
locale_t CLocale() {
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c_locale;
}

// "%#I" (hour 1 to 12 without a leading zero) is not a strftime conversion here.
std::string ExpandHourWithoutZero(const char* format, const std::tm& local) {
    std::string out;
    for (const char* p = format; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == '#' && p[2] == 'I') {
            const int hour = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
            out += std::to_string(hour);
            p += 2;
        } else if (p[0] == '%' && p[1] == '%') {
            out += "%%";
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

std::string Strftime(const char* format, const std::tm& local, locale_t locale) {
    const std::string expanded = ExpandHourWithoutZero(format, local);
    char buffer[512];
    const std::size_t n = locale != nullptr ? strftime_l(buffer, sizeof buffer, expanded.c_str(), &local, locale)
                                            : std::strftime(buffer, sizeof buffer, expanded.c_str(), &local);
    return std::string(buffer, n);
}

std::tm LocalTm(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}

// snprintf with "%.1f"/"%.0f" in the C locale, so the decimal point is always ".".
std::string FormatFixed(const char* format, double value, const char* unit) {
    const locale_t previous = uselocale(CLocale());
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value, unit);
    uselocale(previous);
    return buffer;
}

}  // namespace

std::string FormatSize(std::uint64_t bytes, std::size_t max_length) {
    if (bytes == 1) return Cut("1 byte", max_length);
    if (bytes < 1000) return Cut(std::to_string(bytes) + " bytes", max_length);
    std::uint64_t factor = 1000;
    int unit = 0;
    while (unit < 5 && bytes / factor >= 1000) {
        factor *= 1000;
        ++unit;
    }
    const std::uint64_t whole = bytes / factor;
    if (whole >= 100) return Cut(std::to_string(whole) + " " + kUnits[unit], max_length);
    char digits[24];
    std::snprintf(digits, sizeof digits, "%03llu",
                  static_cast<unsigned long long>((bytes % factor) / (factor / 1000)));
    digits[whole >= 10 ? 1 : 2] = '\0';
    return Cut(std::to_string(whole) + "." + digits + " " + kUnits[unit], max_length);
}

std::string FormatSizeApprox(double bytes, std::size_t max_length) {
    if (bytes == 1 || bytes == -1) return Cut("1 byte", max_length);
    if (bytes > -1000 && bytes < 1000) return Cut(FormatFixed("%.0f %s", bytes, "bytes"), max_length);
    double limit = 1e6;
    double scale = 1e-3;
    for (int unit = 0; unit < 5; ++unit, limit *= 1000, scale /= 1000) {
        if (bytes > -limit && bytes < limit) return Cut(FormatFixed("%.1f %s", bytes * scale, kUnits[unit]), max_length);
    }
    return Cut(FormatFixed("%.1f %s", bytes * 1e-18, "EB"), max_length);
}

std::uint64_t ParseSize(std::string_view text, std::string* decimal_text) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    std::uint64_t value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') value = value * 10 + (text[pos++] - '0');
    if (negative) value = 0 - value;
    for (char c : text) {
        switch (c) {
            case 'K': case 'k': value *= 1000ULL; break;
            case 'M': case 'm': value *= 1000000ULL; break;
            case 'G': case 'g': value *= 1000000000ULL; break;
            case 'T': case 't': value *= 1000000000000ULL; break;
            case 'P': case 'p': value *= 1000000000000000ULL; break;
            case 'E': case 'e': value *= 1000000000000000000ULL; break;
            default: break;
        }
    }
    if (decimal_text != nullptr) *decimal_text = std::to_string(value);
    return value;
}

std::string FormatTm(const char* format, const std::tm& local) { return Strftime(format, local, CLocale()); }

std::string FormatLocalTime(const char* format, std::time_t when) { return FormatTm(format, LocalTm(when)); }

std::string FormatLocaleTime(const char* format, std::time_t when) { return Strftime(format, LocalTm(when), nullptr); }

}  // namespace korvane
