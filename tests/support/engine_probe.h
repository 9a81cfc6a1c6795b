#pragma once

// Reaches the comms thread's side of the engine, so that a test can run one exchange without the
// thread and watch the flags the thread keeps.

#include "comms/comms_context.h"

#include <mutex>

class CCommsEngineProbe {
public:
    // One exchange, prepared as the comms thread prepares it: the wait sets, the log switch and
    // the main window of the context.
    static int serialTransaction(CCommsContext& c, CSerialPort& port) {
        prepare(c);
        return c.engine.serialTransaction(c.message, port);
    }
    static int serialTransaction(CCommsContext& c) { return serialTransaction(c, c.serialPort); }
    static int tcpTransaction(CCommsContext& c) {
        prepare(c);
        return c.engine.tcpTransaction(c.message, c.socket);
    }

    static CEvent& abortEvent(CCommsEngine& e) { return e.abortEvent; }
    static CEvent& stopEvent(CCommsEngine& e) { return e.stopEvent; }
    static std::atomic<std::int32_t>& aborted(CCommsEngine& e) { return e.aborted; }
    static std::atomic<std::int32_t>& stopping(CCommsEngine& e) { return e.stopping; }
    static std::size_t queuedJobs(CCommsEngine& e) {
        std::lock_guard guard(e.jobLock);
        return e.jobQueue.size();
    }

private:
    static void prepare(CCommsContext& c) {
        c.engine.armWaitSets(c.socket.dataReady);
        c.engine.logEnabled = c.logComms.load();
        c.engine.activityWindow_ = c.mainWindow.load();
    }
};
