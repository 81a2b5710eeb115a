// Text helpers shared by the command line, volume lists, the event log,
// query criteria and script lines.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// Splits at blank, tab, "," and (for unquoted tokens) "="; a token that starts
// with a double quote runs to the next double quote or line end and keeps
// blanks and commas (the quotes are not part of it). A CR or LF ends the list.
// At most max_tokens tokens are returned; the rest of the text is ignored.
std::vector<std::string> SplitTokens(std::string_view text, std::size_t max_tokens = 255);

struct LocationParts {
    std::string root;
    std::optional<std::string> rest;  // keeps its leading separator; none when the location is only a root
};

// Cuts a location at its volume root. "ftp:" locations cut at the first "/",
// "\\server\share\..." after the share name, drive-style locations at the
// first "\". An absolute POSIX path is cut at the mount point that holds it,
// read from the current mount table.
LocationParts RootOfLocation(std::string_view location);
// Same, with the mount points given (for absolute POSIX paths).
LocationParts RootOfLocation(std::string_view location, const std::vector<std::string>& mount_points);

struct NetworkName {
    std::string server;
    std::string share;
    std::string rest;  // below the share, without the leading separator
};

// "\\server\share\rest" -> server, share (one trailing ":" removed), rest.
// A name that does not start with "\\" is resolved to its remote name first:
// a POSIX mount point (or a path inside one) of a remote mount gives the
// mount's server and share; a local one fails.
std::optional<NetworkName> SplitNetworkName(std::string_view name);
// The pure text form: only "\\server\share..." names (no lookup).
std::optional<NetworkName> SplitUncName(std::string_view name);

// The text without its leading and trailing blanks and tabs.
std::string_view TrimBlanks(std::string_view text);

// The message template with its first "%s" replaced by value (the program's
// messages carry one text each; "%d" values are passed as text).
std::string FillTemplate(std::string_view message, std::string_view value);

bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);

// The separator of paths below a volume root: "/" for roots that begin with
// "ftp:" or "/", "\" otherwise. The one place that decides it.
char PathSeparatorOf(std::string_view root_or_path);
// Joins base and name with the base's separator, never doubling it.
std::string JoinPath(std::string_view base, std::string_view name);
std::string JoinPath(std::string_view base, std::string_view name, char separator);

// Names on POSIX volumes compare exactly; the other forms ignore case.
bool PathNamesEqual(std::string_view root_or_path, std::string_view a, std::string_view b);

// Display text for bytes that may not be valid UTF-8 (each invalid byte
// becomes U+FFFD). Never used for anything stored.
std::string DisplayText(std::string_view bytes);

}  // namespace korvane
