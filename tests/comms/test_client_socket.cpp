#include "tests/support/engine_test_support.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct WinsockRow {
    const char* name;
    int code;
    int connect;
    int send;
    int receive;
};

void PrintTo(const WinsockRow& row, std::ostream* os) {
    *os << row.name;
}

class WinsockResult : public ::testing::TestWithParam<WinsockRow> {};

TEST_P(WinsockResult, MapsTheCodePerOperation) {
    const WinsockRow& row = GetParam();
    CClientSocket socket;
    EXPECT_EQ(socket.winsockResult(SocketOp::Connect, row.code), row.connect);
    EXPECT_EQ(socket.winsockResult(SocketOp::Send, row.code), row.send);
    EXPECT_EQ(socket.winsockResult(SocketOp::Receive, row.code), row.receive);
    EXPECT_EQ(socket.unknownError.load(), row.connect == 5518 ? row.code : 0)
        << "only an unknown code is kept";
    EXPECT_EQ(socket.linkBroken.load(), 0) << "no link to break while not connected";
}

INSTANTIATE_TEST_SUITE_P(
    Codes, WinsockResult,
    ::testing::Values(
        WinsockRow{
            .name = "AccessDenied", .code = 10013, .connect = 5524, .send = 5524, .receive = 5524},
        WinsockRow{
            .name = "BadAddress", .code = 10014, .connect = 5509, .send = 5525, .receive = 5525},
        WinsockRow{
            .name = "Invalid", .code = 10022, .connect = 5510, .send = 5529, .receive = 5529},
        WinsockRow{.name = "TooManySockets",
                   .code = 10024,
                   .connect = 5512,
                   .send = 5512,
                   .receive = 5512},
        WinsockRow{
            .name = "WouldBlock", .code = 10035, .connect = 5522, .send = 5528, .receive = 5528},
        WinsockRow{
            .name = "InProgress", .code = 10036, .connect = 5521, .send = 5521, .receive = 5521},
        WinsockRow{
            .name = "NotASocket", .code = 10038, .connect = 5516, .send = 5516, .receive = 5516},
        WinsockRow{.name = "DestinationRequired",
                   .code = 10039,
                   .connect = 5508,
                   .send = 5508,
                   .receive = 5508},
        WinsockRow{.name = "FamilyNotSupported",
                   .code = 10047,
                   .connect = 5506,
                   .send = 5506,
                   .receive = 5506},
        WinsockRow{
            .name = "AddressInUse", .code = 10048, .connect = 5504, .send = 5504, .receive = 5504},
        WinsockRow{.name = "AddressNotAvailable",
                   .code = 10049,
                   .connect = 5505,
                   .send = 5505,
                   .receive = 5505},
        WinsockRow{
            .name = "NetworkDown", .code = 10050, .connect = 5520, .send = 5520, .receive = 5520},
        WinsockRow{.name = "NetworkUnreachable",
                   .code = 10051,
                   .connect = 5513,
                   .send = 5513,
                   .receive = 5513},
        WinsockRow{.name = "NetworkReset", .code = 10052, .connect = 0, .send = 0, .receive = 0},
        WinsockRow{.name = "ConnectionAborted",
                   .code = 10053,
                   .connect = 5530,
                   .send = 5530,
                   .receive = 5530},
        WinsockRow{.name = "ConnectionReset",
                   .code = 10054,
                   .connect = 5531,
                   .send = 5531,
                   .receive = 5531},
        WinsockRow{
            .name = "NoBuffers", .code = 10055, .connect = 5514, .send = 5526, .receive = 5526},
        WinsockRow{.name = "AlreadyConnected",
                   .code = 10056,
                   .connect = 5511,
                   .send = 5511,
                   .receive = 5511},
        WinsockRow{
            .name = "NotConnected", .code = 10057, .connect = 5515, .send = 5515, .receive = 5515},
        WinsockRow{.name = "ShutDown", .code = 10058, .connect = 0, .send = 5527, .receive = 5523},
        WinsockRow{
            .name = "TimedOut", .code = 10060, .connect = 5517, .send = 5517, .receive = 5517},
        WinsockRow{
            .name = "Refused", .code = 10061, .connect = 5507, .send = 5507, .receive = 5507},
        WinsockRow{.name = "HostUnreachable",
                   .code = 10065,
                   .connect = 5532,
                   .send = 5532,
                   .receive = 5532},
        WinsockRow{.name = "NotInitialised",
                   .code = 10093,
                   .connect = 5519,
                   .send = 5519,
                   .receive = 5519},
        WinsockRow{
            .name = "UnknownCode", .code = 10040, .connect = 5518, .send = 5518, .receive = 5518}),
    [](const ::testing::TestParamInfo<WinsockRow>& row) { return std::string(row.param.name); });

} // namespace

