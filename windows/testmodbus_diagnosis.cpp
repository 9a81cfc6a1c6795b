// The Test dialog's diagnosis of its exchanges: the evidence each one leaves in the comms log,
// the "Likely cause" line and details, and the FINDING record after the exchange's ERROR.

#include "commslog/comms_log_store.h"
#include "windows/testmodbus_dlg.h"

void CTestModbusDlg::clearDiagnosis() {
    diagnosis_.clear();
    form.likelyCause.clear();
    form.causeDetails.clear();
}

void CTestModbusDlg::beginDiagnosis() {
    builtRequest_.assign(request_, request_ + requestLength_);
    if (const CCommsLogStore* log = host_.commsLog())
        diagnosis_.beginExchange(log->count());
}

DiagnosisEvidence CTestModbusDlg::exchangeEvidence() const {
    DiagnosisEvidence e;
    e.requestBuilt = builtRequest_;
    e.requestSent.assign(request_, request_ + requestLength_);
    if (const CCommsLogStore* log = host_.commsLog())
        e.records = exchangeRecords(*log, diagnosis_.firstRecord());
    e.link.serialLine = setup_.mediaType != MediaType::TcpIp;
    // As the request went: the operator may have changed the form since.
    e.link.framing =
        message_.tcpMode != 0 ? kFrameModbusTcp : (sent_.asciiFraming ? kFrameAscii : kFrameRtu);
    e.link.baudRate = e.link.serialLine ? host_.baudRate() : 0;
    e.link.removeEcho = message_.removeEcho.load() == 1;
    e.link.addressingIndex = message_.modiconCompatible != 0    ? kAddressingIndexModicon
                             : message_.registerAddressing != 0 ? kAddressingIndexRegister
                                                                : kAddressingIndexLogical;
    e.link.time1Ms = message_.time1.load();
    e.link.time2Ms = message_.time2.load();
    e.request.dataType = sent_.dataType;
    e.request.startAddress = sent_.startAddress;
    e.request.quantity = sent_.quantity;
    return e;
}

void CTestModbusDlg::showDiagnosis(DiagnosisEvidence evidence, int result) {
    CCommsLogStore* log = host_.commsLog();
    if (log == nullptr)
        return;
    evidence.result = result;
    const bool logged = !evidence.records.empty();
    diagnosis_.finishExchange(std::move(evidence));
    form.likelyCause = diagnosis_.line(repeating_);
    form.causeDetails = diagnosis_.details();
    // Only a logged exchange gets its finding logged: "Log Communications" may be off.
    if (logged && !diagnosis_.findings().empty())
        addFindingRecord(*log, diagnosis_.findings().front());
}
