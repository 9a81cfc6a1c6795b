#pragma once

// What the window tests share: the Qt application, bounded waits, screenshots, a user who answers
// modal windows as they come up, the independent Modbus units with the locations that reach them,
// and Online > Connect... run through the real Connect dialog.

#include "app/connect_window.h"
#include "config/location.h"
#include "config/settings_file.h"
#include "qt_test_support.h"
#include "tests/support/engine_test_support.h"
#include "tests/support/peer_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_serial_support.h"
#include "windows/vantrel_doc.h"
#include "windows/view_commands.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

// A user who answers each modal window as it comes up. Answers run from the event queue, not from
// the user's timer, so that an answer which opens a further modal window (a message box, a nested
// dialog) leaves the user free to answer that one too.
class CModalUser {
public:
    using Answer = std::function<void(QWidget& window)>;

    explicit CModalUser(Answer answer, int periodMs = 20) : answer_(std::move(answer)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { look(); });
        timer_.start(periodMs);
    }
    CModalUser(const CModalUser&) = delete;
    CModalUser& operator=(const CModalUser&) = delete;

private:
    void look() {
        if (pending_ || QApplication::activeModalWidget() == nullptr)
            return;
        pending_ = true;
        QTimer::singleShot(0, &timer_, [this] {
            pending_ = false;
            if (QWidget* window = QApplication::activeModalWidget())
                answer_(*window);
        });
    }

    Answer answer_;
    bool pending_ = false;
    QTimer timer_;
};

// Independent Modbus units: pymodbus with Modbus/TCP, RTU or ASCII framing carried over TCP, and
// libmodbus with Modbus/TCP or RTU on a serial line.
enum class Unit { PymodbusTcp, PymodbusRtu, PymodbusAscii, LibmodbusTcp, LibmodbusRtuSerial };

inline void PrintTo(Unit unit, std::ostream* os) {
    constexpr const char* kNames[] = {"PymodbusTcp", "PymodbusRtu", "PymodbusAscii", "LibmodbusTcp",
                                      "LibmodbusRtuSerial"};
    *os << kNames[static_cast<int>(unit)];
}

// The COM name the serial unit is reached on.
constexpr const char* kUnitComPort = "COM5";

inline bool isPymodbus(Unit unit) {
    return unit == Unit::PymodbusTcp || unit == Unit::PymodbusRtu || unit == Unit::PymodbusAscii;
}

inline ModbusType framingOf(Unit unit) {
    switch (unit) {
    case Unit::PymodbusRtu:
    case Unit::LibmodbusRtuSerial:
        return ModbusType::Rtu;
    case Unit::PymodbusAscii:
        return ModbusType::Ascii;
    default:
        return ModbusType::ModbusTcp;
    }
}

// Why `unit` cannot run on this machine; empty when it can.
inline std::string missingForUnit(Unit unit) {
    if (isPymodbus(unit) && ::access("/usr/lib/python3/dist-packages/pymodbus", F_OK) != 0)
        return "python3-pymodbus is not installed";
    if (!isPymodbus(unit) && std::string(VANTREL_LIBMODBUS_UNIT).empty())
        return "libmodbus-dev is not installed";
    if (unit == Unit::LibmodbusRtuSerial && ::access("/usr/bin/socat", X_OK) != 0)
        return "socat is not installed";
    return {};
}

inline CLocation tcpLocation(const char* name, std::uint16_t port) {
    CLocation location(kMediaCodeTcpIp);
    location.name = name;
    location.ipAddress = kLoopback;
    location.tcpPort = port;
    location.modbusType = ModbusType::ModbusTcp;
    location.time1 = 3000;
    location.time2 = 500;
    location.retries = 1;
    return location;
}

inline CLocation serialLocation(int mediaCode, const char* name, const char* portName) {
    CLocation location(mediaCode);
    location.name = name;
    location.portName = portName;
    location.number = "5551234";
    location.modbusType = ModbusType::Rtu;
    location.baudIndex = 6; // 19200
    location.parityIndex = kParityNone;
    location.time1 = 1000;
    location.time2 = 150;
    location.retries = 1;
    location.redialWait = 1;
    location.connectTimeout = 2;
    return location;
}

