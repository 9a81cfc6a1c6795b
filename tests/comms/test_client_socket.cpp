#include "engine_test_support.h"

#include <gtest/gtest.h>

TEST(ClientSocket, WinsockResultMapsEveryCodePerOperation) {
    const struct {
        int code;
        int connect;
        int send;
        int receive;
    } cases[] = {
        {10013, 5524, 5524, 5524}, {10014, 5509, 5525, 5525}, {10022, 5510, 5529, 5529},
        {10024, 5512, 5512, 5512}, {10035, 5522, 5528, 5528}, {10036, 5521, 5521, 5521},
        {10038, 5516, 5516, 5516}, {10039, 5508, 5508, 5508}, {10047, 5506, 5506, 5506},
        {10048, 5504, 5504, 5504}, {10049, 5505, 5505, 5505}, {10050, 5520, 5520, 5520},
        {10051, 5513, 5513, 5513}, {10052, 0, 0, 0},          {10053, 5530, 5530, 5530},
        {10054, 5531, 5531, 5531}, {10055, 5514, 5526, 5526}, {10056, 5511, 5511, 5511},
        {10057, 5515, 5515, 5515}, {10058, 0, 5527, 5523},    {10060, 5517, 5517, 5517},
        {10061, 5507, 5507, 5507}, {10065, 5532, 5532, 5532}, {10093, 5519, 5519, 5519},
    };
    CClientSocket socket;
    for (const auto& c : cases) {
        EXPECT_EQ(socket.winsockResult(SocketOp::Connect, c.code), c.connect) << c.code;
        EXPECT_EQ(socket.winsockResult(SocketOp::Send, c.code), c.send) << c.code;
        EXPECT_EQ(socket.winsockResult(SocketOp::Receive, c.code), c.receive) << c.code;
    }
    EXPECT_EQ(socket.unknownError.load(), 0) << "known codes leave unknownError alone";
    EXPECT_EQ(socket.linkBroken.load(), 0) << "10053 breaks the link only when connected";
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
