// The one place where the program writes files. A file is either replaced whole (a new file
// beside the target, flushed, then renamed over it, so a failure at any step leaves the old file
// byte for byte) or, for the script recorder's "Append", added to at its end.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace board {

// Lets a test fail the write of bytes [offset, offset + length) with an errno; 0 lets it through.
using WriteFault = std::function<int(std::size_t offset, std::size_t length)>;

// Stands in for the disk in tests: each nonzero errno makes that step fail as the system would.
struct FileFault {
    FileFault() = default;
    // Implicit on purpose: a write fault alone (a full disk) is the usual case.
    FileFault(WriteFault writeFault) : write(std::move(writeFault)) {}
    WriteFault write;
    // Giving the new file the old file's permissions.
    int keepPermissions = 0;
};

// Replaces the content of `path` (through a symbolic link, which stays; the old file's
// permissions are kept). Returns 0, or the errno of the step that failed (creating, copying the
// permissions, writing, flushing, closing, renaming), with no temporary file left behind;
// `created` (may be null) tells whether the new file could be made at all.
int replaceFileAtomically(const std::string& path, std::string_view content,
                          bool* created = nullptr, const FileFault& fault = {});

// Adds content at the end of `path`, creating it when missing. Returns 0, or the errno of the
// step that failed; `opened` (may be null) tells whether the file could be opened. A failed
// write may leave part of the content at the end.
int appendToFile(const std::string& path, std::string_view content, bool* opened = nullptr,
                 const FileFault& fault = {});

}  // namespace board
