// How a register or a field may be read and written, and in which order a wider register's bytes
// travel on the bus.
#pragma once

#include <string_view>

namespace regmap {

enum class Access { ReadWrite, ReadOnly, WriteOnly, WriteOneToClear };

enum class ByteOrder { MostSignificantFirst, LeastSignificantFirst };

// "read-write", "read-only", "write-only" or "write-1-to-clear"; never fails.
std::string_view accessName(Access access);
// False only for write-only: its read gives nothing meaningful.
bool readable(Access access);
// False only for read-only.
bool writable(Access access);

}  // namespace regmap
