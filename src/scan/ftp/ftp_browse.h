// What the FTP Browse dialog shows and does, without the widgets: a tree of
// a site's folders that is listed one folder at a time as the person opens
// it, the selected folder's path, and the connection held from opening to
// closing. The dialog mirrors the items (names are the server's bytes; it
// shows them with DisplayText) and calls these operations from its events.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/user_interface.h"
#include "scan/ftp/ftp_client.h"
#include "scan/ftp/ftp_site_login.h"

namespace korvane {

struct FtpBrowseItem {
    std::string name;  // the host for the top item, else a folder name
    int parent = 0;    // 0 for the top item
    std::vector<int> children;
    bool has_children = false;   // shows the expander
    bool expanded_once = false;  // listed since it was last collapsed
    bool expanded = false;
};

class FtpBrowser {
  public:
    FtpBrowser(UserInterface& ui, FtpSite site, FtpTimeouts timeouts = {}, std::string temp_folder = {});
    ~FtpBrowser();
    FtpBrowser(const FtpBrowser&) = delete;
    FtpBrowser& operator=(const FtpBrowser&) = delete;

    // The dialog opening: logs in under a status window, makes the top item
    // (the host), expands and selects it. On failure the reason has been
    // shown with a stop icon (the server's reply, "Host %s not found." or
    // "Could not connect to %s.") and the dialog ends as cancelled.
    bool Open();

    // Expanding an item: its children are replaced by the folders and links
    // of its listing ("." and ".." left out), each marked as having
    // children; the item keeps its expander only when any were found. An
    // item listed since its last collapse is only shown open again. False,
    // after showing the server's reply, when the folder could not be listed.
    bool Expand(int item);
    // Collapsing: a selection below the item moves to it; its children go
    // and the next expansion lists the folder again.
    void Collapse(int item);
    void Select(int item);

    // "/" for the top item; else "/" and the names from the top item's child
    // down to the item, joined by "/".
    std::string PathOf(int item) const;
    // The line under the tree, and what OK returns.
    std::string SelectedPath() const { return PathOf(selected_); }
    int selected() const { return selected_; }
    int top() const { return top_; }
    // Null for an item that does not (or no longer) exist.
    const FtpBrowseItem* Item(int item) const;

    // The dialog closing: logs out under a status window. Also done by the
    // destructor when still connected.
    void Close();

  private:
    void RemoveChildren(FtpBrowseItem& item);
    bool IsBelow(int item, int ancestor) const;
    std::unique_ptr<StatusWindow> Status(const std::string& line2);

    UserInterface& ui_;
    FtpSite site_;
    FtpConnection connection_;
    std::map<int, FtpBrowseItem> items_;
    int next_id_ = 1;
    int top_ = 0;
    int selected_ = 0;
};

}  // namespace korvane