TEST(ClientSocket, AnAbortedConnectionBreaksAnEstablishedLink) {
    CClientSocket socket;
    socket.connected = 1;
    socket.winsockResult(SocketOp::Receive, 10053);
    EXPECT_EQ(socket.linkBroken.load(), 1);
}

TEST(ClientSocket, PackedAddressIsFormattedFirstOctetFirst) {
    EXPECT_EQ(dottedAddress(0xC0A80001), "192.168.0.1");
    EXPECT_EQ(dottedAddress(0x7F000001), "127.0.0.1");
    EXPECT_EQ(dottedAddress(0xFFFFFFFF), "255.255.255.255");
}

TEST(ClientSocket, UnknownCodeIsKeptAndShownAfterTheText) {
    CClientSocket socket;
    EXPECT_EQ(socket.winsockResult(SocketOp::Send, 10040), 5518);
    EXPECT_EQ(socket.unknownError.load(), 10040);
    EXPECT_EQ(socket.unknownErrorText(), "Unknown TCP/IP error = 10040.");
}

TEST(ClientSocket, ConnectRefusedWithoutLibraryOrPeer) {
    CClientSocket socket;
    socketLibraryReady = 0;
    EXPECT_EQ(socket.connectTo(kLoopback, 1), 5500);
    socketLibraryReady = 1;
    EXPECT_FALSE(socket.isOpen());

    // A port that was just bound and released has no listener.
    std::uint16_t port = 0;
    {
        CFakeUnit gone([](CUnitLink&) {});
        port = gone.port();
    }
    const int result = socket.connectTo(kLoopback, port);
    for (int i = 0; i < 500 && result == 0 && socket.connectError.load() == 0; ++i)
        sleepMs(10);
    EXPECT_EQ(result == 0 ? socket.connectError.load() : result, 5507);
    EXPECT_EQ(socket.connected.load(), 0);
    for (int i = 0; i < 500 && socket.isOpen(); ++i)
        sleepMs(10);
    EXPECT_FALSE(socket.isOpen()) << "a failed connect closes the socket";
}

TEST(ClientSocket, ConnectsToPackedAddressAndSeesThePeerClose) {
    CEvent closeNow;
    CFakeUnit unit([&](CUnitLink& link) {
        closeNow.wait(5000);
        link.close();
    });
    CClientSocket socket;
    ASSERT_EQ(socket.connectTo(kLoopback, unit.port()), 0);
    for (int i = 0; i < 500 && socket.connected.load() == 0; ++i)
        sleepMs(10);
    ASSERT_EQ(socket.connected.load(), 1);
    EXPECT_EQ(socket.connectError.load(), 0);
    EXPECT_EQ(socket.sendError.load(), 0);

    closeNow.set();
    ASSERT_TRUE(socket.dataReady.wait(5000)) << "end of stream is readable";
    char byte;
    EXPECT_EQ(socket.receive(&byte, 1), 0);
    EXPECT_EQ(socket.closeError.load(), 0) << "an orderly close is no error";
    socket.disconnect();
    EXPECT_FALSE(socket.isOpen());
    EXPECT_EQ(socket.receive(&byte, 1), -1);
    EXPECT_EQ(CClientSocket::lastError(), 10057);
}

