#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "form/PaintRegistry.h"

namespace {

// Three windows' painters, the first of which closes one window (removes its painter) and
// opens another while it paints: a closed window is not painted again in the same round, a new
// one waits for the next round.
TEST(PaintRegistry_PaintAll, PainterClosedByAnEarlierOneIsNotCalled) {
    struct Case {
        int closed;  // 0 the first painter itself, 1 or 2 one after it
        std::string painted;
    };
    for (const Case& c : {Case{1, "ac"}, Case{2, "ab"}, Case{0, "abc"}}) {
        form::PaintRegistry painters;
        std::string painted;
        std::vector<int> ids;
        ids.push_back(painters.add([&] {
            painted += 'a';
            painters.remove(ids.at(static_cast<std::size_t>(c.closed)));
            painters.add([&] { painted += 'n'; });
        }));
        ids.push_back(painters.add([&] { painted += 'b'; }));
        ids.push_back(painters.add([&] { painted += 'c'; }));
        EXPECT_TRUE(painters.paintAll());
        EXPECT_EQ(painted, c.painted) << c.closed;
        EXPECT_EQ(painters.size(), 3u) << c.closed;
    }
}

}  // namespace
