// Reading the text files the program is given (settings, queries, results,
// schedules): only regular files, and only up to a size far beyond any real
// one, so a FIFO, a device or a runaway file can neither block a run nor
// exhaust its memory.
#pragma once

#include <cstddef>
#include <string>

namespace korvane {

inline constexpr std::size_t kMaxDocumentBytes = std::size_t{64} << 20;

// The whole file into text. False with the errno in error when it cannot be
// opened, is not a regular file (EINVAL), or holds more than
// kMaxDocumentBytes (EFBIG). Opening never waits for a writer.
bool ReadBoundedFile(const std::string& path, std::string& text, int& error);

// True when path names a regular file within the bound; it is not opened.
bool IsBoundedRegularFile(const std::string& path);

}  // namespace korvane
