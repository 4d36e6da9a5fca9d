#include "bridgesim/Board.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

namespace bridgesim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A bench with a 1-byte-register target at A0 (register 10 = 55 after the main-window write),
// a 2-byte-register target at B0 and the interrupting target at 60.
constexpr const char* kBench = R"({
  "name": "bench",
  "targets": [
    { "address": "A0", "register_bytes": 1, "fill": "00" },
    { "address": "B0", "register_bytes": 2, "fill": "FF" },
    { "address": "60", "registers": { "02": "7A" }, "read_only": [ "02" ],
      "interrupt": { "pin": "PC4", "set_by_write": "10", "cleared_by_read": "11" } } ] })";

class BoardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        board = Board::fromJsonText(kBench, "bench", error);
        ASSERT_NE(board, nullptr) << error;
        board->setTimeoutWait(std::chrono::microseconds{0});
    }

    TransferStatus write(std::uint8_t endpoint, Bytes bytes) {
        return board
            ->transfer(endpoint, false, bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                       1000)
            .status;
    }

    // Reads up to length bytes; the vector holds what came back.
    Bytes read(std::uint8_t endpoint, std::uint32_t length, TransferStatus* status = nullptr) {
        Bytes buffer(length, 0);
        const TransferResult result = board->transfer(endpoint, true, buffer.data(), length, 1000);
        if (status != nullptr) {
            *status = result.status;
        }
        buffer.resize(result.length);
        return buffer;
    }

    std::shared_ptr<Board> board;
};

TEST_F(BoardTest, I2cPackets_ProtocolExamples_ReplyAsSpecified) {
    ASSERT_EQ(write(2, {0x01, 0xA0, 0x10, 0x55}), TransferStatus::Ok);
    EXPECT_EQ(read(0x82, 2), Bytes({0x03}));
    EXPECT_EQ(board->peekRegister(0xA0, 0x10), 0x55);

    ASSERT_EQ(write(2, {0x01, 0xA1, 0x10}), TransferStatus::Ok);
    EXPECT_EQ(read(0x82, 2), Bytes({0x01, 0x55}));

    ASSERT_EQ(write(2, {0x04, 0xB0, 0x01, 0x02, 0xAA, 0xBB}), TransferStatus::Ok);
    EXPECT_EQ(read(0x82, 1), Bytes({0x05}));
    EXPECT_EQ(board->peekRegister(0xB0, 0x0102), 0xAA);
    EXPECT_EQ(board->peekRegister(0xB0, 0x0103), 0xBB);

    for (std::uint8_t i = 0; i < 4; ++i) {
        board->pokeRegister(0xA0, 0x0A + i, static_cast<std::uint8_t>(0xC0 + i));
    }
    ASSERT_EQ(write(2, {0x04, 0xA1, 0x0A}), TransferStatus::Ok);
    EXPECT_EQ(read(0x82, 5), Bytes({0x04, 0xC0, 0xC1, 0xC2, 0xC3}));
}

TEST_F(BoardTest, I2cWrite_ByteZeroEitherWay_CountFromPacketLength) {
    // Main-window writes put the data count in byte 0, script writes R + D: both must work.
    for (std::uint8_t countByte : {std::uint8_t{1}, std::uint8_t{2}, std::uint8_t{0}}) {
        ASSERT_EQ(write(2, {countByte, 0xA0, 0x20, countByte}), TransferStatus::Ok);
        EXPECT_EQ(read(0x82, 2), Bytes({0x03})) << int(countByte);
        EXPECT_EQ(board->peekRegister(0xA0, 0x20), countByte);
    }
}

TEST_F(BoardTest, I2c_AbsentAddress_NothingAcknowledged) {
    ASSERT_EQ(write(2, {0x01, 0x50, 0x10, 0x55}), TransferStatus::Ok);
    EXPECT_EQ(read(0x82, 2), Bytes({0x00}));
    ASSERT_EQ(write(2, {0x01, 0x51, 0x10}), TransferStatus::Ok);
    EXPECT_EQ(read(0x82, 2), Bytes({0x00}));
}

TEST_F(BoardTest, I2cWrite_ReadOnlyRegister_AcknowledgedAndIgnored) {
    ASSERT_EQ(write(2, {0x01, 0x60, 0x02, 0x11}), TransferStatus::Ok);
    EXPECT_EQ(read(0x82, 2), Bytes({0x03}));
    EXPECT_EQ(board->peekRegister(0x60, 0x02), 0x7A);
}

TEST_F(BoardTest, I2c_MultiByteWriteAndRead_AutoIncrementAndWrap) {
    ASSERT_EQ(write(2, {0x03, 0xA0, 0xFE, 0x01, 0x02, 0x03}), TransferStatus::Ok);
    EXPECT_EQ(read(0x82, 1), Bytes({0x05}));
    EXPECT_EQ(board->peekRegister(0xA0, 0xFE), 0x01);
    EXPECT_EQ(board->peekRegister(0xA0, 0xFF), 0x02);
    EXPECT_EQ(board->peekRegister(0xA0, 0x00), 0x03);
    // A read with no register bytes continues from the pointer the last access left.
    ASSERT_EQ(write(2, {0x02, 0xA1, 0xFF}), TransferStatus::Ok);
    EXPECT_EQ(read(0x82, 3), Bytes({0x02, 0x02, 0x03}));
    ASSERT_EQ(write(2, {0x01, 0xA1}), TransferStatus::Ok);
    EXPECT_EQ(read(0x82, 2), Bytes({0x01, 0x00}));
}

