#include "RegisterMapBinding.h"

#include <pybind11/stl.h>

#include <cerrno>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "board/HexText.h"
#include "regmap/MapReader.h"
#include "regmap/MaskedWrite.h"

namespace py = pybind11;

namespace pyvelmorix {

namespace {

using MapPtr = std::shared_ptr<const regmap::RegisterMap>;

std::string accessText(regmap::Access access, regmap::WriteKind kind) {
    return std::string(regmap::accessName(access, kind));
}

// A map loaded from a file; registers and fields point into it and keep it alive.
struct LoadedMap {
    MapPtr map;
    std::string path;
};

struct RegisterRef {
    MapPtr map;
    const regmap::Register* reg;
};

struct FieldRef {
    MapPtr map;
    const regmap::Field* field;
};

// One field of a register value as read or written.
struct FieldValue {
    std::string name;
    unsigned msb, lsb;
    std::uint32_t value;
    std::optional<std::string> enumName;
    std::string access;
    std::string text() const {
        return name + "=" + std::to_string(value) + (enumName ? " " + *enumName : "");
    }
};

// A register's value with its fields decoded by the map.
struct RegisterValue {
    std::string name;
    std::uint32_t address;
    std::uint32_t value;
    unsigned width;
    py::dict fields;  // name -> FieldValue, in the map's order
    std::string text;
    // False when the value is what a write planned, not what was read back from the chip.
    bool verified = true;
};

RegisterValue decoded(const regmap::Register& reg, std::uint32_t value) {
    RegisterValue result{reg.name, reg.address, value, reg.width, py::dict(), ""};
    std::string fields;
    for (const regmap::Field& field : reg.fields) {
        const std::uint32_t fieldValue = field.extract(value);
        const regmap::EnumeratedValue* named = field.valueFor(fieldValue);
        FieldValue item{field.name,
                        field.msb(),
                        field.lsb,
                        fieldValue,
                        named != nullptr ? std::optional(named->name) : std::nullopt,
                        accessText(field.access, field.writeKind)};
        fields += (fields.empty() ? "" : ", ") + item.text();
        result.fields[py::str(field.name)] = py::cast(std::move(item));
    }
    result.text = reg.name + " = " + board::prefixedHex(value, reg.width / 4) +
                  (fields.empty() ? "" : " (" + fields + ")");
    return result;
}

// The register a key names; KeyError (a map's lookup) or ValueError (a device's call, which sends
// nothing then) when none does.
template <typename Missing = py::value_error>
const regmap::Register& registerOf(const regmap::RegisterMap& map, const py::handle& key) {
    const regmap::Register* reg = nullptr;
    if (py::isinstance<py::str>(key)) {
        reg = map.named(key.cast<std::string>());
        if (reg == nullptr) {
            throw Missing("no register named \"" + key.cast<std::string>() + "\" in the map");
        }
    } else if (py::isinstance<py::int_>(key) && !py::isinstance<py::bool_>(key)) {
        const long address = key.cast<long>();
        const bool inRange = address >= 0 && address <= 0xFFFFFFFFL;
        reg = inRange ? map.at(static_cast<std::uint32_t>(address)) : nullptr;
        if (reg == nullptr) {
            throw Missing("no register at " +
                          (inRange ? board::prefixedHex(static_cast<std::uint32_t>(address), 2)
                                   : std::to_string(address)) +
                          " in the map");
        }
    } else {
        throw py::type_error("a register is named by a str or an int address, not " +
                             std::string(py::str(py::type::of(key).attr("__name__"))));
    }
    return *reg;
}

// Sets a field ("" for the whole register) to a value as `write` takes it: an int (True and
// False as 1 and 0), or a str holding a number or an enumerated name. TypeError for another
// type, OverflowError for an int beyond 32 bits, ValueError with MaskedWrite's reason when the
// field may not take it.
void assign(regmap::MaskedWrite& write, const std::string& field, const py::handle& value) {
    const std::string what = write.target().name + (field.empty() ? "" : "." + field);
    std::string error;
    if (py::isinstance<py::str>(value)) {
        error = write.assign(field, std::string_view(value.cast<std::string>()));
    } else if (py::isinstance<py::int_>(value)) {
        // int() so that True and False go as 1 and 0.
        const py::object number = py::module_::import("builtins").attr("int")(value);
        if (number < py::int_(0) || number > py::int_(0xFFFFFFFFu)) {
            throw py::value_error(what + ": value " + py::repr(number).cast<std::string>() +
                                  " is not 0 to 0xFFFFFFFF");
        }
        error = write.assign(field, number.cast<std::uint32_t>());
    } else {
        throw py::type_error(what + " must be an int or a str, not " +
                             std::string(py::str(py::type::of(value).attr("__name__"))));
    }
    if (!error.empty()) {
        throw py::value_error(error);
    }
}

// The session's exchanges as a masked write asks for them; a failure's TransferError is kept
// and raised once the write has stopped.
class SessionRegisterIo : public regmap::RegisterIo {
  public:
    SessionRegisterIo(BridgeSession& session, const regmap::RegisterMap& map, int address)
        : session_(session), map_(map), address_(address) {}
    int read(const regmap::Register& reg, std::vector<std::uint8_t>& bytes) override {
        return guarded([&] {
            bytes = session_.read(address_, map_.addressBytes(reg.address),
                                  static_cast<int>(reg.byteCount()));
        });
    }
    int write(const regmap::Register& reg, const std::vector<std::uint8_t>& bytes) override {
        return guarded([&] { session_.write(address_, map_.addressBytes(reg.address), bytes); });
    }
    std::optional<TransferError> failure;

