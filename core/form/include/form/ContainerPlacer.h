// Where a front end puts the controls of a control table: the toolkit's parent of each container
// (the window, a tab page, a frame, a picture box), found by the container's name and index. Both
// front ends place their tables through it, so a control lands in the same container in each.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "form/ControlTable.h"

namespace form {

template <typename Parent>
class ContainerPlacer {
  public:
    // Registers a container; topShift (twips) is taken off the tops of the controls placed in it,
    // as a tab page starts below its headers.
    void add(std::string_view name, int index, Parent parent, int topShift = 0) {
        containers_[{std::string(name), index}] = {parent, topShift};
    }

    // Calls make(entry, parent, geometry) for each entry whose container is registered, frames
    // first so that the controls inside them find theirs; what make returns for a frame or a
    // picture box becomes the container of its own controls. An entry whose container is unknown
    // is left out.
    template <typename Make>
    void place(const ControlTable& table, Make&& make) {
        for (int pass = 0; pass < 2; ++pass) {
            for (const ControlEntry& e : table) {
                const bool isFrame = std::holds_alternative<Frame*>(e.control);
                if (isFrame != (pass == 0)) {
                    continue;
                }
                auto found = containers_.find(
                    std::pair{std::string(e.geometry.container), e.geometry.containerIndex});
                if (found == containers_.end()) {
                    continue;
                }
                ControlGeometry geometry = e.geometry;
                geometry.top -= found->second.topShift;
                Parent made = make(e, found->second.parent, geometry);
                if (isFrame || std::holds_alternative<Picture*>(e.control)) {
                    add(e.name, e.index, made);
                }
            }
        }
    }

  private:
    struct Place {
        Parent parent;
        int topShift = 0;
    };
    std::map<std::pair<std::string, int>, Place, std::less<>> containers_;
};

}  // namespace form