TEST_F(BoardTest, GpioWrite_ProtocolExample_StatusReplyOf25Bytes) {
    ASSERT_EQ(write(1, {0xFF, 0x0F, 0x00, 0xF0}), TransferStatus::Ok);
    Bytes expected(25, 0);
    expected[0] = 0xFF;  // port B all inputs, pulled high
    expected[1] = 0x0F;  // PC4..7 driven low, PC0..3 inputs read high
    expected[2] = 0x00;
    expected[3] = 0xF0;
    EXPECT_EQ(read(0x81, 25), expected);
    const GpioSnapshot gpio = board->gpio();
    EXPECT_EQ(gpio.dataB, 0xFF);
    EXPECT_EQ(gpio.dataC, 0x0F);
    EXPECT_EQ(gpio.enablesB, 0x00);
    EXPECT_EQ(gpio.enablesC, 0xF0);
}

TEST_F(BoardTest, GpioData_TwoBytes_KeepsEnablesAndDrivesOutputs) {
    ASSERT_EQ(write(1, {0x00, 0x00, 0x0F, 0x03}), TransferStatus::Ok);
    read(0x81, 25);
    board->setInputLevel(Pin{Port::B, 7}, false);
    ASSERT_EQ(write(1, {0x05, 0x02}), TransferStatus::Ok);
    const Bytes reply = read(0x81, 25);
    ASSERT_EQ(reply.size(), 25u);
    EXPECT_EQ(reply[0], 0x75);  // low nibble driven 5, PB7 held low outside, PB4..6 high
    EXPECT_EQ(reply[1], 0xFE);  // PC0 driven low (red LED off), PC1 driven high
    EXPECT_EQ(reply[2], 0x0F);
    EXPECT_EQ(reply[3], 0x03);
    EXPECT_FALSE(board->ledLit(0));
    EXPECT_TRUE(board->ledLit(1));
}

TEST_F(BoardTest, DirectWrite_Endpoint4_StoredWithoutReply) {
    ASSERT_EQ(write(4, {0x05, 0x12}), TransferStatus::Ok);
    EXPECT_EQ(board->directValue(0x05), 0x12);
    TransferStatus status;
    read(0x82, 2, &status);
    EXPECT_EQ(status, TransferStatus::TimedOut);
    read(0x81, 25, &status);
    EXPECT_EQ(status, TransferStatus::TimedOut);
}

