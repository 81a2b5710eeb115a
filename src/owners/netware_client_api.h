// The NetWare client library as Korvane calls it: the functions it must
// export under these names, their types and the values passed to them. The
// library is outside the program and loaded at run time; this header is the
// whole contract, and a library that implements it includes it to keep its
// signatures in step. Every function returns 0 on success or the library's
// error code.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

typedef std::uint32_t NWCONN_HANDLE;
typedef std::uint32_t NWDSContextHandle;
typedef std::uint8_t NWDIR_HANDLE;
typedef struct NWDSBuffer Buf_T;                  // opaque, the library's own
typedef struct NWDSFilterCursor Filter_Cursor_T;  // opaque, the library's own

// The file server's own description.
struct NWFileServerVersionInfo {
    char server_name[48];
    std::uint8_t major_version;
    std::uint8_t minor_version;
    std::uint8_t revision;
    std::uint8_t reserved;
};

// The directory-entry record of a scan: 140 bytes, as the server keeps it.
// Dates and times are DOS values; a combined value holds the time in its low
// 16 bits and the date in its high 16 bits.
struct NWEntryRecord {
    std::uint32_t sequence;
    std::uint32_t parent;
    std::uint32_t attributes;
    std::uint8_t unique_id;
    std::uint8_t flags;
    std::uint8_t name_space;
    std::uint8_t name_length;
    char name[12];
    std::uint32_t creation_date_time;
    std::uint32_t creator_id;
    std::uint32_t archive_date_time;
    std::uint32_t archiver_id;
    std::uint32_t update_date_time;
    std::uint32_t updator_id;
    std::uint32_t file_size;
    std::uint32_t compressed_size;
    std::uint16_t inherited_rights;
    std::uint16_t last_access_date;
    std::uint8_t reserved[76];
};
static_assert(sizeof(NWEntryRecord) == 140, "the entry record is 140 bytes");

// An entry as another name space sees it (only the name is used here).
struct NWNSEntryInfo {
    std::uint32_t attributes;
    std::uint8_t name_length;
    char entry_name[256];
};

// The DOS information of an entry that a modify mask selects from.
struct NWModifyDosInfo {
    std::uint32_t attributes;
    std::uint16_t creation_date;
    std::uint16_t creation_time;
    std::uint32_t creator_id;
    std::uint16_t modify_date;
    std::uint16_t modify_time;
    std::uint32_t modifier_id;
    std::uint16_t archive_date;
    std::uint16_t archive_time;
    std::uint32_t archiver_id;
    std::uint16_t last_access_date;
};

struct NWDirSpaceInfo {
    std::uint32_t total_blocks;
    std::uint32_t available_blocks;
    std::uint32_t purgeable_blocks;
    std::uint32_t not_yet_purgeable_blocks;
    std::uint32_t sectors_per_block;
    std::uint16_t volume_number;
};

// What a search tells of each object besides its name.
struct NWDSObjectInfo {
    std::uint32_t object_flags;
    std::uint32_t subordinate_count;
    char base_class[64];
};

}  // extern "C"

