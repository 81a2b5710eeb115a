#include "scan/ftp/ftp_list_parser.h"

#include <ctime>
#include <limits>

namespace korvane {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
    const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + static_cast<std::int64_t>(day_of_era) - 719468;
}

std::int64_t UtcSeconds(int year, int month, int day, int hour, int minute) {
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * kSecondsPerDay +
           hour * 3600 + minute * 60;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The whole text as an unsigned decimal; false for an empty text, any other
// character, or a value beyond 64 bits.
bool ParseDecimal(std::string_view text, std::uint64_t& value) {
    if (text.empty())
        return false;
    std::uint64_t result = 0;
    for (char c : text) {
        if (!IsDigit(c))
            return false;
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (result > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
            return false;
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

bool ParseSmall(std::string_view text, int low, int high, int& value) {
    std::uint64_t parsed = 0;
    if (text.size() > 9 || !ParseDecimal(text, parsed))
        return false;
    if (parsed < static_cast<std::uint64_t>(low) || parsed > static_cast<std::uint64_t>(high))
        return false;
    value = static_cast<int>(parsed);
    return true;
}

// Walks the fields of a line; fields are separated by one or more blanks.
class Fields {
  public:
    explicit Fields(std::string_view line) : rest_(line) {}

    bool Next(std::string_view& field) {
        SkipBlanks();
        if (rest_.empty())
            return false;
        std::size_t end = rest_.find(' ');
        if (end == std::string_view::npos)
            end = rest_.size();
        field = rest_.substr(0, end);
        rest_.remove_prefix(end);
        return true;
    }

    std::string_view Rest() {
        SkipBlanks();
        return rest_;
    }

  private:
    void SkipBlanks() {
        while (!rest_.empty() && rest_.front() == ' ')
            rest_.remove_prefix(1);
    }
    std::string_view rest_;
};

int MonthNumber(std::string_view word) {
    static constexpr const char* kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                              "jul", "aug", "sep", "oct", "nov", "dec"};
    if (word.size() != 3)
        return 0;
    for (int i = 0; i < 12; ++i) {
        if (Lower(word[0]) == kMonths[i][0] && Lower(word[1]) == kMonths[i][1] &&
            Lower(word[2]) == kMonths[i][2])
            return i + 1;
    }
    return 0;
}

bool SetName(std::string_view name, FtpDirEntry& entry) {
    if (name.empty() || name.size() > kFtpMaxNameLength)
        return false;
    entry.name.assign(name);
    entry.safe_name = IsSafeListName(name);
    return true;
}

// "1," followed by "3", or "1,3": the major and minor numbers a device file
// shows instead of a size.
bool IsDeviceNumbers(std::string_view field, Fields& fields) {
    const std::size_t comma = field.find(',');
    if (comma == std::string_view::npos || comma == 0)
        return false;
    std::uint64_t ignored = 0;
    if (!ParseDecimal(field.substr(0, comma), ignored))
        return false;
    std::string_view minor = field.substr(comma + 1);
    if (minor.empty() && !fields.Next(minor))
        return false;
    return ParseDecimal(minor, ignored);
}

bool ParseUnixLine(std::string_view line, FtpDirEntry& entry, std::int64_t now_utc) {
    Fields fields(line);
    std::string_view permissions, links, owner, group, size, month_word, day_text, time_or_year;
    if (!fields.Next(permissions) || !fields.Next(links) || !fields.Next(owner) || !fields.Next(group) ||
        !fields.Next(size))
        return false;
    if (!ParseDecimal(size, entry.size)) {
        if (!IsDeviceNumbers(size, fields))
            return false;
        entry.size = 0;
    }
    if (!fields.Next(month_word) || !fields.Next(day_text) || !fields.Next(time_or_year))
        return false;
    const int month = MonthNumber(month_word);
    int day = 0;
    if (month == 0 || !ParseSmall(day_text, 1, 31, day))
        return false;

    int year = 0, hour = 0, minute = 0;
    if (const std::size_t colon = time_or_year.find(':'); colon != std::string_view::npos) {
        if (!ParseSmall(time_or_year.substr(0, colon), 0, 23, hour) ||
            !ParseSmall(time_or_year.substr(colon + 1), 0, 59, minute))
            return false;
        // A listing shows the time of day only for the last months, so a
        // date after today belongs to last year.
        std::time_t now = static_cast<std::time_t>(now_utc);
        std::tm today{};
        if (gmtime_r(&now, &today) == nullptr)
            return false;
        year = today.tm_year + 1900;
        const int this_month = today.tm_mon + 1;
        if (month > this_month || (month == this_month && day > today.tm_mday))
            --year;
    } else if (!ParseSmall(time_or_year, 1, 9999, year)) {
        return false;
    }

    std::string_view name = fields.Rest();
    if (!permissions.empty() && permissions.front() == 'd') {
        entry.attributes = kFtpAttrDirectory;
    } else if (!permissions.empty() && permissions.front() == 'l') {
        entry.attributes = kFtpAttrLink;
        if (const std::size_t arrow = name.find(" -> "); arrow != std::string_view::npos)
            name = name.substr(0, arrow);
    }
    if (!SetName(name, entry))
        return false;
    entry.owner.assign(owner.substr(0, kFtpMaxOwnerLength));
    entry.time = UtcSeconds(year, month, day, hour, minute);
    return true;
}

// MM-DD-YY. Two-digit years below 70 are this century's; three digits count
// from 1900 and four are taken as they are.
bool ParseDosDate(std::string_view field, int& year, int& month, int& day) {
    const std::size_t first = field.find('-');
    if (first == std::string_view::npos)
        return false;
    const std::size_t second = field.find('-', first + 1);
    if (second == std::string_view::npos)
        return false;
    std::string_view year_text = field.substr(second + 1);
    if (!ParseSmall(field.substr(0, first), 1, 12, month) ||
        !ParseSmall(field.substr(first + 1, second - first - 1), 1, 31, day) ||
        !ParseSmall(year_text, 0, 9999, year))
        return false;
    if (year_text.size() <= 2) {
        year += year < 70 ? 2000 : 1900;
    } else if (year < 1000) {
        year += 1900;
    }
    return true;
}

// HH:MM followed by AM or PM.
bool ParseDosTime(std::string_view field, int& hour, int& minute) {
    const std::size_t colon = field.find(':');
    if (colon == std::string_view::npos || field.size() != colon + 5)
        return false;
    if (!ParseSmall(field.substr(0, colon), 1, 12, hour) ||
        !ParseSmall(field.substr(colon + 1, 2), 0, 59, minute))
        return false;
    const char half = Lower(field[colon + 3]);
    if ((half != 'a' && half != 'p') || Lower(field[colon + 4]) != 'm')
        return false;
    if (half == 'p' && hour != 12)
        hour += 12;
    if (half == 'a' && hour == 12)
        hour = 0;
    return true;
}

bool ParseDosLine(std::string_view line, FtpDirEntry& entry) {
    Fields fields(line);
    std::string_view date, time, size;
    if (!fields.Next(date) || !fields.Next(time) || !fields.Next(size))
        return false;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    if (!ParseDosDate(date, year, month, day) || !ParseDosTime(time, hour, minute))
        return false;
    if (size.size() == 5 && size[0] == '<' && Lower(size[1]) == 'd' && Lower(size[2]) == 'i' &&
        Lower(size[3]) == 'r' && size[4] == '>') {
        entry.attributes = kFtpAttrDirectory;
    } else if (!ParseDecimal(size, entry.size)) {
        return false;
    }
    if (!SetName(fields.Rest(), entry))
        return false;
    entry.time = UtcSeconds(year, month, day, hour, minute);
    return true;
}

}  // namespace

bool IsSafeListName(std::string_view name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (char c : name) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '/' || byte < 0x20 || byte == 0x7f)
            return false;
    }
    return true;
}

bool ParseListLine(std::string_view line, FtpDirEntry& entry, std::int64_t now_utc) {
    if (const std::size_t cut = line.find_first_of("\r\n"); cut != std::string_view::npos)
        line = line.substr(0, cut);

    entry = FtpDirEntry();
    if (ParseUnixLine(line, entry, now_utc))
        return true;
    entry = FtpDirEntry();
    if (ParseDosLine(line, entry))
        return true;
    entry = FtpDirEntry();
    return false;
}

bool ParseListLine(std::string_view line, FtpDirEntry& entry) {
    return ParseListLine(line, entry, static_cast<std::int64_t>(std::time(nullptr)));
}

}  // namespace korvane
