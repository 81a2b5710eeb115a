// Builds a catalogue from a volume list the way an unattended Scan does, for
// timing the scanner on its own:
//   scan_main CATALOGUE VOLUME_LIST [--create] [--direct]
// --create makes the catalogue file first when it does not exist; --direct
// saves rows on the walking thread instead of a writer thread. Prints
// the rows written and the catalogue's size.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/user_interface.h"
#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/schema.h"
#include "scan/volume_scanner.h"

int main(int argc, char** argv) {
    using namespace korvane;
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s CATALOGUE VOLUME_LIST [--create] [--direct]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    struct stat st;
    bool create = false, direct = false;
    for (int i = 3; i < argc; ++i) {
        create = create || std::strcmp(argv[i], "--create") == 0;
        direct = direct || std::strcmp(argv[i], "--direct") == 0;
    }
    if (create && stat(path.c_str(), &st) != 0) {
        std::string error;
        if (!CreateEmptyCatalogue(path, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    SilentUserInterface ui;
    Catalogue catalogue(ui);
    if (!catalogue.OpenCatalogue(path)) {
        std::fprintf(stderr, "%s\n", catalogue.last_error().c_str());
        return 1;
    }
    FolderTree tree;
    IdCounters counters;
    ScanContext context(catalogue, tree, counters, ui, "");
    context.overlap_writing = !direct;
    const bool built = BuildCatalogue(context, argv[2], nullptr);
    catalogue.CloseCatalogue();
    const long long bytes = stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
    std::printf("built=%d volumes=%d folders=%d files=%d catalogue_bytes=%lld\n", built ? 1 : 0,
                counters.next_volume - 1, counters.next_folder - 1, counters.next_file - 1, bytes);
    return built ? 0 : 1;
}