TEST_F(BoardTest, Interrupt_NonZeroWriteThenClearingRead_PinLowBetween) {
    const auto pc4 = [&] { return (board->gpio().pinsC >> 4) & 1; };
    write(2, {0x01, 0x60, 0x10, 0x00});
    EXPECT_EQ(pc4(), 1) << "a zero write does not raise the interrupt";
    write(2, {0x01, 0x60, 0x10, 0x01});
    EXPECT_EQ(pc4(), 0);
    write(1, {0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(read(0x81, 25)[1] & 0x10, 0) << "the status reply shows the low line";
    write(2, {0x01, 0x61, 0x10});
    EXPECT_EQ(pc4(), 0) << "reading another register does not clear it";
    write(2, {0x01, 0x61, 0x11});
    EXPECT_EQ(pc4(), 1);
    EXPECT_FALSE(board->interruptAsserted(0x60));
}

TEST_F(BoardTest, Read_ShorterOrLongerThanReply_TakesWhatFitsAndDropsRest) {
    write(2, {0x04, 0xA1, 0x00});
    EXPECT_EQ(read(0x82, 2).size(), 2u);
    TransferStatus status;
    read(0x82, 5, &status);
    EXPECT_EQ(status, TransferStatus::TimedOut) << "the rest of the reply was dropped";
    write(2, {0x01, 0xA1, 0x00});
    const Bytes longer = read(0x82, 3, &status);
    EXPECT_EQ(status, TransferStatus::Ok);
    EXPECT_EQ(longer.size(), 2u);
}

TEST_F(BoardTest, Reply_NewerCommandBeforeRead_ReplacesUnreadReply) {
    write(2, {0x01, 0x50, 0x00, 0x00});
    write(2, {0x01, 0x61, 0x02});
    EXPECT_EQ(read(0x82, 2), Bytes({0x01, 0x7A}));
}

TEST_F(BoardTest, Transfer_UnknownEndpointOrWrongDirection_Stalls) {
    EXPECT_EQ(write(3, {0x00}), TransferStatus::Stall);
    EXPECT_EQ(write(0x82, {0x00}), TransferStatus::Stall);
    TransferStatus status;
    read(2, 2, &status);
    EXPECT_EQ(status, TransferStatus::Stall);
    read(0x84, 2, &status);
    EXPECT_EQ(status, TransferStatus::Stall);
}

TEST_F(BoardTest, Faults_DetachAndAttachAtNthTransfer_ListenersHearBoth) {
    std::vector<bool> heard;
    board->addConnectionListener([&](bool attached) { heard.push_back(attached); });
    board->detachAtTransfer(2);
    board->attachAtTransfer(4);
    const std::uint64_t serial = board->attachmentSerial();
    EXPECT_EQ(write(1, {0, 0}), TransferStatus::Ok);
    EXPECT_EQ(write(1, {0, 0}), TransferStatus::NoDevice);
    board->countRejectedTransfer();
    EXPECT_EQ(write(1, {0, 0}), TransferStatus::Ok);
    EXPECT_EQ(heard, std::vector<bool>({false, true}));
    EXPECT_NE(board->attachmentSerial(), serial);
}

TEST_F(BoardTest, Listener_ChangesAndUsesTheBoard_NoDeadlockAndChangesHeardInOrder) {
    // On a thread of its own, so that a deadlock fails the test instead of hanging the run; the
    // thread keeps the board, which a deadlocked thread must never see destroyed.
    auto heard = std::make_shared<std::vector<bool>>();
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([board = board, heard, done] {
        const int id = board->addConnectionListener([&board = *board, heard](bool attached) {
            heard->push_back(attached);
            Bytes probe{0x01, 0xA1, 0x10};
            board.transfer(2, false, probe.data(), 3, 1000);
            if (!attached) {
                board.attach();  // plugged back in at once
            }
        });
        board->detach();
        board->removeConnectionListener(id);
        done->set_value();
    }).detach();
    ASSERT_EQ(finished.wait_for(std::chrono::seconds(10)), std::future_status::ready)
        << "a listener that used the board deadlocked";
    EXPECT_EQ(*heard, std::vector<bool>({false, true}));
    EXPECT_TRUE(board->attached());
}

TEST_F(BoardTest, Faults_EachOnDemand_TransfersFailAsConfigured) {
    board->setEndpointTimesOut(2, true);
    EXPECT_EQ(write(2, {0x01, 0x61, 0x02}), TransferStatus::TimedOut);
    board->clearFaults();

    board->setShortReply(24);
    write(1, {0, 0});
    EXPECT_EQ(read(0x81, 25).size(), 1u);
    board->setShortReply(0);

    board->setNoEndpoints(true);
    EXPECT_EQ(board->endpointCount(), 0u);
    EXPECT_EQ(write(1, {0, 0}), TransferStatus::NoEndpoint);
    board->setNoEndpoints(false);
    EXPECT_EQ(board->endpointCount(), 5u);

    EXPECT_TRUE(board->selectInterface(0, 0));
    EXPECT_FALSE(board->selectInterface(0, 1));
    board->setInterfaceSelectFails(true);
    EXPECT_FALSE(board->selectInterface(0, 0));

    board->detach();
    EXPECT_EQ(write(1, {0, 0}), TransferStatus::NoDevice);
}

TEST_F(BoardTest, PacketLog_BothDirections_RecordedInOrderWithinCapacity) {
    write(2, {0x01, 0x61, 0x02});
    read(0x82, 2);
    write(4, {0x01, 0x02});
    const std::vector<PacketRecord> expected = {
        {2, PacketDirection::Out, {0x01, 0x61, 0x02}},
        {0x82, PacketDirection::In, {0x01, 0x7A}},
        {4, PacketDirection::Out, {0x01, 0x02}},
    };
    EXPECT_EQ(board->packetLog(), expected);
    board->setPacketLogCapacity(2);
    write(4, {0x03, 0x04});
    EXPECT_EQ(board->packetLog(),
              std::vector<PacketRecord>({expected[2], {4, PacketDirection::Out, {0x03, 0x04}}}));
    board->clearPacketLog();
    EXPECT_TRUE(board->packetLog().empty());
}

TEST_F(BoardTest, Reset_KeepsRegistersAndGpio_DropsUnreadReply) {
    write(1, {0x12, 0x34, 0xFF, 0xFF});
    write(2, {0x01, 0xA0, 0x10, 0x99});
    board->reset();
    TransferStatus status;
    read(0x82, 2, &status);
    EXPECT_EQ(status, TransferStatus::TimedOut);
    EXPECT_EQ(board->peekRegister(0xA0, 0x10), 0x99);
    EXPECT_EQ(board->gpio().dataB, 0x12);
}

TEST(BuiltInBoard, Targets_AsDocumented_ReplyWithTheirContents) {
    const auto board = Board::builtIn();
    EXPECT_EQ(board->peekRegister(0x60, 0x02), 0x7A);
    EXPECT_EQ(board->peekRegister(0x60, 0x03), 0x00);
    EXPECT_EQ(board->peekRegister(0xA0, 0x00FF), 0xFF);
    EXPECT_FALSE(board->peekRegister(0x50, 0).has_value());
    EXPECT_TRUE(board->attached());
    EXPECT_EQ(board->endpointCount(), 5u);
}

}  // namespace
}  // namespace bridgesim
