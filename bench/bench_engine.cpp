// Read requests through the comms engine against a libmodbus unit on loopback, beside a plain
// libmodbus client loop against the same unit. Prints transactions per second and latencies.
//
// A job waits for the comms thread's next idle time-out (queueJob does not wake it) and each TCP
// exchange first listens 10 ms for stale input, so the engine's figures include up to 10 ms of
// idle wait and 10 ms of flush, both deliberate; "engine overhead" subtracts both from the median.

#include "bench_libmodbus_unit.h"
#include "comms/comms_context.h"
#include "platform/clock.h"
#include "platform/message_queue.h"
#include "tests/support/engine_probe.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Figures {
    double median;
    double p90;
    double perSecond;
};

Figures summarise(std::vector<double> latencies, double totalMs) {
    std::sort(latencies.begin(), latencies.end());
    return {latencies[latencies.size() / 2], latencies[latencies.size() * 9 / 10],
            1000.0 * static_cast<double>(latencies.size()) / totalMs};
}

void print(const char* name, const Figures& f) {
    std::printf("%-34s %8.1f tx/s   median %7.3f ms   p90 %7.3f ms\n", name, f.perSecond, f.median,
                f.p90);
}

const std::uint8_t kRequest[] = {0, 1, 0, 0, 0, 6, 1, 3, 0, 0, 0, 10};

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 300;
    CLibmodbusUnit unit(100);

    // The engine, from queueJob to the result message.
    std::vector<double> engine;
    double engineTotal = 0;
    {
        CCommsContext context;
        CMessageQueue window;
        context.message.tcpMode = 1;
        context.message.retries = 0;
        context.message.time2 = 2000;
        context.logComms = 1;
        context.engine.startThread(context);
        context.socket.connectTo(0x7F000001, unit.port());
        for (int i = 0; i < 500 && context.socket.connected.load() == 0; ++i)
            sleepMs(10);
        std::uint16_t requestLength = sizeof kRequest;
        // The engine writes the frame as sent back into the request.
        std::uint8_t request[sizeof kRequest];
        std::uint8_t response[640];
        std::uint16_t responseLength = 0;
        const auto start = Clock::now();
        for (int i = 0; i < count; ++i) {
            const auto t = Clock::now();
            std::copy(std::begin(kRequest), std::end(kRequest), request);
            context.engine.queueJob(JobType::ModbusRequest, request, &requestLength, response,
                                    &responseLength, window.handle());
            const auto result = window.waitFor(WM_COMMS_RESULT, 10000);
            if (!result || result->lParam != 0) {
                std::printf("engine request %d failed\n", i);
                return 1;
            }
            engine.push_back(msSince(t));
        }
        engineTotal = msSince(start);
        context.engine.stopThread(context);
    }

    // One exchange called directly, without the comms thread: the flush listen plus the round
    // trip.
    std::vector<double> exchange;
    {
        CCommsContext context;
        context.message.tcpMode = 1;
        context.message.time2 = 2000;
        context.socket.connectTo(0x7F000001, unit.port());
        for (int i = 0; i < 500 && context.socket.connected.load() == 0; ++i)
            sleepMs(10);
        std::copy(std::begin(kRequest), std::end(kRequest), context.message.txFrame);
        context.message.txLength = sizeof kRequest;
        for (int i = 0; i < count; ++i) {
            const auto t = Clock::now();
            if (CCommsEngineProbe::tcpTransaction(context) != 0) {
                std::printf("exchange %d failed\n", i);
                return 1;
            }
            exchange.push_back(msSince(t));
        }
        context.socket.disconnect();
    }

    // The libmodbus client loop.
    std::vector<double> client;
    double clientTotal = 0;
    {
        modbus_t* ctx = modbus_new_tcp("127.0.0.1", unit.port());
        if (ctx == nullptr || modbus_connect(ctx) != 0) {
            std::printf("libmodbus client cannot connect\n");
            return 1;
        }
        std::uint16_t registers[10];
        const auto start = Clock::now();
        for (int i = 0; i < count; ++i) {
            const auto t = Clock::now();
            if (modbus_read_registers(ctx, 0, 10, registers) != 10) {
                std::printf("libmodbus request %d failed\n", i);
                return 1;
            }
            client.push_back(msSince(t));
        }
        clientTotal = msSince(start);
        modbus_close(ctx);
        modbus_free(ctx);
    }

    // What one 10 ms wait costs on this machine (timer slack and millisecond rounding included).
    std::vector<double> idle;
    {
        CEvent never;
        for (int i = 0; i < std::min(count, 100); ++i) {
            const auto t = Clock::now();
            waitForAny({{&never, -1}}, 10);
            idle.push_back(msSince(t));
        }
    }

    std::printf("%d reads of 10 holding registers, Modbus/TCP on 127.0.0.1\n", count);
    const Figures e = summarise(engine, engineTotal);
    const Figures x = summarise(exchange, 1.0);
    const Figures c = summarise(client, clientTotal);
    print("engine (queueJob -> result)", e);
    std::printf("%-34s %8s        median %7.3f ms   p90 %7.3f ms\n", "tcpTransaction alone", "",
                x.median, x.p90);
    print("libmodbus client loop", c);
    const double wait = summarise(idle, 1.0).median;
    std::printf("one 10 ms wait as measured:          median %7.3f ms\n", wait);
    std::printf("idle-wait share (engine - exchange): median %7.3f ms\n", e.median - x.median);
    std::printf(
        "exchange beyond its flush wait:      median %7.3f ms (libmodbus round trip %.3f ms)\n",
        x.median - wait, c.median);
    std::printf("engine beyond its two waits:         median %7.3f ms\n", e.median - 2 * wait);
    return 0;
}
