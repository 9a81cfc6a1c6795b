// Repeat mode of the Test Modbus Communications window against a libmodbus unit on loopback,
// beside a plain libmodbus client loop against the same unit, and the time the window takes to
// handle one result of 125 registers (decode, format and show, and queue the next request).
//
// The engine's floor on TCP is about two 10 ms waits per exchange (the comms thread's idle
// time-out and the exchange's listen for stale input), so about 47 exchanges per second.

#include "app/qt_message_target.h"
#include "app/testmodbus_window.h"
#include "bench_app_support.h"
#include "bench_libmodbus_unit.h"
#include "comms/comms_context.h"
#include "platform/clock.h"
#include "platform/message_queue.h"
#include "windows/vantrel_doc.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
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

// Times every window message (the comms thread's results) the application delivers.
class CTimingApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        if (event->type() != CWindowMessageEvent::eventType())
            return QApplication::notify(receiver, event);
        const auto t = Clock::now();
        const bool done = QApplication::notify(receiver, event);
        handling.push_back(msSince(t));
        return done;
    }
    std::vector<double> handling;
};

class CCountingMessageBox : public IMessageBox {
public:
    void showMessage(const std::string& text) override {
        std::printf("message: %s\n", text.c_str());
        ++count;
    }
    int count = 0;
};

struct Repeated {
    double perSecond = 0;
    int failed = 0;
};

// Repeats reads of `quantity` holding registers through the window until `count` have passed.
Repeated repeatThroughWindow(CTimingApplication& app, std::uint16_t port, int count,
                             const char* quantity) {
    CVantrelDoc document;
    CCountingMessageBox messages;
    CNoDialogs dialogs;
    if (!document.onNewDocument(messages) || !connectDocument(document, port))
        return {};
    CTestModbusWindow dialog(document, dialogs,
                             {MediaType::TcpIp, ModbusType::ModbusTcp, 1, 0, ","}, &messages);
    dialog.show();
    dialog.findChild<QLineEdit*>(QStringLiteral("quantity"))
        ->setText(QString::fromLatin1(quantity));
    QCoreApplication::processEvents();
    app.handling.clear();
    const auto start = Clock::now();
    dialog.findChild<QPushButton*>(QStringLiteral("repeat"))->click();
    const TestStatistics& stats = dialog.logic().statistics();
    while (stats.passed + stats.failed < count && dialog.logic().repeating())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double total = msSince(start);
    dialog.findChild<QPushButton*>(QStringLiteral("repeat"))->click();
    const Repeated result{1000.0 * (stats.passed + stats.failed) / total, stats.failed};
    dialog.reject();
    document.closeSocket();
    return result;
}

// The same reads queued straight into the engine, without the window, for comparison.
double engineLoop(std::uint16_t port, int count) {
    static const std::uint8_t kRequest[] = {0, 1, 0, 0, 0, 6, 1, 3, 0, 0, 0, 10};
    CVantrelDoc document;
    CCountingMessageBox messages;
    if (!document.onNewDocument(messages) || !connectDocument(document, port))
        return 0;
    CMessageQueue window;
    std::uint16_t requestLength = sizeof kRequest;
    // The engine writes the frame as sent back into the request.
    std::uint8_t request[sizeof kRequest];
    std::uint8_t response[640];
    std::uint16_t responseLength = 0;
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        std::copy(std::begin(kRequest), std::end(kRequest), request);
        document.context().engine.queueJob(JobType::ModbusRequest, request, &requestLength,
                                           response, &responseLength, window.handle());
        const auto result = window.waitFor(WM_COMMS_RESULT, 10000);
        if (!result || result->lParam != 0)
            return 0;
    }
    const double total = msSince(start);
    document.closeSocket();
    return 1000.0 * count / total;
}

double libmodbusLoop(std::uint16_t port, int count) {
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
    if (ctx == nullptr || modbus_connect(ctx) != 0)
        return 0;
    std::uint16_t registers[10];
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i)
        if (modbus_read_registers(ctx, 0, 10, registers) != 10)
            return 0;
    const double total = msSince(start);
    modbus_close(ctx);
    modbus_free(ctx);
    return 1000.0 * count / total;
}

void printHandling(std::vector<double> times) {
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    std::printf("window handling of a 125-register result: median %.3f ms   p90 %.3f ms   max %.3f "
                "ms (%zu results)\n",
                times[times.size() / 2], times[times.size() * 9 / 10], times.back(), times.size());
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int count = argc > 1 ? std::atoi(argv[1]) : 300;
    int qtArgc = 1;
    char name[] = "bench_test_dialog";
    char* qtArgv[] = {name, nullptr};
    CTimingApplication app(qtArgc, qtArgv);
    CLibmodbusUnit unit;

    // The first window of the run pays for fonts and the first paints.
    repeatThroughWindow(app, unit.port(), 20, "10");
    const Repeated window = repeatThroughWindow(app, unit.port(), count, "10");
    const double engine = engineLoop(unit.port(), count);
    const double client = libmodbusLoop(unit.port(), count);
    std::printf("%d reads of 10 holding registers, Modbus/TCP on 127.0.0.1\n", count);
    std::printf("Test window, repeat mode:   %8.1f exchanges/s (%d failed)\n", window.perSecond,
                window.failed);
    std::printf("engine alone (queueJob):    %8.1f exchanges/s\n", engine);
    std::printf("libmodbus client loop:      %8.1f exchanges/s\n", client);
    std::printf("design floor (two 10 ms waits): about 47 exchanges/s; window reaches %.0f %%\n",
                100.0 * window.perSecond / 47.0);

    const Repeated large = repeatThroughWindow(app, unit.port(), std::min(count, 200), "125");
    std::printf("repeat of 125-register reads: %.1f exchanges/s (%d failed)\n", large.perSecond,
                large.failed);
    printHandling(app.handling);
    return window.failed == 0 && large.failed == 0 ? 0 : 1;
}
