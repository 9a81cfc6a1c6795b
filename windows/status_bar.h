#pragma once

#include <string>

class CLocation;

// Ticks of the indicator timer that one blink lasts for an activity of `amount` (milliseconds of
// a serial write or read, or bytes of one socket send or receive): 10 up to 10, 30 from 200,
// 20 in between.
int activityBlinkLength(unsigned amount);

// One activity indicator of the status bar: frame 0 unlit, frame 1 lit.
class CActivityIndicator {
public:
    // Starts (or restarts) a blink for an activity of `amount`.
    void start(unsigned amount);
    // Advances the blink by one tick. Returns the frame to show now (0 or 1), or -1 when the
    // frame stays as it is.
    int tick();
    // Ends any blink; the caller shows frame 0.
    void reset();

    int blinkLength() const { return blinkLength_; }
    int counter() const { return counter_; }

private:
    int blinkLength_ = 0;
    int counter_ = 0;
};

// Where the two indicators sit inside the second pane of the status bar.
struct IndicatorPlacement {
    int transmitX, transmitWidth;
    int receiveX, receiveWidth;
    int top, height;
};

// Splits the pane rectangle (shrunk by one pixel on every side) into the transmit (left) and
// receive (right) halves.
IndicatorPlacement placeIndicators(int left, int top, int right, int bottom);

// What the connection pane of the status bar shows.
struct ConnectionPaneInput {
    bool online = false;
    const CLocation* location = nullptr; // the location connected to (online only)
    // Engine parameters in force; they include temporary changes.
    int modbusId = 1;
    int time1 = 0;
    int time2 = 0;
    int retries = 0;
    unsigned closeError = 0; // the socket's last close error (offline only)
    std::string decimalSeparator = ".";
};

// The connection pane text. Offline: "Offline", followed by " - " and the text of the socket's
// close error when there is one. Online: the location's name, three blanks, the address (TCP/IP,
// with the decimal separator in place of the dots) or the number (modem and satellite) or
// nothing (direct), three blanks and the details with the engine parameters in force.
std::string connectionPaneText(const ConnectionPaneInput& input);
