// A window's controls as one typed table: which model member each widget shows, where it lies,
// whether it may move data and which of the model's handlers its events run. Views build their
// widgets from it and need no code of their own per control. Entries name their members through
// FORM_CONTROL, so a misspelt control does not compile.
#pragma once

#include <functional>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "form/ControlGeometry.h"
#include "form/Controls.h"

namespace form {

// A plain panel (a picture box) that shows nothing of its own but its visibility.
using Picture = Control;

// The model member a widget shows; the alternative picks the kind of widget.
using ControlRef = std::variant<TextBox*, Label*, Button*, CheckBox*, Lamp*, Frame*, Picture*>;

// Whether a control may start an exchange: Data controls refuse input while one runs, Live
// controls stay usable (they move no data, or must reach a running operation).
enum class Role { Data, Live };

// The model's handlers behind a control's events; an empty one leaves the event alone.
struct ControlEvents {
    std::function<void()> click{};
    std::function<void()> doubleClick{};
    std::function<void(int& key)> keyPress{};
    std::function<void()> lostFocus{};
};

// One control of a window.
struct ControlEntry {
    std::string_view name;  // the member's name
    int index = -1;         // its control-array index, -1 for a single control
    ControlRef control;
    ControlGeometry geometry;
    Role role = Role::Data;
    ControlEvents events;
    // A heading label whose words stand each over one of these controls, in order.
    std::vector<const Control*> columns;
};

using ControlTable = std::vector<ControlEntry>;

// A member and its name, made by FORM_CONTROL; a single control or a control array.
template <class T>
struct Named {
    T& member;
    std::string_view name;
};

// The name of a member, checked by the compiler (for containers that are not controls).
template <class T>
constexpr std::string_view memberName(const T&, std::string_view name) {
    return name;
}

// An entry for a single control.
template <class C>
ControlEntry entry(Named<C> c, ControlGeometry g, Role role = Role::Data,
                   ControlEvents events = {}) {
    return {c.name, -1, ControlRef{&c.member}, g, role, std::move(events), {}};
}

// An entry for element `index` of a control array; an index out of range throws
// std::out_of_range while the table is built.
template <class A>
ControlEntry entry(Named<A> c, int index, ControlGeometry g, Role role = Role::Data,
                   ControlEvents events = {}) {
    return {c.name, index, ControlRef{&c.member.at(static_cast<std::size_t>(index))},
            g,      role,  std::move(events),
            {}};
}

}  // namespace form

// A model member with its name: FORM_CONTROL(txtI2CAdr) inside a member function of the model.
#define FORM_CONTROL(member) (::form::Named<decltype(member)>{member, #member})
// The checked name of a container member: FORM_NAME(pbinner).
#define FORM_NAME(member) (::form::memberName(member, #member))
