#include "catalogue/user_volume_rules.h"

#include <algorithm>
#include <charconv>

namespace korvane {

namespace {

const char* TypeLine(UserVolumeKind kind) {
    switch (kind) {
        case UserVolumeKind::Remote:
            return "Remote";
        case UserVolumeKind::Ftp:
            return "FTP";
        default:
            return "Local";
    }
}

// A leading "ftp:" (and the "//" of a typed URL) is the kind, not the host.
std::string_view WithoutFtpScheme(std::string_view text) {
    if (StartsWithNoCase(text, "ftp:")) {
        text.remove_prefix(4);
        if (text.substr(0, 2) == "//" || text.substr(0, 2) == "\\\\") {
            text.remove_prefix(2);
        }
    }
    return text;
}

std::int32_t PortNumber(std::string_view text) {
    std::int32_t port = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    (void)end;
    return ec == std::errc() && port > 0 ? port : 0;
}

}  // namespace

AddVolumeForm NewAddVolumeForm() {
    AddVolumeForm form;
    ShowVolumeKind(form, UserVolumeKind::Local);
    return form;
}

void ShowVolumeKind(AddVolumeForm& form, UserVolumeKind kind) {
    const bool ftp = kind == UserVolumeKind::Ftp;
    form.kind = kind;
    form.type_line = TypeLine(kind);
    form.ftp_site_selected = ftp;
    form.use_default = kind == UserVolumeKind::Local ? FormCheck{false, false} : FormCheck{true, true};
    form.save_password = FormCheck{false, false};
    form.passive = FormCheck{false, ftp};
    form.user_name = FormText{ftp ? std::string(kAnonymousUser) : std::string(), false};
    form.password = FormText{ftp ? std::string(kDefaultFtpPassword) : std::string(), false};
    form.port = FormText{ftp ? std::string(kDefaultFtpPort) : std::string(), false};
    form.browse_enabled = true;
}

void ChooseLogicalDrive(AddVolumeForm& form) {
    if (form.kind == UserVolumeKind::Ftp) {
        ShowVolumeKind(form, UserVolumeKind::Local);
    }
}

void ChooseFtpSite(AddVolumeForm& form) {
    if (form.kind != UserVolumeKind::Ftp) {
        ShowVolumeKind(form, UserVolumeKind::Ftp);
    }
}

void SetUseDefault(AddVolumeForm& form, bool on) {
    const bool ftp = form.kind == UserVolumeKind::Ftp;
    form.use_default.checked = on;
    if (on) {
        form.save_password = FormCheck{false, false};
        form.user_name = FormText{ftp ? std::string(kAnonymousUser) : std::string(), false};
        form.password = FormText{ftp ? std::string(kDefaultFtpPassword) : std::string(), false};
        form.port = FormText{ftp ? std::string(kDefaultFtpPort) : std::string(), false};
    } else {
        form.user_name.enabled = true;
        form.password.text.clear();
        form.save_password.enabled = true;
        form.port.enabled = ftp;
    }
}

void SetSavePassword(AddVolumeForm& form, bool on) {
    form.save_password.checked = on;
    form.password.enabled = on;
    if (!on) {
        form.password.text.clear();
    }
}

LocationLookup SystemLocationLookup() {
    LocationLookup lookup;
    lookup.root_of_location = [](std::string_view location) { return RootOfLocation(location); };
    lookup.split_network_name = [](std::string_view name) { return SplitNetworkName(name); };
    return lookup;
}

NormalisedLocation NormaliseLogicalDrive(std::string_view typed, const LocationLookup& lookup) {
    NormalisedLocation result;
    result.location.assign(typed);
    const LocationParts parts = lookup.root_of_location(typed);
    const std::optional<NetworkName> network = lookup.split_network_name(parts.root);
    if (network.has_value()) {
        result.kind = UserVolumeKind::Remote;
        // A path on a mounted share stays a path: that is how it is reached here.
        if (!parts.root.starts_with('/')) {
            result.location = "\\\\" + network->server + "\\" + network->share;
            if (!network->rest.empty()) {
                result.location += "\\" + network->rest;
            }
            result.location += parts.rest.value_or(std::string());
        }
    }
    const std::string& location = result.location;
    if (location.size() > 1 &&
        (location.back() == '\\' || (location.back() == '/' && location.front() == '/'))) {
        result.location.pop_back();
    }
    return result;
}

std::string NormaliseFtpLocation(std::string_view typed) {
    std::string rest(WithoutFtpScheme(typed));
    std::replace(rest.begin(), rest.end(), '\\', '/');
    if (!rest.empty() && rest.back() == '/') {
        rest.pop_back();
    }
    return std::string(kFtpPrefix) + rest;
}

AddVolumeOutcome AcceptAddVolume(AddVolumeForm& form, UserVolumeRecord& record,
                                 const LocationLookup& lookup) {
    if (form.location.empty()) {
        return {false, std::string(kNoLocationMessage), AddVolumeField::Location};
    }
    if (form.kind != UserVolumeKind::Local && !form.use_default.checked) {
        if (form.user_name.text.empty()) {
            return {false, std::string(kNoUserNameMessage), AddVolumeField::UserName};
        }
        if (form.save_password.checked && form.password.text.empty()) {
            return {false, std::string(kNoPasswordMessage), AddVolumeField::Password};
        }
    }
    if (form.kind == UserVolumeKind::Ftp) {
        form.location = NormaliseFtpLocation(form.location);
    } else {
        NormalisedLocation normalised = NormaliseLogicalDrive(form.location, lookup);
        form.kind = normalised.kind;
        form.type_line = TypeLine(normalised.kind);
        form.location = std::move(normalised.location);
    }
    record = UserVolumeRecord{};
    record.location = form.location;
    record.user_name = form.user_name.text;
    record.password = form.password.text;
    record.port = PortNumber(form.port.text);
    record.flags = form.passive.checked ? kPassiveTransfers : 0;
    return {true, std::string(), AddVolumeField::None};
}

AddVolumeOutcome TakeBrowsedFolder(AddVolumeForm& form, std::optional<std::string_view> chosen,
                                   const LocationLookup& lookup) {
    if (!chosen.has_value() || chosen->empty()) {
        return {false, std::string(kInvalidSelectionMessage), AddVolumeField::None};
    }
    NormalisedLocation normalised = NormaliseLogicalDrive(*chosen, lookup);
    form.location = std::move(normalised.location);
    ShowVolumeKind(form, normalised.kind);
    return {true, std::string(), AddVolumeField::None};
}

std::string FtpBrowseHost(std::string_view location) {
    std::string host(WithoutFtpScheme(location));
    std::replace(host.begin(), host.end(), '\\', '/');
    const std::size_t slash = host.find('/');
    if (slash != std::string::npos) {
        host.resize(slash);
    }
    return host;
}

void TakeFtpBrowse(AddVolumeForm& form, std::string_view host, std::string_view selected_path) {
    form.location = std::string(host) + std::string(selected_path);
}

}  // namespace korvane
