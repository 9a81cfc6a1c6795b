#pragma once

#include "config/location.h"
#include "platform/window_messages.h"
#include "protocol/modbus_message.h"
#include "windows/find_unit_plan.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

class CVantrelDoc;

// Ticks of the window while a TCP/IP connection of the sweep is being made.
constexpr int kFindConnectTickMs = 10;

// The states of a sweep. Paused and Cancelling wait for the probe in flight to end.
enum class FindState : std::uint8_t { Idle, Running, Paused, Cancelling, Done };

// What the finder asks of its window.
class IFindUnitView {
public:
    virtual ~IFindUnitView() = default;
    // The state, the progress or the results have changed: show them again.
    virtual void sweepChanged() = 0;
    virtual void messageBox(const std::string& text) = 0;
    // Starts or stops the ticks of kFindConnectTickMs that drive onConnectTick.
    virtual void startConnectTicks() = 0;
    virtual void stopConnectTicks() = 0;
};

// One unit found: where it answered, how fast, and what it said about itself.
struct FindResult {
    FindSetting setting;
    int unitId = 0;
    int responseMs = 0;
    std::string identification;
};

// The Find Unit window without its widgets: the sweep as jobs on the comms engine, one probe at a
// time. The serial port is opened anew with each setting between jobs, when the comms thread does
// not use it; every probe goes through the engine, so that it is in the communications log.
// Runs on the user-interface thread; the window forwards WM_COMMS_RESULT and the ticks.
class CFindUnitDlg {
public:
    CFindUnitDlg(CVantrelDoc& document, IFindUnitView& view, WindowHandle notifyWindow);
    // Ends a sweep still running (see shutdown).
    ~CFindUnitDlg();
    CFindUnitDlg(const CFindUnitDlg&) = delete;
    CFindUnitDlg& operator=(const CFindUnitDlg&) = delete;

    FindForm form;

    // The form's check and plan as they stand, for the length shown before the start.
    FindCheck checkForm() const { return checkFindForm(form); }
    // Start: refused with a message while the program is online, or with the field to focus when
    // the form is refused (the check is returned); otherwise the sweep starts.
    FieldCheck<FindField> start();
    void pause();
    void resume();
    // Stops the sweep after the probe in flight; what it opened is closed.
    void cancel();
    // The window closes: aborts the probe in flight, closes what the sweep opened.
    void shutdown();

    void onCommsResult(WParam wParam, LParam lParam);
    void onConnectTick();

    FindState state() const { return state_; }
    const FindPlan& plan() const { return plan_; }
    int probesDone() const { return done_; }
    // "12 of 2470 probes done, 2458 left, about 4 min 6 s left"
    std::string progressText() const;
    // "Trying COM4  9600 8N1  RTU, ID 5", or the state's text.
    std::string activityText() const;
    // How the sweep ended; empty until it has.
    const std::string& endText() const { return endText_; }
    const std::vector<FindResult>& results() const { return results_; }
    // The texts of a result row: settings, ID, identification, response time.
    std::vector<std::string> resultRow(int row) const;
    // The location that reaches result `row`, as Create Location offers it to the editor.
    CLocation locationFor(int row) const;

    // The request of each step, as the engine hands it back (tests look at the last).
    const std::uint8_t* lastRequest() const { return request_; }

private:
    enum class Step : std::uint8_t { None, Probe, DeviceId, ServerId };

    void nextProbe();
    bool settingReady(const FindSetting& setting) const;
    bool openSetting(const FindSetting& setting);
    bool openSerial(const FindSetting& setting);
    void startTcpConnect(const FindSetting& setting);
    void skipTcpPort(int error);
    void prepareMessage(const FindSetting& setting, int unitId);
    void send(Step step);
    void onProbeResult(int result);
    void identifyOrKeep(Step step);
    void onIdentificationResult(Step step, int result);
    void keepFound();
    void advance();
    void finish(const std::string& text);
    void closeLine();
    // Ends the sweep without a word to the window: aborts the job in flight, closes the line.
    void stopSweep();

    CVantrelDoc& document_;
    IFindUnitView& view_;
    WindowHandle notifyWindow_;
    FindPlan plan_;
    FindState state_ = FindState::Idle;
    Step step_ = Step::None;
    int done_ = 0;
    bool lineOpen_ = false;
    FindSetting openSetting_;
    bool connecting_ = false;
    std::uint32_t connectStart_ = 0;
    std::uint32_t sentAt_ = 0;
    FindResult pending_;
    std::string endText_;
    // Why a TCP port was passed over; said when the sweep ends.
    std::string note_;
    std::set<int> deadPorts_;
    std::vector<FindResult> results_;
    std::uint8_t request_[kFrameBufferSize] = {};
    std::uint16_t requestLength_ = 0;
    std::uint8_t response_[kFrameBufferSize] = {};
    std::uint16_t responseLength_ = 0;
};
