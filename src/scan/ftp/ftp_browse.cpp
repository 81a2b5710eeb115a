#include "scan/ftp/ftp_browse.h"

#include <unistd.h>

#include <string_view>

#include "app/text_helpers.h"
#include "scan/ftp/ftp_list_parser.h"
#include "scan/ftp/ftp_listing_file.h"
#include "scan/ftp/net_error.h"

namespace korvane {

namespace {

// A listed name that can be one step of a path sent to the server.
bool IsFolderStep(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

}  // namespace

FtpBrowser::FtpBrowser(UserInterface& ui, FtpSite site, FtpTimeouts timeouts, std::string temp_folder)
    : ui_(ui), site_(std::move(site)) {
    connection_.timeouts = timeouts;
    connection_.temp_folder = std::move(temp_folder);
}

FtpBrowser::~FtpBrowser() {
    if (connection_.control.Valid())
        Close();
}

std::unique_ptr<StatusWindow> FtpBrowser::Status(const std::string& line2) {
    return ui_.ShowStatus("Please wait...", "FTP browse...", DisplayText(line2), "", "");
}

bool FtpBrowser::Open() {
    items_.clear();
    top_ = selected_ = 0;
    auto status = Status(FillTemplate("Connecting to %s...", site_.host));
    std::string reply;
    if (!FtpLogin(connection_, site_.host, "", site_.user, site_.password, site_.port, &reply)) {
        const int error = LastNetError();
        FtpClose(connection_);
        std::string text = FtpReplyMessage(reply);
        if (text.empty() && !HostErrorText(text, error, site_.host))
            text = FillTemplate("Could not connect to %s.", site_.host);
        ui_.ShowMessage(DisplayText(text), MessageIcon::Stop, MessageButtons::Ok);
        return false;
    }
    top_ = next_id_++;
    FtpBrowseItem& top = items_[top_];
    top.name = site_.host;
    top.has_children = true;
    status.reset();
    Expand(top_);
    Select(top_);
    return true;
}

const FtpBrowseItem* FtpBrowser::Item(int item) const {
    auto found = items_.find(item);
    return found == items_.end() ? nullptr : &found->second;
}

std::string FtpBrowser::PathOf(int item) const {
    std::vector<const std::string*> names;
    for (const FtpBrowseItem* at = Item(item); at != nullptr && at->parent != 0; at = Item(at->parent))
        names.push_back(&at->name);
    if (Item(item) == nullptr)
        return std::string();
    std::string path;
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        path.append("/").append(**name);
    return path.empty() ? std::string("/") : path;
}

void FtpBrowser::RemoveChildren(FtpBrowseItem& item) {
    for (int child : item.children) {
        auto found = items_.find(child);
        if (found == items_.end())
            continue;
        RemoveChildren(found->second);
        items_.erase(found);
    }
    item.children.clear();
}

bool FtpBrowser::Expand(int item_id) {
    auto found = items_.find(item_id);
    if (found == items_.end())
        return false;
    if (found->second.expanded_once) {
        found->second.expanded = true;
        return true;
    }
    RemoveChildren(found->second);
    const std::string path = PathOf(item_id);
    auto status = Status(FillTemplate("Changing to %s", path));

    std::string reply;
    std::string listing;
    bool listed = FtpCommand(connection_, "CWD " + path + "\r\n", "250", &reply);
    if (listed) {
        status->SetLine2("Downloading directory listing...");
        StatusWindow* window = status.get();
        listed = FtpTransfer(connection_, listing, "", true, site_.passive, &reply,
                             [window](std::string_view count) {
                                 if (!count.empty())
                                     window->SetLine2(count);
                             });
    }
    if (!listed) {
        std::string text;
        if (!reply.empty() && (reply[0] == '4' || reply[0] == '5'))
            text = FtpReplyMessage(reply);
        if (text.empty())
            text = FillTemplate("Could not connect to %s.", site_.host);
        status.reset();
        ui_.ShowMessage(DisplayText(text), MessageIcon::Stop, MessageButtons::Ok);
        return false;
    }

    std::vector<std::string> names;
    {
        FtpListingFile file;
        if (file.Open(listing)) {
            FtpDirEntry entry;
            while (file.Next(entry)) {
                if ((entry.attributes & (kFtpAttrDirectory | kFtpAttrLink)) != 0 && IsFolderStep(entry.name))
                    names.push_back(entry.name);
            }
        }
    }
    ::unlink(listing.c_str());

    FtpBrowseItem& item = found->second;
    for (std::string& name : names) {
        const int child_id = next_id_++;
        FtpBrowseItem child;
        child.name = std::move(name);
        child.parent = item_id;
        child.has_children = true;
        items_.emplace(child_id, std::move(child));
        item.children.push_back(child_id);
    }
    item.has_children = !item.children.empty();
    item.expanded_once = true;
    item.expanded = true;
    return true;
}

bool FtpBrowser::IsBelow(int item, int ancestor) const {
    for (const FtpBrowseItem* at = Item(item); at != nullptr && at->parent != 0; at = Item(at->parent)) {
        if (at->parent == ancestor)
            return true;
    }
    return false;
}

void FtpBrowser::Collapse(int item_id) {
    auto found = items_.find(item_id);
    if (found == items_.end())
        return;
    if (IsBelow(selected_, item_id))
        Select(item_id);
    FtpBrowseItem& item = found->second;
    item.expanded = false;
    RemoveChildren(item);
    item.expanded_once = false;
}

void FtpBrowser::Select(int item) {
    if (Item(item) != nullptr)
        selected_ = item;
}

void FtpBrowser::Close() {
    auto status = Status(FillTemplate("Disconnecting from %s...", site_.host));
    FtpClose(connection_);
}

}  // namespace korvane
