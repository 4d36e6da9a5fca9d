#include "regmap/Access.h"

#include <array>
#include <utility>

namespace regmap {

namespace {

struct KindNames {
    WriteKind kind;
    std::string_view map;
    std::string_view shown;
};

constexpr std::array<KindNames, 9> kWriteKinds{{
    {WriteKind::OneToClear, "oneToClear", "write-1-to-clear"},
    {WriteKind::OneToSet, "oneToSet", "write-1-to-set"},
    {WriteKind::OneToToggle, "oneToToggle", "write-1-to-toggle"},
    {WriteKind::ZeroToClear, "zeroToClear", "write-0-to-clear"},
    {WriteKind::ZeroToSet, "zeroToSet", "write-0-to-set"},
    {WriteKind::ZeroToToggle, "zeroToToggle", "write-0-to-toggle"},
    {WriteKind::Clear, "clear", "write-clears"},
    {WriteKind::Set, "set", "write-sets"},
    {WriteKind::Modify, "modify", "write-modifies"},
}};

constexpr std::array<std::pair<std::string_view, ReadAction>, 4> kReadActions{{
    {"clear", ReadAction::Clear},
    {"set", ReadAction::Set},
    {"modify", ReadAction::Modify},
    {"modifyExternal", ReadAction::ModifyExternal},
}};

}  // namespace

std::string_view accessName(Access access, WriteKind kind) {
    if (kind != WriteKind::Normal && access != Access::ReadOnly) {
        return writeKindName(kind);
    }
    switch (access) {
        case Access::ReadOnly:
            return "read-only";
        case Access::WriteOnly:
            return "write-only";
        case Access::WriteOnce:
            return "write-once";
        case Access::ReadWriteOnce:
            return "read-write-once";
        case Access::ReadWrite:
            break;
    }
    return "read-write";
}

std::string_view writeKindName(WriteKind kind) {
    for (const KindNames& names : kWriteKinds) {
        if (names.kind == kind) {
            return names.shown;
        }
    }
    return "";
}

std::string_view readActionName(ReadAction action) {
    switch (action) {
        case ReadAction::Clear:
            return "clear-on-read";
        case ReadAction::Set:
            return "set-on-read";
        case ReadAction::Modify:
            return "modify-on-read";
        case ReadAction::ModifyExternal:
            return "read-has-effects";
        case ReadAction::None:
            break;
    }
    return "";
}

std::optional<WriteKind> writeKindNamed(std::string_view mapName) {
    for (const KindNames& names : kWriteKinds) {
        if (names.map == mapName) {
            return names.kind;
        }
    }
    return std::nullopt;
}

std::optional<ReadAction> readActionNamed(std::string_view mapName) {
    for (const auto& [name, action] : kReadActions) {
        if (name == mapName) {
            return action;
        }
    }
    return std::nullopt;
}

bool readable(Access access) {
    return access != Access::WriteOnly && access != Access::WriteOnce;
}

bool writable(Access access) {
    return access != Access::ReadOnly;
}

std::optional<bool> neutralBit(WriteKind kind) {
    switch (kind) {
        case WriteKind::OneToClear:
        case WriteKind::OneToSet:
        case WriteKind::OneToToggle:
            return false;
        case WriteKind::ZeroToClear:
        case WriteKind::ZeroToSet:
        case WriteKind::ZeroToToggle:
            return true;
        default:
            return std::nullopt;
    }
}

}  // namespace regmap