struct PeerCloseRow {
    const char* name;
    bool reset;
    int closeError;
};

void PrintTo(const PeerCloseRow& row, std::ostream* os) {
    *os << row.name;
}

class PeerClose : public ::testing::TestWithParam<PeerCloseRow> {};

// A unit that drops an idle link: nothing reads the end of stream, so the close notification
// alone must tell the watchdog that the link is gone.
TEST_P(PeerClose, OfAnIdleLinkMarksTheSocketNotConnected) {
    const PeerCloseRow& row = GetParam();
    CEvent closeNow;
    CFakeUnit unit([&](CUnitLink& link) {
        closeNow.wait(5000);
        if (row.reset)
            link.reset();
    });
    CClientSocket socket;
    ASSERT_EQ(socket.connectTo(kLoopback, unit.port()), 0);
    for (int i = 0; i < 500 && socket.connected.load() == 0; ++i)
        sleepMs(10);
    ASSERT_EQ(socket.connected.load(), 1);

    closeNow.set();
    for (int i = 0; i < 500 && socket.connected.load() == 1; ++i)
        sleepMs(10);
    EXPECT_EQ(socket.connected.load(), 0);
    EXPECT_EQ(socket.closeError.load(), row.closeError);
    socket.disconnect();
}

INSTANTIATE_TEST_SUITE_P(
    Closes, PeerClose,
    ::testing::Values(PeerCloseRow{.name = "Orderly", .reset = false, .closeError = 0},
                      PeerCloseRow{.name = "Reset", .reset = true, .closeError = 5531}),
    [](const ::testing::TestParamInfo<PeerCloseRow>& row) { return std::string(row.param.name); });

// dataReady is signalled again only after a receive: a reader that leaves data waiting is not
// woken over and over, and one that reads part of it is woken for the rest.
TEST(ClientSocket, DataReadyIsRearmedByReceive) {
    CFakeUnit unit([](CUnitLink& link) {
        link.send({1, 2, 3, 4});
        link.linger(5000);
    });
    CClientSocket socket;
    ASSERT_EQ(socket.connectTo(kLoopback, unit.port()), 0);
    ASSERT_TRUE(socket.dataReady.wait(5000));
    EXPECT_FALSE(socket.dataReady.wait(50));
    std::uint8_t bytes[4] = {};
    EXPECT_EQ(socket.receive(bytes, 2), 2);
    ASSERT_TRUE(socket.dataReady.wait(5000));
    EXPECT_EQ(socket.receive(bytes, 4), 2);
    EXPECT_EQ(bytes[1], 4);
    EXPECT_FALSE(socket.dataReady.wait(50));
}

// A socket whose connect notification takes a while, as one running on a busy thread does.
class CSlowConnectSocket : public CClientSocket {
public:
    CEvent entered;

protected:
    void onConnect(int error) override {
        entered.set();
        sleepMs(200);
        CClientSocket::onConnect(error);
    }
};

// A connect notification of the previous socket that finishes while connectTo replaces it must
// not leave the new, still connecting socket marked connected.
TEST(ClientSocket, ReconnectingIgnoresTheOldSocketsLateNotification) {
    CFakeUnit unit([](CUnitLink& link) { link.linger(5000); });
    CSlowConnectSocket socket;
    ASSERT_EQ(socket.connectTo(kLoopback, unit.port()), 0);
    ASSERT_TRUE(socket.entered.wait(5000));
    ASSERT_EQ(socket.connectTo(kLoopback, unit.port()), 0);
    EXPECT_EQ(socket.connected.load(), 0);
    for (int i = 0; i < 500 && socket.connected.load() == 0; ++i)
        sleepMs(10);
    EXPECT_EQ(socket.connected.load(), 1);
    socket.disconnect();
}
