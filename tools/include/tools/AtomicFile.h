// Whole-file writes that never leave a half-written file behind: a reader sees the old file or
// the new one, even when the program is killed or the disk fills up half way.
#pragma once

#include <string>
#include <string_view>

namespace tools {

// Writes text to a temporary file in the folder of path and renames it over path (through a
// symbolic link to its target). False, with a one-line reason in error, when any step fails;
// the old file is then left as it was and no temporary file remains.
bool writeFileAtomically(const std::string& path, std::string_view text, std::string& error);

}  // namespace tools
