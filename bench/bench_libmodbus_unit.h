#pragma once

// The benchmarks' Modbus/TCP unit: libmodbus on loopback, on a port the kernel chooses.

#include "platform/events.h"
#include "tests/support/loopback.h"

#include <arpa/inet.h>
#include <cstdint>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

// A libmodbus unit on 127.0.0.1 serving one connection at a time on its own thread.
class CLibmodbusUnit {
public:
    // `registers` holding registers, register a holding 3a + 1.
    explicit CLibmodbusUnit(int registers = 200) {
        map_ = modbus_mapping_new(0, 0, registers, 0);
        for (int a = 0; a < registers; ++a)
            map_->tab_registers[a] = static_cast<std::uint16_t>(3 * a + 1);
        thread_ = std::thread([this] { run(); });
    }
    ~CLibmodbusUnit() {
        stop_.set();
        thread_.join();
        modbus_mapping_free(map_);
    }
    CLibmodbusUnit(const CLibmodbusUnit&) = delete;
    CLibmodbusUnit& operator=(const CLibmodbusUnit&) = delete;
    std::uint16_t port() const { return listener_.port(); }

private:
    void run() {
        modbus_t* ctx = modbus_new_tcp("127.0.0.1", listener_.port());
        std::uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        int client = -1;
        for (;;) {
            pollfd fds[2] = {{stop_.fd(), POLLIN, 0},
                             {client >= 0 ? client : listener_.fd(), POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 || fds[0].revents)
                break;
            if (client < 0) {
                client = ::accept(listener_.fd(), nullptr, nullptr);
                modbus_set_socket(ctx, client);
                continue;
            }
            const int length = modbus_receive(ctx, query);
            if (length > 0) {
                modbus_reply(ctx, query, length, map_);
            } else if (length < 0) {
                ::close(client);
                client = -1;
            }
        }
        if (client >= 0)
            ::close(client);
        modbus_free(ctx);
    }

    CLoopbackListener listener_;
    modbus_mapping_t* map_ = nullptr;
    CEvent stop_;
    std::thread thread_;
};
