// Every file the program writes is replaced whole: a new file beside the target, flushed, then
// renamed over it, so a failure at any step leaves the old file byte for byte.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace board {

// Lets a test fail the write of bytes [offset, offset + length) with an errno; 0 lets it through.
using WriteFault = std::function<int(std::size_t offset, std::size_t length)>;

// Replaces the content of `path` (through a symbolic link, which stays; the old file's
// permissions are kept). Returns 0, or the errno of the step that failed, with no temporary file
// left behind; `created` (may be null) tells whether the new file could be made at all.
int replaceFileAtomically(const std::string& path, std::string_view content,
                          bool* created = nullptr, const WriteFault& fault = {});

}  // namespace board
