#pragma once

#include "comms/modem_dialer.h"
#include "config/location.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

class CSettingsFile;
class CVantrelDoc;

// Timers of the Connect dialog: modem dialing every second, TCP connect supervision every 10 ms.
constexpr int kTimerDialing = 1;
constexpr int kTimerDialingMs = 1000;
constexpr int kTimerTcpConnect = 6;
constexpr int kTimerTcpConnectMs = 10;

// What the Connect dialog's logic shows and asks of its window.
class IConnectWindow {
public:
    virtual ~IConnectWindow() = default;
    virtual void setLocationText(const std::string& text) = 0;
    virtual void setStatusText(const std::string& text) = 0;
    virtual void setModemResponse(const std::string& text) = 0;
    // Connect and Cancel together.
    virtual void enableButtons(bool enabled) = 0;
    virtual void showAbort(bool visible) = 0;
    virtual void messageBox(const std::string& text) = 0;
    // Starts or stops kTimerDialing or kTimerTcpConnect.
    virtual void startTimer(int id) = 0;
    virtual void stopTimer(int id) = 0;
    // Runs the modem hang-up dialog to its end.
    virtual void runHangUp() = 0;
    // Closes the dialog (the cancel path).
    virtual void closeDialog() = 0;
};

// The texts of one row of the location list.
struct ConnectRow {
    std::string name;
    std::string number;
    std::string media;
    std::string details;
};

// Widths of the four list columns for a list `width` pixels wide: a quarter, three tenths, a
// tenth and three eighths.
std::array<int, 4> connectColumnWidths(int width);

// The Connect dialog without its widgets: the location list, the connect operation for TCP/IP,
// Direct, Modem and Satellite locations, and the finish as connected. Runs on the user-interface
// thread; its window forwards the button presses, timer ticks and WM_COMMS_RESULT messages.
class CConnectDlg : private IModemDialObserver {
public:
    // `notifyWindow` receives the results of the modem commands; `decimalSeparator` takes the
    // place of the dots of the TCP/IP addresses in the list.
    CConnectDlg(CVantrelDoc& document, CSettingsFile& settings, IConnectWindow& window,
                IModemJobQueue& jobs, WindowHandle notifyWindow, std::string decimalSeparator);

    // Fills the rows and selects the last location used (row 0 when none matches). Returns false
    // after message 7002 when there is no location, and the dialog closes. When the document is
    // reconnecting, closes the socket and connects at once.
    bool initialise();

    const std::vector<ConnectRow>& rows() const { return rows_; }
    // The selected row; -1 for none.
    int selectedRow = -1;

    // The Connect button, or a double click on a row.
    void connect();
    // The Abort button.
    void abort();
    void onTimer(int id);
    void onCommsResult(WParam wParam, LParam lParam);

    bool connecting() const { return connecting_; }
    const CModemDialer& dialer() const { return dialer_; }
    // The pause after CONNECT before the link is used (tests shorten it).
    void setConnectSettleMs(int milliseconds) { dialer_.connectSettleMs = milliseconds; }
    // The dial's wait beyond the connect limit (tests shorten it).
    void setDialAnswerMarginMs(int milliseconds) { dialer_.dialAnswerMarginMs = milliseconds; }

private:
    void connectTcp();
    void connectSerial();
    bool openPort(int portNumber);
    void loadSerialEngineParameters();
    void startDialing();
    void tcpTick();
    void reportTcpError(int code);
    void reportSerialError(unsigned code, const std::string& statusSuffix = {});
    void finishConnected();

    // IModemDialObserver
    void statusText(const std::string& text) override;
    void messageBox(unsigned id) override;
    void modemResponse(const std::string& line) override;
    void showAbort(bool visible) override;
    void stopTimer() override;
    void connected(std::int32_t idleLimitMs) override;
    void goOffline() override;
    void runHangUp() override;
    void closePort() override;
    void dialingStopped() override;

    CVantrelDoc& document_;
    CSettingsFile& settings_;
    IConnectWindow& window_;
    CModemDialer dialer_;
    std::vector<ConnectRow> rows_;
    CLocation location_;
    bool connecting_ = false;
    bool tcpConnecting_ = false;
    bool dialing_ = false;
    int elapsedMs_ = 0;
    int timeLimitMs_ = 0;
    std::string decimalSeparator_;
};
