#include <gtest/gtest.h>

#include "form/UserEventGate.h"
#include "testing/TestHost.h"

namespace {

// A stand-in for a window model: one operation that yields in the middle and calls another
// operation directly, as the comm test calls the GPIO write.
struct Model {
    form::TestHost& host;
    int gpioWrites = 0;
    int reads = 0;
    void cmdGPIO_Write_Click() {
        host.doEvents();
        ++gpioWrites;
    }
    void cmdRead_Click() {
        host.doEvents();
        cmdGPIO_Write_Click();
        host.doEvents();
        ++reads;
    }
};

TEST(UserEventGate_Dispatch, SecondUserEventAtYieldIsRefusedNestedCallGoesThrough) {
    form::TestHost host;
    form::UserEventGate gate;
    Model model{host};
    bool secondAccepted = true;
    bool busyDuringYield = false;
    host.atYield(1, [&] {
        busyDuringYield = gate.busy();
        secondAccepted = gate.dispatch([&] { model.cmdGPIO_Write_Click(); });
    });
    EXPECT_TRUE(gate.dispatch([&] { model.cmdRead_Click(); }));
    EXPECT_TRUE(busyDuringYield);
    EXPECT_FALSE(secondAccepted);
    EXPECT_EQ(gate.dropped(), 1);
    // Only the nested call from cmdRead_Click wrote the GPIO state.
    EXPECT_EQ(model.gpioWrites, 1);
    EXPECT_EQ(model.reads, 1);
    EXPECT_FALSE(gate.busy());
}

TEST(UserEventGate_Dispatch, EventAfterHandlerEndsIsAccepted) {
    form::TestHost host;
    form::UserEventGate gate;
    Model model{host};
    EXPECT_TRUE(gate.dispatch([&] { model.cmdGPIO_Write_Click(); }));
    EXPECT_TRUE(gate.dispatch([&] { model.cmdGPIO_Write_Click(); }));
    EXPECT_EQ(model.gpioWrites, 2);
    EXPECT_EQ(gate.dropped(), 0);
}

TEST(UserEventGate_Dispatch, HandlerThatThrowsLeavesGateFree) {
    form::UserEventGate gate;
    EXPECT_THROW(gate.dispatch([] { throw 1; }), int);
    EXPECT_FALSE(gate.busy());
    EXPECT_TRUE(gate.dispatch([] {}));
}

}  // namespace
