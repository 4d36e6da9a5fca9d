#include "LinkFixture.h"

namespace boardtest {
namespace {

using board::False;
using board::True;
using Bytes = std::vector<std::uint8_t>;

class PipeTest : public LinkFixture {};

TEST_F(PipeTest, WritePipe_Closed_LogsAndLeavesCommErrorAsItWas) {
    for (board::Flag before : {False, True}) {
        main.Txtlog().setText("");
        s().CommError = before;
        s().TransferPipe = 2;
        s().TransferLength = 3;
        s().TransferBuffer = {1, 0xA1, 0x10};
        link->writePipe();
        EXPECT_EQ(log(), entry("Write GPIOPipe .. USB Not opened"));
        EXPECT_EQ(s().CommError, before);
        EXPECT_EQ(main.shpLogStatus().FillColor,
                  before == True ? s().ColorLightRed : s().ColorLightGreen);
    }
    EXPECT_EQ(host.yields, 0);
    EXPECT_TRUE(bench->packets().empty());
}

TEST_F(PipeTest, ReadPipe_Closed_LogsYieldsOnceBufferUnchanged) {
    s().TransferPipe = 0x82;
    s().TransferLength = 2;
    s().TransferBuffer = {0, 0};
    link->readPipe();
    EXPECT_EQ(log(), entry("ReadPipe .. USB Not opened"));
    EXPECT_EQ(host.yields, 1);
    EXPECT_EQ(s().TransferBuffer, (Bytes{0, 0}));
    EXPECT_EQ(s().CommError, False);
    EXPECT_TRUE(bench->packets().empty());
}

// The closed read yields once; an exchange run there has a buffer of its own, and the reply
// handed back is still this read's own.
TEST_F(PipeTest, Exchange_Closed_NotSentAndReplyUntouchedByNestedExchange) {
    const board::Reply sent = link->sendPacket(2, {1, 0xA1, 0x10});
    EXPECT_EQ(sent.status, static_cast<std::uint32_t>(WD_DEVICE_NOT_FOUND));
    EXPECT_TRUE(sent.bytes.empty());
    host.atYield(host.yields + 1, [this] { link->receiveReply(0x81, 25); });
    const board::Reply reply = link->receiveReply(0x82, 2);
    EXPECT_EQ(reply.status, static_cast<std::uint32_t>(WD_DEVICE_NOT_FOUND));
    EXPECT_EQ(reply.bytes, (Bytes{0, 0}));
    EXPECT_TRUE(bench->packets().empty());
}

TEST_F(PipeTest, Pipes_Open_WriteYieldsOnceBeforeTransferReadNever) {
    connectQuietly();
    long yields = host.yields;
    std::size_t packetsAtYield = 99;
    host.atYield(yields + 1, [&] { packetsAtYield = bench->packets().size(); });
    const board::Reply sent = link->sendPacket(2, {1, 0xA1, 0x10});
    EXPECT_EQ(host.yields, yields + 1);
    EXPECT_EQ(packetsAtYield, 0u);
    EXPECT_TRUE(sent.ok());
    EXPECT_EQ(sent.bytes, (Bytes{1, 0xA1, 0x10}));
    const board::Reply reply = link->receiveReply(0x82, 2);
    EXPECT_EQ(host.yields, yields + 1);
    EXPECT_TRUE(reply.ok());
    EXPECT_EQ(reply.bytes, (Bytes{1, 0x3C}));
    EXPECT_EQ(log(), "");
    EXPECT_EQ(s().LastStatus, 0u);
}

TEST_F(PipeTest, ReadPipe_ShortReply_KeepsTrailingZeros) {
    connectQuietly();
    bench->shortReplies(1);
    link->sendPacket(2, {1, 0xA1, 0x10});
    EXPECT_EQ(link->receiveReply(0x82, 2).bytes, (Bytes{1, 0}));
    EXPECT_EQ(s().LastStatus, 0u);
    EXPECT_EQ(s().CommError, False);
    EXPECT_EQ(log(), "");
}

TEST_F(PipeTest, ReadPipe_ReplyShorterThanAsked_RestStaysZero) {
    // The comm test asks for 3 bytes; a one-byte read answers with 2.
    connectQuietly();
    link->sendPacket(2, {1, 0x61, 0x02});
    EXPECT_EQ(link->receiveReply(0x82, 3).bytes, (Bytes{1, 0x7A, 0}));
    EXPECT_EQ(s().CommError, False);
}

TEST_F(PipeTest, ReadPipe_TimeOut_LogsTransferFailedWithStatus) {
    connectQuietly();
    bench->timeOutOn(0x82);
    link->sendPacket(2, {1, 0xA1, 0x10});
    const board::Reply reply = link->receiveReply(0x82, 2);
    EXPECT_EQ(reply.status, static_cast<std::uint32_t>(WD_TIME_OUT_EXPIRED));
    EXPECT_EQ(reply.bytes, (Bytes{0, 0}));
    EXPECT_EQ(s().LastStatus, static_cast<std::uint32_t>(WD_TIME_OUT_EXPIRED));
    EXPECT_EQ(log(),
              entry("ReadPipe: WDU_Transfer() failed: error " + status(WD_TIME_OUT_EXPIRED)));
    EXPECT_EQ(s().CommError, True);
    EXPECT_EQ(main.shpLogStatus().FillColor, s().ColorLightRed);
}

TEST_F(PipeTest, WritePipe_TimeOut_LogsTransferFailedWithStatus) {
    connectQuietly();
    bench->timeOutOn(2);
    link->sendPacket(2, {1, 0xA1, 0x10});
    EXPECT_EQ(log(),
              entry("WritePipe: WDU_Transfer() failed: error " + status(WD_TIME_OUT_EXPIRED)));
    EXPECT_EQ(s().CommError, True);
}

TEST_F(PipeTest, Pipes_NoEndpoints_PlainEntryNothingTransferred) {
    connectQuietly();
    bench->noEndpoints();
    s().CommError = True;
    const board::Reply sent = link->sendPacket(2, {1, 0xA1, 0x10});
    const board::Reply reply = link->receiveReply(0x82, 2);
    EXPECT_EQ(sent.status, static_cast<std::uint32_t>(WD_NO_ENDPOINT));
    EXPECT_TRUE(sent.bytes.empty());
    EXPECT_EQ(reply.status, static_cast<std::uint32_t>(WD_NO_ENDPOINT));
    EXPECT_EQ(reply.bytes, (Bytes{0, 0}));
    std::string noPipes =
        entry("  No pipes are defined for this device \r\nother than the default pipe (number 0)");
    EXPECT_EQ(log(), noPipes + noPipes);
    EXPECT_EQ(s().CommError, False);
    EXPECT_EQ(main.shpLogStatus().FillColor, s().ColorLightGreen);
    EXPECT_TRUE(bench->packets().empty());
}

TEST_F(PipeTest, Pipes_AfterDetachWhileOpen_DeviceInfoErrorsRedLamp) {
    connectQuietly();
    bench->detachNow();
    host.doEvents();
    main.Txtlog().setText("");
    link->sendPacket(2, {1, 0xA1, 0x10});
    std::uint32_t writeStatus = s().LastStatus;
    ASSERT_NE(writeStatus, 0u);
    const board::Reply reply = link->receiveReply(0x82, 2);
    EXPECT_EQ(log(), entry("WritePipe: WDU_GetDeviceInfo() failed:\r\nerror " +
                           status(writeStatus) + "\r\n") +
                         entry("ReadPipe: WDU_GetDeviceInfo() failed:\r\nerror " +
                               status(s().LastStatus) + "\r\n"));
    EXPECT_EQ(s().CommError, True);
    EXPECT_EQ(main.shpLogStatus().FillColor, s().ColorLightRed);
    EXPECT_EQ(reply.bytes, (Bytes{0, 0}));
    EXPECT_TRUE(bench->packets().empty());
}

TEST_F(PipeTest, Exchange_DetachAtWriteYield_NextTransferLogsDeviceInfoFailure) {
    connectQuietly();
    WDU_DEVICE_HANDLE device = s().AttachContext.AttachedDevice;
    // The yield in writePipe comes after the device check and before the transfer.
    host.atYield(host.yields + 1, [this] { bench->detachNow(); });
    link->sendPacket(2, {1, 0xA1, 0x10});
    EXPECT_EQ(s().AttachContext.AttachedDevice, 0u);
    EXPECT_EQ(s().DeviceHandle, device);
    EXPECT_NE(s().LastStatus, 0u);  // the write went to a board that had just gone
    const board::Reply reply = link->receiveReply(0x82, 2);
    const std::string& text = log();
    EXPECT_NE(text.find(entry("DeviceDetach: Received detach for device handle &H" +
                              board::HexText(device))),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(entry("ReadPipe: WDU_GetDeviceInfo() failed:\r\nerror " +
                              status(s().LastStatus) + "\r\n")),
              std::string::npos)
        << text;
    EXPECT_EQ(reply.bytes, (Bytes{0, 0}));
    EXPECT_EQ(s().CommError, True);
}

TEST_F(PipeTest, WritePipe_BufferShorterThanLength_SendsZerosForMissingBytes) {
    connectQuietly();
    s().TransferPipe = 2;
    s().TransferLength = 3;
    s().TransferBuffer = {1, 0xA1};  // a caller that forgot to re-dimension
    link->writePipe();
    ASSERT_EQ(bench->sent().size(), 1u);
    EXPECT_EQ(bench->sent()[0].bytes, (Bytes{1, 0xA1, 0}));
    s().TransferPipe = 0x82;
    s().TransferLength = 2;
    s().TransferBuffer.clear();
    link->readPipe();
    EXPECT_EQ(s().TransferBuffer.size(), 2u);
}

}  // namespace
}  // namespace boardtest
