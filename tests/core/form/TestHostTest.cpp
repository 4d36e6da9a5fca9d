#include <gtest/gtest.h>

#include <vector>

#include "testing/TestHost.h"

namespace {

TEST(TestHost_Yields, HooksRunOnceAtTheirYieldBeforeThePump) {
    form::TestHost host;
    std::vector<std::string> order;
    host.atYield(2, [&] { order.push_back("hook2a"); });
    host.atYield(2, [&] { order.push_back("hook2b"); });
    host.atYield(4, [&] { order.push_back("hook4"); });
    host.pump = [&] { order.push_back("pump" + std::to_string(host.yields)); };
    for (int i = 0; i < 4; ++i) {
        host.doEvents();
    }
    EXPECT_EQ(host.yields, 4);
    EXPECT_EQ(order, (std::vector<std::string>{"pump1", "hook2a", "hook2b", "pump2", "pump3",
                                               "hook4", "pump4"}));
}

TEST(TestHost_Yields, HookThatYieldsItselfDoesNotRunTwice) {
    form::TestHost host;
    int runs = 0;
    host.atYield(1, [&] {
        ++runs;
        host.doEvents();
    });
    host.doEvents();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(host.yields, 2);
}

TEST(TestHost_Yields, HookMayScheduleALaterHook) {
    form::TestHost host;
    bool later = false;
    host.atYield(1, [&] { host.atYield(3, [&] { later = true; }); });
    host.doEvents();
    host.doEvents();
    EXPECT_FALSE(later);
    host.doEvents();
    EXPECT_TRUE(later);
}

TEST(TestHost_Sleep, AddsVirtualTimeAndIgnoresNegative) {
    form::TestHost host;
    host.sleepMs(250);
    host.sleepMs(-5);
    host.sleepMs(0);
    EXPECT_EQ(host.sleptMs, 250);
}

TEST(TestHost_MessageBox, AnswersFromQueueOnlyForOkCancel) {
    form::TestHost host;
    host.messageAnswers = {form::MsgResult::Cancel};
    EXPECT_EQ(host.messageBox("a", form::MsgButtons::Ok, "t"), form::MsgResult::Ok);
    EXPECT_EQ(host.messageBox("b", form::MsgButtons::OkCancel, "t"), form::MsgResult::Cancel);
    EXPECT_EQ(host.messageBox("c", form::MsgButtons::OkCancel, "t"), form::MsgResult::Ok);
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(host.messages[1].text, "b");
    EXPECT_EQ(host.messages[1].buttons, form::MsgButtons::OkCancel);
}

TEST(TestHost_FileDialog, AnswersInOrderThenCancels) {
    form::TestHost host;
    host.dialogAnswers.push_back({false, "/tmp/a.kvx", "a.kvx"});
    form::FileDialogRequest request;
    request.title = "Open";
    auto first = host.openFileDialog(request);
    auto second = host.saveFileDialog(request);
    EXPECT_FALSE(first.cancelled);
    EXPECT_EQ(first.path, "/tmp/a.kvx");
    EXPECT_TRUE(second.cancelled);
    ASSERT_EQ(host.dialogRequests.size(), 2u);
    EXPECT_EQ(host.dialogRequests[0].title, "Open");
}

TEST(TestHost_Clock, NowReturnsTheFixedClock) {
    form::TestHost host;
    host.clock = {2024, 2, 29, 23, 59, 58};
    auto t = host.now();
    EXPECT_EQ(t.year, 2024);
    EXPECT_EQ(t.day, 29);
    EXPECT_EQ(t.second, 58);
}

}  // namespace
