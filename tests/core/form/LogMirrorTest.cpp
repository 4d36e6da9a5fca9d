#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "form/Controls.h"
#include "form/LogMirror.h"

namespace {

// A log widget as the binders keep one: it applies each change the way they do, dropping lines
// itself only when it mirrors drops.
struct Widget {
    bool mirrorsDrops;
    form::LogMirror mirror;
    std::string text;
    int wholeRewrites = 0;

    void paint(const form::TextBox& box) {
        const auto change = mirror.update(box, mirrorsDrops);
        if (!change) {
            return;
        }
        if (change->whole) {
            text = box.Text();
            ++wholeRewrites;
            return;
        }
        ASSERT_TRUE(mirrorsDrops || (change->dropLines == 0 && !change->addNotice));
        std::size_t front = change->hadNotice ? text.find('\n') + 1 : 0;
        for (std::uint64_t k = 0; k < change->dropLines; ++k) {
            text.erase(front, text.find('\n', front) + 1 - front);
        }
        if (change->addNotice) {
            text.insert(0, box.Text().substr(0, box.noticeSize()));
        }
        text += box.Text().substr(change->appendFrom);
    }
};

// Whether it paints after every entry, every few, or after more than a whole budget, a widget
// shows exactly what the box holds; one that mirrors drops rewrites its whole text only when it
// missed text the box already dropped, one that does not rewrites at every drop.
TEST(LogMirror_Update, PastBudget_WidgetHoldsExactlyTheBoxText) {
    for (bool mirrorsDrops : {true, false}) {
        for (int every : {1, 3, 12}) {
            form::TextBox box;
            box.keepNewest({60, 5, "older entries removed\n"});
            Widget widget{mirrorsDrops, {}, {}, 0};
            for (int i = 1; i <= 24; ++i) {
                box.appendText("entry " + std::to_string(i) + "\n");
                if (i % every == 0) {
                    widget.paint(box);
                    ASSERT_EQ(widget.text, box.Text()) << mirrorsDrops << " every " << every;
                }
            }
            widget.paint(box);
            EXPECT_EQ(widget.wholeRewrites == 1, mirrorsDrops && every < 5)
                << mirrorsDrops << " every " << every << ": " << widget.wholeRewrites;
        }
    }
}

}  // namespace