// Every function of the library, with its type. X(name, type) is expanded
// once by the loader (one pointer per function) and once by a library that
// checks its definitions against it.
#define KORVANE_NETWARE_CLIENT_FUNCTIONS(X)                                                                  \
    X(NWGetConnectionIDFromName, int(const char* server_name, NWCONN_HANDLE* connection))                    \
    X(NWGetFileServerVersionInfo, int(NWCONN_HANDLE connection, NWFileServerVersionInfo * info))             \
    X(NWGetVolumeNumber, int(NWCONN_HANDLE connection, const char* volume_name, std::uint16_t* number))      \
    X(NWGetNSLoadedList, int(NWCONN_HANDLE connection, std::uint16_t volume_number, std::uint16_t max_count, \
                             std::uint8_t * name_spaces, std::uint16_t * count))                             \
    X(NWAllocPermanentDirectoryHandle, int(NWCONN_HANDLE connection, NWDIR_HANDLE base, const char* path,    \
                                           NWDIR_HANDLE* handle, std::uint8_t* rights))                      \
    X(NWDeallocateDirectoryHandle, int(NWCONN_HANDLE connection, NWDIR_HANDLE handle))                       \
    X(NWGetNSEntryInfo,                                                                                      \
      int(NWCONN_HANDLE connection, NWDIR_HANDLE handle, const char* path, std::uint8_t source_name_space,   \
          std::uint8_t target_name_space, std::uint16_t search_attributes, std::uint32_t return_mask,        \
          NWNSEntryInfo* info))                                                                              \
    X(NWIntScanExtendedInfo,                                                                                 \
      int(NWCONN_HANDLE connection, NWDIR_HANDLE handle, std::uint8_t search_attributes,                     \
          std::int32_t * sequence, const char* pattern, NWEntryRecord* entry, std::uint8_t augment))         \
    X(NWIntScanDirEntryInfo,                                                                                 \
      int(NWCONN_HANDLE connection, NWDIR_HANDLE handle, std::uint16_t search_attributes,                    \
          std::int32_t * sequence, const char* pattern, NWEntryRecord* entry, std::uint8_t augment))         \
    X(NWSetNSEntryDOSInfo,                                                                                   \
      int(NWCONN_HANDLE connection, NWDIR_HANDLE handle, const char* path, std::uint8_t name_space,          \
          std::uint16_t search_attributes, std::uint32_t modify_mask, const NWModifyDosInfo* info))          \
    X(NWSetDirEntryInfo, int(NWCONN_HANDLE connection, NWDIR_HANDLE handle, std::uint8_t search_attributes,  \
                             std::uint32_t sequence, std::uint32_t modify_mask, const NWEntryRecord* entry)) \
    X(NWGetDirSpaceInfo, int(NWCONN_HANDLE connection, NWDIR_HANDLE handle, std::uint16_t volume_number,     \
                             NWDirSpaceInfo * space))                                                        \
    X(NWGetObjectName,                                                                                       \
      int(NWCONN_HANDLE connection, std::uint32_t object_id, char* name, std::uint16_t* type))               \
    X(NWScanObject, int(NWCONN_HANDLE connection, const char* pattern, std::uint16_t type,                   \
                        std::uint32_t* sequence, char* name, std::uint16_t* found_type))                     \
    X(NWSetPreferredDSTree, int(const char* tree_name))                                                      \
    X(NWDSCreateContextHandle, int(NWDSContextHandle * context))                                             \
    X(NWDSGetContext, int(NWDSContextHandle context, int key, void* value))                                  \
    X(NWDSSetContext, int(NWDSContextHandle context, int key, const void* value))                            \
    X(NWDSFreeContext, int(NWDSContextHandle context))                                                       \
    X(NWDSAllocBuf, int(std::size_t size, Buf_T * *buffer))                                                  \
    X(NWDSInitBuf, int(NWDSContextHandle context, std::uint32_t operation, Buf_T * buffer))                  \
    X(NWDSFreeBuf, int(Buf_T * buffer))                                                                      \
    X(NWDSPutAttrName, int(NWDSContextHandle context, Buf_T * buffer, const char* attribute))                \
    X(NWDSRead,                                                                                              \
      int(NWDSContextHandle context, const char* object, std::uint32_t info_type,                            \
          std::uint8_t all_attributes, Buf_T* attribute_names, std::int32_t* iteration, Buf_T* object_info)) \
    X(NWDSGetAttrCount, int(NWDSContextHandle context, Buf_T * buffer, std::uint32_t * count))               \
    X(NWDSGetAttrName, int(NWDSContextHandle context, Buf_T * buffer, char* attribute,                       \
                           std::uint32_t* value_count, std::uint32_t* syntax))                               \
    X(NWDSGetAttrVal, int(NWDSContextHandle context, Buf_T * buffer, std::uint32_t syntax, void* value))     \
    X(NWDSMapIDToName,                                                                                       \
      int(NWDSContextHandle context, NWCONN_HANDLE connection, std::uint32_t object_id, char* name))         \
    X(NWDSMapNameToID,                                                                                       \
      int(NWDSContextHandle context, NWCONN_HANDLE connection, const char* name, std::uint32_t* object_id))  \
    X(NWDSAllocFilter, int(Filter_Cursor_T * *cursor))                                                       \
    X(NWDSAddFilterToken,                                                                                    \
      int(Filter_Cursor_T * cursor, std::uint16_t token, const void* value, std::uint32_t syntax))           \
    X(NWDSPutFilter, int(NWDSContextHandle context, Buf_T * buffer, Filter_Cursor_T * cursor))               \
    X(NWDSFreeFilter, int(Filter_Cursor_T * cursor))                                                         \
    X(NWDSSearch, int(NWDSContextHandle context, const char* base, int scope, std::uint8_t search_aliases,   \
                      Buf_T* filter, std::uint32_t info_type, std::uint8_t all_attributes,                   \
                      Buf_T* attribute_names, std::int32_t* iteration, std::int32_t objects_to_search,       \
                      std::int32_t* objects_searched, Buf_T* object_info))                                   \
    X(NWDSGetObjectCount, int(NWDSContextHandle context, Buf_T * buffer, std::uint32_t * count))             \
    X(NWDSGetObjectName, int(NWDSContextHandle context, Buf_T * buffer, char* name,                          \
                             std::uint32_t* attribute_count, NWDSObjectInfo* info))

