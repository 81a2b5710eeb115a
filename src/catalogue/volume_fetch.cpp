#include "catalogue/volume_fetch.h"

#include <string>

#include "app/text_helpers.h"
#include "catalogue/catalogue.h"
#include "catalogue/fetch_templates.h"
#include "catalogue/schema.h"

namespace korvane {

namespace {

constexpr int kVolumeColumnCount = 15;

bool FetchVolume(Catalogue& catalogue, const std::string& sql, VolumeScanRecord& record) {
    record = VolumeScanRecord{};
    StoredQuery& query = catalogue.stored_query();
    if (!query.OpenStoredQuery(kFetchVolumeQuery)) {
        return false;
    }
    if (!query.SetStoredQuerySql(sql) || !query.OpenQuerySnapshot()) {
        query.CloseStoredQuery();
        return false;
    }
    VolumeScanRecord fetched;
    int read = 0;
    FieldValue value;
    auto text = [&](int column, std::string& target) {
        if (!query.QueryFieldValue(column, value)) {
            return false;
        }
        value.AsText(target);
        return true;
    };
    auto integer = [&](int column, std::int32_t& target) {
        if (!query.QueryFieldValue(column, value)) {
            return false;
        }
        value.AsInt32(target);
        return true;
    };
    // Template order: Volume ID, Folder ID, Root, Name, Owner, Type, Format,
    // Folders, Files, Free, VolType, Serial Number, UserName, Password, Flags.
    std::int32_t serial = 0;
    read += integer(0, fetched.volume_id);
    read += integer(1, fetched.root_folder_id);
    read += text(2, fetched.root);
    read += text(3, fetched.name);
    read += text(4, fetched.owner);
    read += text(5, fetched.media);
    read += text(6, fetched.format);
    read += integer(7, fetched.folders);
    read += integer(8, fetched.files);
    if (query.QueryFieldValue(9, value)) {
        ++read;
        double free = 0.0;
        if (value.AsDouble(free) && free > 0.0) {
            fetched.free = free >= 18446744073709551615.0 ? UINT64_MAX : static_cast<std::uint64_t>(free);
        }
    }
    read += integer(10, fetched.volume_type);
    read += integer(11, serial);
    read += text(12, fetched.user_name);
    read += text(13, fetched.password);
    read += integer(14, fetched.flags);
    fetched.serial_number = static_cast<std::uint32_t>(serial);
    query.CloseQuerySnapshot();
    query.CloseStoredQuery();
    if (read != kVolumeColumnCount) {
        return false;
    }
    record = std::move(fetched);
    return true;
}

}  // namespace

bool FetchVolumeById(Catalogue& catalogue, std::int32_t volume_id, VolumeScanRecord& record) {
    return FetchVolume(catalogue, FetchVolumeByIdSql(volume_id), record);
}

bool FetchVolumeByRoot(Catalogue& catalogue, std::string_view location, VolumeScanRecord& record) {
    return FetchVolume(catalogue, FetchVolumeByRootSql(RootOfLocation(location).root), record);
}

}  // namespace korvane
