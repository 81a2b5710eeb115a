#include "scan/drive_descriptions.h"

#include <cstdio>

namespace korvane {
namespace {

struct DriveWords {
    std::string_view media;         // Volume.Type
    std::string_view with_name;     // "%s": the file system name
    std::string_view without_name;  // when the file system has no name
    int image;
};

// Indexed by drive type 0 to 6.
constexpr DriveWords kDriveWords[] = {
    {"", "Unknown '%s' Disk", "Unknown Drive Type", 5},
    {"(FAT32?)", "NoRoot '%s' Disk", "", 0},
    {"Removable Disk Media", "Removable '%s' Disk", "Removable Disk", 1},
    {"Fixed Disk Media", "Fixed '%s' Disk", "Fixed Disk", 0},
    {"Remote Media", "Remote '%s' Disk", "Remote '%s' Disk", 3},
    {"Compact Disk Media", "Compact '%s' Disk", "Compact Disk", 2},
    {"Memory Media", "Memory '%s' Disk", "Memory Drive", 4},
};
constexpr int kKnownTypes = static_cast<int>(sizeof kDriveWords / sizeof kDriveWords[0]);
constexpr int kUnknownImage = 5;

bool IsKnown(int drive_type) {
    return drive_type >= 0 && drive_type < kKnownTypes;
}

// Puts the file system name where the pattern has "%s".
std::string Fill(std::string_view pattern, std::string_view name) {
    std::string text(pattern);
    if (const std::size_t at = text.find("%s"); at != std::string::npos) {
        text.replace(at, 2, name);
    }
    return text;
}

}  // namespace

std::string_view MediaOfDriveType(DriveType type) {
    const int index = static_cast<int>(type);
    return IsKnown(index) ? kDriveWords[index].media : std::string_view();
}

std::string DescribeDriveType(int drive_type, std::string_view file_system) {
    if (!IsKnown(drive_type)) {
        char code[16];
        std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(drive_type) & 0xFFFFu);
        if (file_system.empty()) {
            return "Unknown Type " + std::string(code) + " Disk";
        }
        return "Type " + std::string(code) + " '" + std::string(file_system) + "' Disk";
    }
    const DriveWords& words = kDriveWords[drive_type];
    return Fill(file_system.empty() ? words.without_name : words.with_name, file_system);
}

int DriveImageOf(int drive_type) {
    return IsKnown(drive_type) ? kDriveWords[drive_type].image : kUnknownImage;
}

}  // namespace korvane
