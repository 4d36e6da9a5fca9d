// Feeds arbitrary bytes to the setup-file reader, and traps when a file it accepted, saved
// again, does not read back into the same boxes, or when a refused file changed anything.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "console/SetupFile.h"

using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    console::SetupFile file;
    file.address = "untouched";
    const console::SetupFile untouched = file;
    const console::SetupFile::ReadResult result = file.parse(bytes, "fuzz.kvx");
    if (!result.ok) {
        check(!result.errorText.empty());
        check(file == untouched);
        return 0;
    }
    // Every text a file can give reads back whole once saved.
    check(file.unkeepableTexts().empty());
    const std::string saved = file.text();
    console::SetupFile again;
    check(again.parse(saved, "fuzz.kvx").ok);
    check(again == file);
    check(again.text() == saved);
    return 0;
}
