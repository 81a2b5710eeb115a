// The objects the program shares for a whole run, with one owner: the
// settings, the catalogue with its cursors and stored query, the folder tree
// and the identifier counters. Start-up creates it; everything else is given
// what it needs from it.
#pragma once

#include <memory>
#include <string>

#include "app/settings.h"
#include "app/user_interface.h"
#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/scan_records.h"
#include "owners/netware_layer.h"

namespace korvane {

class ResultPrintService;

struct ProgramState {
    explicit ProgramState(UserInterface& person) : ui(person), catalogue(person) {}

    UserInterface& ui;
    InstallPaths paths;
    ProgramOptions options;
    std::string database_path;
    bool interactive = false;
    Catalogue catalogue;
    FolderTree tree;
    IdCounters counters;
    // NetWare volumes are read through it; made once the settings name the
    // client library, which it loads at its first use.
    std::unique_ptr<NetWareLayer> netware;
    // How scripts print results; none in a build without a printing system.
    ResultPrintService* printer = nullptr;
};

}  // namespace korvane