  private:
    template <typename Fn>
    int guarded(Fn fn) {
        try {
            fn();
            return 0;
        } catch (const TransferError& error) {
            failure = error;
            return 1;
        }
    }
    BridgeSession& session_;
    const regmap::RegisterMap& map_;
    int address_;
};

class RegisterDevice {
  public:
    RegisterDevice(py::object bridge, int address, LoadedMap map)
        : source_(std::move(map)),
          bridge_(std::move(bridge)),
          address_(address),
          map_(source_.map) {}

    RegisterValue read(const SessionCall& call, const py::handle& key) {
        const regmap::Register& reg = registerOf(*map_, key);
        std::uint32_t value = 0;
        call(bridge_, [&](BridgeSession& session) { value = readValue(session, reg); });
        return decoded(reg, value);
    }

    RegisterValue write(const SessionCall& call, const py::handle& key, const py::object& value,
                        bool verify, const py::kwargs& named) {
        const regmap::Register& reg = registerOf(*map_, key);
        regmap::MaskedWrite write(reg);
        // A whole value first, then the fields: each assignment sets its own bits, in order.
        if (!value.is_none() && py::isinstance<py::dict>(value)) {
            addFields(write, value.cast<py::dict>());
        } else if (!value.is_none()) {
            assign(write, "", value);
        }
        addFields(write, named);
        if (write.assignments().empty()) {
            throw py::value_error("register " + reg.name + ": no field given to write");
        }
        if (const std::string blocked = write.blocked(); !blocked.empty()) {
            throw py::value_error(blocked);
        }
        regmap::MaskedWriteOutcome done;
        call(bridge_, [&](BridgeSession& session) {
            // The bus is held across the read, the write and the read-back.
            std::lock_guard bus(BridgeSession::busMutex());
            SessionRegisterIo io(session, *map_, address_);
            done = regmap::runMaskedWrite(*map_, write, io, verify);
            if (io.failure) {
                throw *io.failure;
            }
            if (done.after && !done.verified) {
                throw TransferError{
                    EIO, "address " + board::prefixedHex(static_cast<std::uint32_t>(address_), 2) +
                             ": register " + reg.name + ": wrote " +
                             board::prefixedHex(done.written, reg.width / 4) + ", read back " +
                             board::prefixedHex(*done.after, reg.width / 4)};
            }
        });
        // Without a read-back the value is what was written, not what the chip holds.
        if (!done.after) {
            RegisterValue planned = decoded(reg, done.written);
            planned.verified = false;
            return planned;
        }
        RegisterValue after = decoded(reg, *done.after);
        after.verified = true;
        return after;
    }

    std::string describe() const {
        return "<velmorix.RegisterDevice bridge=" + py::repr(bridge_).cast<std::string>() +
               " address=" + board::prefixedHex(static_cast<std::uint32_t>(address_), 2) +
               " registers=" + std::to_string(map_->registers.size()) + ">";
    }

    LoadedMap source_;

  private:
    void addFields(regmap::MaskedWrite& write, const py::dict& fields) {
        for (const auto& [name, value] : fields) {
            const std::string field = py::str(name).cast<std::string>();
            if (field.empty() || field == write.target().name) {
                throw py::value_error("register " + write.target().name + " has no field named \"" +
                                      field + "\"");
            }
            assign(write, field, value);
        }
    }