// One of the units running as a child process; the serial unit sits at the far end of a socat
// line whose near end is kUnitComPort in a temporary ports folder.
class CRunningUnit {
public:
    explicit CRunningUnit(Unit unit) : unit_(unit) {
        if (unit == Unit::LibmodbusRtuSerial) {
            ports_ = std::make_unique<CTempPortsDir>();
            line_ = std::make_unique<CSocatLine>(ports_->path() + "/" + kUnitComPort,
                                                 ports_->path() + "/unit");
            if (!line_->ready())
                return;
        }
        process_ = std::make_unique<CPeerProcess>(command());
    }

    // Whether the unit has started and is listening.
    bool started() const { return process_ && process_->port() != 0; }
    std::uint16_t port() const { return process_ ? process_->port() : 0; }
    // The unit ends and its connection closes.
    void stop() { process_.reset(); }
    // A location that reaches the unit: TCP/IP to 127.0.0.1, or a direct line on kUnitComPort.
    CLocation location(const char* name) const {
        CLocation location = unit_ == Unit::LibmodbusRtuSerial
                                 ? serialLocation(kMediaCodeDirect, name, kUnitComPort)
                                 : tcpLocation(name, port());
        location.modbusType = framingOf(unit_);
        return location;
    }

private:
    std::vector<std::string> command() const {
        const std::string script = VANTREL_SOURCE_DIR "/tests/peers/pymodbus_tcp_unit.py";
        switch (unit_) {
        case Unit::PymodbusTcp:
            return {"/usr/bin/python3", script, "socket"};
        case Unit::PymodbusRtu:
            return {"/usr/bin/python3", script, "rtu"};
        case Unit::PymodbusAscii:
            return {"/usr/bin/python3", script, "ascii"};
        case Unit::LibmodbusTcp:
            return {VANTREL_LIBMODBUS_UNIT};
        case Unit::LibmodbusRtuSerial:
            return {VANTREL_SERIAL_LIBMODBUS_UNIT, ports_->path() + "/unit"};
        }
        return {};
    }

    Unit unit_;
    std::unique_ptr<CTempPortsDir> ports_;
    std::unique_ptr<CSocatLine> line_;
    std::unique_ptr<CPeerProcess> process_;
};

// A settings file in a temporary folder, removed with the object.
class CTempSettings {
public:
    CTempSettings() { file.path = folder_ / "VNTLSettings.dat"; }

    bool valid() const { return folder_.valid(); }

    CSettingsFile file;

private:
    CTempFolder folder_{"tmp-settings"};
};

inline void closeWindow(QWidget& window) {
    window.close();
}

// Online > Connect... as a user runs it: the Connect dialog comes up with the last location used
// selected; the user presses Connect once, and Cancel should the dialog become usable again (the
// connect failed). `answerOthers` answers every other modal window, such as a failure's message
// box or the Test dialog the view opens after a connect. Returns whether the document is online.
inline bool connectFromMenu(CVantrelDoc& document, CSettingsFile& settings, IViewDialogs& dialogs,
                            IMessageBox& messages,
                            const CModalUser::Answer& answerOthers = closeWindow) {
    CViewCommands commands(document, settings, dialogs, messages, [] {});
    bool pressed = false;
    CModalUser user([&](QWidget& window) {
        auto* connect = qobject_cast<CConnectWindow*>(&window);
        if (connect == nullptr) {
            answerOthers(window);
            return;
        }
        if (!control<QPushButton>(*connect, "connect")->isEnabled())
            return;
        QTest::mouseClick(pressed ? control<QPushButton>(*connect, "cancel")
                                  : control<QPushButton>(*connect, "connect"),
                          Qt::LeftButton);
        pressed = true;
    });
    commands.connect();
    return document.online == 1;
}
