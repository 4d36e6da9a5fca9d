// How a register or a field may be read and written, what a write of each bit value does, what a
// read does to the chip, and in which order a wider register's bytes travel on the bus.
#pragma once

#include <optional>
#include <string_view>

namespace regmap {

// Who may read and write. writeOnce reads back nothing meaningful; both *Once kinds may take only
// the first write after a reset.
enum class Access { ReadWrite, ReadOnly, WriteOnly, WriteOnce, ReadWriteOnce };

// What a written bit does to the bit the chip holds (the maps' modifiedWriteValues).
enum class WriteKind {
    Normal,        // the bit becomes what is written
    OneToClear,    // 1 clears it, 0 leaves it
    OneToSet,      // 1 sets it, 0 leaves it
    OneToToggle,   // 1 toggles it, 0 leaves it
    ZeroToClear,   // 0 clears it, 1 leaves it
    ZeroToSet,     // 0 sets it, 1 leaves it
    ZeroToToggle,  // 0 toggles it, 1 leaves it
    Clear,         // any write clears it
    Set,           // any write sets it
    Modify,        // any write changes it in a way the map does not say
};

// What a read does to the bits it returns (the maps' readAction).
enum class ReadAction { None, Clear, Set, Modify, ModifyExternal };

enum class ByteOrder { MostSignificantFirst, LeastSignificantFirst };

// "read-write", "read-only", "write-only", "write-once", "read-write-once", or, for a field that
// is written in another way than plainly, the write kind's name ("write-1-to-clear"); never fails.
std::string_view accessName(Access access, WriteKind kind = WriteKind::Normal);
// The write kind's name as shown ("write-1-to-clear", "write-clears"); "" for Normal.
std::string_view writeKindName(WriteKind kind);
// The read action's name as shown ("clear-on-read", "set-on-read"); "" for None.
std::string_view readActionName(ReadAction action);
// The write kind a map names ("oneToClear", ... "modify"); nothing for an unknown name.
std::optional<WriteKind> writeKindNamed(std::string_view mapName);
// The read action a map names ("clear", "set", "modify", "modifyExternal"); nothing when unknown.
std::optional<ReadAction> readActionNamed(std::string_view mapName);
// False for write-only and write-once: their read gives nothing meaningful.
bool readable(Access access);
// False only for read-only.
bool writable(Access access);
// The bit value that leaves a bit of this kind as it is; nothing when every write changes it
// (Clear, Set, Modify) or when the bit simply takes the value written (Normal).
std::optional<bool> neutralBit(WriteKind kind);

}  // namespace regmap