    std::uint32_t readValue(BridgeSession& session, const regmap::Register& reg) const {
        return map_->decode(reg, session.read(address_, map_->addressBytes(reg.address),
                                              static_cast<int>(reg.byteCount())));
    }

    py::object bridge_;
    int address_;
    MapPtr map_;
};

LoadedMap load(const py::object& file, const std::optional<std::string>& byteOrder) {
    const auto path = py::module_::import("os").attr("fspath")(file).cast<std::string>();
    if (byteOrder && *byteOrder != "big" && *byteOrder != "little") {
        throw py::value_error("byte_order must be \"big\" or \"little\", not \"" + *byteOrder +
                              "\"");
    }
    regmap::MapReadResult read;
    {
        py::gil_scoped_release nogil;
        read = regmap::readRegisterMapFile(path);
    }
    if (!read.ok()) {
        // The file itself failed: an OSError of the system's errno (FileNotFoundError,
        // PermissionError...); a file read and refused: ValueError.
        if (read.systemError != 0) {
            throw TransferError{read.systemError, read.error};
        }
        throw py::value_error(read.error);
    }
    if (byteOrder) {
        read.map->byteOrder = *byteOrder == "big" ? regmap::ByteOrder::MostSignificantFirst
                                                  : regmap::ByteOrder::LeastSignificantFirst;
    }
    return {std::make_shared<const regmap::RegisterMap>(std::move(*read.map)), path};
}

py::list registerList(const MapPtr& map) {
    py::list list;
    for (const regmap::Register& reg : map->registers) {
        list.append(RegisterRef{map, &reg});
    }
    return list;
}

// Field: a bit field of a register.
void bindField(py::module_& m) {
    py::class_<FieldRef>(m, "Field", "A bit field of a register in a RegisterMap.")
        .def_property_readonly(
            "name", [](const FieldRef& f) { return f.field->name; }, "The field's name.")
        .def_property_readonly(
            "msb", [](const FieldRef& f) { return f.field->msb(); }, "Its highest bit.")
        .def_property_readonly(
            "lsb", [](const FieldRef& f) { return f.field->lsb; }, "Its lowest bit.")
        .def_property_readonly(
            "width", [](const FieldRef& f) { return f.field->width; }, "Its number of bits.")
        .def_property_readonly(
            "access",
            [](const FieldRef& f) { return accessText(f.field->access, f.field->writeKind); },
            "\"read-write\", \"read-only\", \"write-only\" or \"write-1-to-clear\".")
        .def_property_readonly(
            "reset", [](const FieldRef& f) { return f.field->reset; }, "Its reset value.")
        .def_property_readonly(
            "description", [](const FieldRef& f) { return f.field->description; },
            "Its description from the map, or \"\".")
        .def_property_readonly(
            "enums",
            [](const FieldRef& f) {
                py::dict values;
                for (const regmap::EnumeratedValue& named : f.field->values) {
                    values[py::str(named.name)] = named.value;
                }
                return values;
            },
            "Its enumerated values as {name: value}, in the map's order.")
        .def("__repr__", [](const FieldRef& f) {
            std::string enums;
            for (const regmap::EnumeratedValue& named : f.field->values) {
                enums += (enums.empty() ? " enums=" : ",") + named.name + "=" +
                         std::to_string(named.value);
            }
            return "<velmorix.Field " + f.field->name + " [" + std::to_string(f.field->msb()) +
                   ":" + std::to_string(f.field->lsb) + "] " +
                   accessText(f.field->access, f.field->writeKind) +
                   " reset=" + std::to_string(f.field->reset) + enums + ">";
        });
}

// Register: a register of a map.
void bindRegister(py::module_& m) {
    py::class_<RegisterRef>(m, "Register", "A register of a RegisterMap.")
        .def_property_readonly(
            "name", [](const RegisterRef& r) { return r.reg->name; }, "The register's name.")
        .def_property_readonly(
            "address", [](const RegisterRef& r) { return r.reg->address; },
            "Its register address (its first byte's, for a wider register).")
        .def_property_readonly(
            "width", [](const RegisterRef& r) { return r.reg->width; }, "8, 16 or 32 bits.")
        .def_property_readonly(
            "access",
            [](const RegisterRef& r) { return accessText(r.reg->access, r.reg->writeKind); },
            "\"read-write\", \"read-only\", \"write-only\" or \"write-1-to-clear\".")
        .def_property_readonly(
            "reset",
            [](const RegisterRef& r) {
                return r.reg->resetMask == 0 ? std::nullopt : std::optional(r.reg->resetValue);
            },
            "Its reset value, or None when the map gives none.")
        .def_property_readonly(
            "reset_mask",
            [](const RegisterRef& r) { return r.reg->resetMask & r.reg->valueMask(); },
            "The bits whose reset value the map gives.")
        .def_property_readonly(
            "description", [](const RegisterRef& r) { return r.reg->description; },
            "Its description from the map, or \"\".")
        .def_property_readonly(
            "fields",
            [](const RegisterRef& r) {
                py::list list;
                for (const regmap::Field& field : r.reg->fields) {
                    list.append(FieldRef{r.map, &field});
                }
                return list;
            },
            "Its fields (Field), lowest bits first as the map lists them.")
        .def(
            "field",
            [](const RegisterRef& r, const std::string& name) {
                const regmap::Field* field = r.reg->field(name);
                if (field == nullptr) {
                    throw py::key_error("register " + r.reg->name + " has no field named \"" +
                                        name + "\"");
                }
                return FieldRef{r.map, field};
            },
            py::arg("name"), "The field of that name; KeyError when there is none.")
        .def("__repr__", [](const RegisterRef& r) {
            std::string fields;
            for (const regmap::Field& field : r.reg->fields) {
                fields += (fields.empty() ? " fields=" : ",") + field.name;
            }
            return "<velmorix.Register " + r.reg->name + " at " +
                   board::prefixedHex(r.reg->address, 2) + ", " + std::to_string(r.reg->width) +
                   " bits, " + accessText(r.reg->access, r.reg->writeKind) +
                   (r.reg->resetMask == 0 ? std::string()
                                          : ", reset " + board::prefixedHex(r.reg->resetValue, 2)) +
                   fields + ">";
        });
}

// RegisterMap: a map as read from its file.
void bindRegisterMap(py::module_& m) {
    py::class_<LoadedMap>(m, "RegisterMap",
                          R"(A device's register map, read from an IP-XACT or CMSIS-SVD file.

Make one with RegisterMap.load(path). map["CTRL"] or map[0x10] gives a Register
(KeyError when none); iterating gives the registers in address order.)")
        .def_static(
            "load", &load, py::arg("path"), py::arg("byte_order") = py::none(),
            R"(Reads an IP-XACT (1685-2009, 1685-2014) or CMSIS-SVD file, as velmorix-i2c --map does.

byte_order "big" or "little" overrides the map's order of a wider register's bytes
(most significant first unless the map says otherwise). A file the readers refuse
raises ValueError with their message, naming the file, the line and the element;
one that cannot be opened raises FileNotFoundError.)")
        .def_property_readonly(
            "registers", [](const LoadedMap& m) { return registerList(m.map); },
            "The registers (Register) in address order.")
        .def_property_readonly(
            "byte_order",
            [](const LoadedMap& m) {
                return m.map->byteOrder == regmap::ByteOrder::MostSignificantFirst ? "big"
                                                                                   : "little";
            },
            "\"big\" (most significant byte first) or \"little\".")
        .def_property_readonly(
            "path", [](const LoadedMap& m) { return m.path; }, "The file it was read from.")
        .def("__len__", [](const LoadedMap& m) { return m.map->registers.size(); })
        .def("__iter__", [](const LoadedMap& m) { return py::iter(registerList(m.map)); })
        .def("__getitem__",
             [](const LoadedMap& m, const py::object& key) {
                 return RegisterRef{m.map, &registerOf<py::key_error>(*m.map, key)};
             })
        .def("__repr__", [](const LoadedMap& m) {
            return "<velmorix.RegisterMap " + py::repr(py::str(m.path)).cast<std::string>() + " " +
                   std::to_string(m.map->registers.size()) + " registers, byte_order='" +
                   (m.map->byteOrder == regmap::ByteOrder::MostSignificantFirst ? "big"
                                                                                : "little") +
                   "'>";
        });
}

// FieldValue and RegisterValue: what a device read gave.
void bindValues(py::module_& m) {
    py::class_<FieldValue>(m, "FieldValue",
                           "A field of a RegisterValue: its value and enumerated name.")
        .def_readonly("name", &FieldValue::name, "The field's name.")
        .def_readonly("value", &FieldValue::value, "Its value (an int).")
        .def_readonly("enum", &FieldValue::enumName,
                      "The enumerated name of the value, or None when none matches.")
        .def_readonly("msb", &FieldValue::msb, "Its highest bit.")
        .def_readonly("lsb", &FieldValue::lsb, "Its lowest bit.")
        .def_readonly("access", &FieldValue::access, "Its access kind.")
        .def("__int__", [](const FieldValue& f) { return f.value; })
        .def("__repr__",
             [](const FieldValue& f) { return "<velmorix.FieldValue " + f.text() + ">"; });

    py::class_<RegisterValue>(m, "RegisterValue", R"(A register's value with its fields decoded.

value["MODE"] gives a FieldValue (KeyError when there is no such field).)")
        .def_readonly("name", &RegisterValue::name, "The register's name.")
        .def_readonly("address", &RegisterValue::address, "Its register address.")
        .def_readonly("value", &RegisterValue::value, "The whole register's value (an int).")
        .def_readonly("width", &RegisterValue::width, "Its width in bits.")
        .def_readonly("verified", &RegisterValue::verified,
                      "False when the value is what a write planned (verify=False, or no bit the "
                      "chip keeps to read back), not what was read back.")
        .def_readonly("fields", &RegisterValue::fields,
                      "{field name: FieldValue}, in the map's order.")
        .def("__getitem__",
             [](const RegisterValue& r, const std::string& name) {
                 if (!r.fields.contains(name)) {
                     throw py::key_error("register " + r.name + " has no field named \"" + name +
                                         "\"");
                 }
                 return r.fields[py::str(name)];
             })
        .def("__int__", [](const RegisterValue& r) { return r.value; })
        .def("__repr__",
             [](const RegisterValue& r) { return "<velmorix.RegisterValue " + r.text + ">"; });
}

// RegisterDevice: a device on a bridge, read and written by the names of its map.
void bindRegisterDevice(py::module_& m, BridgeAccess access) {
    const SessionCall call = access.call;
    py::class_<RegisterDevice>(m, "RegisterDevice",
                               R"(A device on a bridge, read and written by a RegisterMap's names.

RegisterDevice(bridge, address, map)

bridge is an open velmorix.Bridge or velmorix.SMBus, address the device's 7-bit
address, map a RegisterMap. Registers are named by name or address. Errors of the
bus are those of the bridge object; calls on one device are serialized.)")
        .def(py::init([access](const py::object& bridge, long address, const LoadedMap& map) {
                 const int checked = access.checkAddress(address);
                 access.call(bridge, [](BridgeSession&) {});
                 return std::make_unique<RegisterDevice>(bridge, checked, map);
             }),
             py::arg("bridge"), py::arg("address"), py::arg("map"))
        .def(
            "read",
            [call](RegisterDevice& self, const py::object& key) { return self.read(call, key); },
            py::arg("register"),
            "Reads the register (all its bytes in one exchange); returns a RegisterValue.")
        .def(
            "write",
            [call](RegisterDevice& self, const py::object& key, const py::object& value,
                   bool verify, const py::kwargs& fields) {
                return self.write(call, key, value, verify, fields);
            },
            py::arg("register"), py::arg("value") = py::none(), py::pos_only(), py::kw_only(),
            py::arg("verify") = true,
            R"(Writes fields by name as velmorix-i2c set does; returns the RegisterValue after.

device.write("CTRL", MODE="CONTINUOUS", GAIN=3), or a dict of fields as value, or an
int for the whole register; write("CTRL", 0x24, EN=1) writes 0x25: the whole value
first, then each field its own bits. A value is an int, or a str holding a number
(decimal, 0x hex, 0b binary) or an enumerated name. A read (unless every bit is
named), one write that changes on the chip only the named fields (the other fields
of the write-1 kinds written as 0, of the write-0 kinds as 1, write-only ones at
reset), then a read-back of the named plain read-write fields unless verify=False.
The bus is held across them. An unknown name, a read-only register or field, a
value that does not fit, a field that any write clears or sets left unnamed, or a
register a read clears with a field left unnamed raises ValueError and sends
nothing; a read-back that differs raises OSError(EIO). The RegisterValue returned
has verified=False when nothing was read back.)")
        .def_property_readonly(
            "map", [](const RegisterDevice& self) { return self.source_; },
            "The device's RegisterMap.")
        .def("__repr__", &RegisterDevice::describe);

    for (const char* name :
         {"Field", "Register", "RegisterMap", "FieldValue", "RegisterValue", "RegisterDevice"}) {
        m.attr(name).attr("__module__") = "velmorix";
    }
}

}  // namespace

void addRegisterMaps(py::module_& m, BridgeAccess access) {
    bindField(m);
    bindRegister(m);
    bindRegisterMap(m);
    bindValues(m);
    bindRegisterDevice(m, std::move(access));
}

}  // namespace pyvelmorix