namespace korvane::netware {

// Name spaces.
inline constexpr std::uint8_t kDosNameSpace = 0;
inline constexpr std::uint8_t kLongNameSpace = 4;

// Entry attributes.
inline constexpr std::uint32_t kImmediateCompress = 1u << 25;
inline constexpr std::uint32_t kCompressed = 1u << 26;
inline constexpr std::uint32_t kDontCompress = 1u << 27;
inline constexpr std::uint32_t kCantCompress = 1u << 29;

// Modify-mask bits of an entry write.
inline constexpr std::uint32_t kModifyAttributes = 0x0002;
inline constexpr std::uint32_t kModifyCreationDate = 0x0004;
inline constexpr std::uint32_t kModifyCreationTime = 0x0008;
inline constexpr std::uint32_t kModifyCreator = 0x0010;
inline constexpr std::uint32_t kModifyArchiveDate = 0x0020;
inline constexpr std::uint32_t kModifyArchiveTime = 0x0040;
inline constexpr std::uint32_t kModifyArchiver = 0x0080;
inline constexpr std::uint32_t kModifyUpdateDate = 0x0100;
inline constexpr std::uint32_t kModifyUpdateTime = 0x0200;
inline constexpr std::uint32_t kModifyUpdater = 0x0400;
inline constexpr std::uint32_t kModifyLastAccessDate = 0x0800;

// Directory-services context keys and flags.
inline constexpr int kContextFlags = 1;
inline constexpr int kContextNameContext = 3;
inline constexpr int kContextTreeName = 11;
inline constexpr std::uint32_t kDereferenceAliases = 0x0001;

// Buffer operations, read and search information types, search scope.
inline constexpr std::uint32_t kReadOperation = 3;
inline constexpr std::uint32_t kSearchOperation = 6;
inline constexpr std::uint32_t kSearchFilterOperation = 7;
inline constexpr std::uint32_t kNamesOnly = 0;
inline constexpr std::uint32_t kAttributeValues = 1;
inline constexpr int kSearchSubordinates = 1;

// Filter tokens and the syntax of class names.
inline constexpr std::uint16_t kFilterEnd = 0;
inline constexpr std::uint16_t kFilterOr = 1;
inline constexpr std::uint16_t kFilterEqual = 7;
inline constexpr std::uint16_t kFilterAttributeName = 9;
inline constexpr std::uint16_t kFilterAttributeValue = 10;
inline constexpr std::uint32_t kClassNameSyntax = 20;

// Bindery object types.
inline constexpr std::uint16_t kUserObject = 256;
inline constexpr std::uint16_t kAnyObject = 65535;

// Room the library may fill in the name outputs.
inline constexpr std::size_t kObjectNameRoom = 2048;
inline constexpr std::size_t kAttributeNameRoom = 128;

}  // namespace korvane::netware
