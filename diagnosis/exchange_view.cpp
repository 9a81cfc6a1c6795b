#include "diagnosis/exchange_view.h"

#include "protocol/check_values.h"
#include "protocol/modbus_message.h"
#include "resources/string_table.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::size_t kRtuCheckBytes = 2;
constexpr std::size_t kRtuShortest = 4; // address, function, CRC
constexpr std::size_t kRtuException = 5;
constexpr std::size_t kRtuFixedRequest = 8; // reads, single writes and their echoes
constexpr std::size_t kMbapHeader = 6;
constexpr std::size_t kHexShown = 24; // bytes an evidence text shows before it cuts

bool rtuCheckPasses(std::span<const std::uint8_t> bytes, std::size_t length) {
    if (length < kRtuShortest || length > bytes.size())
        return false;
    const std::uint16_t crc = crc16(bytes.data(), static_cast<int>(length - kRtuCheckBytes));
    return bytes[length - 2] == (crc & 0xFF) && bytes[length - 1] == (crc >> 8);
}

// The lengths an RTU frame starting here can have, from its own fields: a reply, an exception,
// a request or echo of fixed size, a multiple write, and all the bytes.
std::array<std::size_t, 5> rtuCandidateLengths(std::span<const std::uint8_t> bytes) {
    std::array<std::size_t, 5> lengths{};
    if (bytes.size() < kRtuShortest)
        return lengths;
    lengths[0] = bytes.size() > 2 ? std::size_t{5} + bytes[2] : 0;
    lengths[1] = kRtuException;
    lengths[2] = kRtuFixedRequest;
    lengths[3] = bytes.size() > 6 ? std::size_t{9} + bytes[6] : 0;
    lengths[4] = bytes.size();
    return lengths;
}

int hexValue(std::uint8_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::uint16_t word(const ByteVector& data, std::size_t at) {
    return static_cast<std::uint16_t>(data[at] << 8 | data[at + 1]);
}

void splitAttempts(const std::vector<ExchangeRecord>& records, std::vector<AttemptView>& out) {
    AttemptView current;
    bool started = false;
    for (const ExchangeRecord& r : records) {
        switch (r.type) {
        case CommsLogType::RxFlush:
            if (started) {
                out.push_back(std::move(current));
                current = {};
                started = false;
            }
            if (current.flushed.empty() && !r.bytes.empty())
                current.flushAtMs = r.atMs;
            current.flushed.insert(current.flushed.end(), r.bytes.begin(), r.bytes.end());
            break;
        case CommsLogType::Tx:
            if (started) {
                out.push_back(std::move(current));
                current = {};
            }
            started = true;
            current.sent = r.bytes;
            current.txAtMs = r.atMs;
            break;
        case CommsLogType::Rx:
            if (current.received.empty() && !r.bytes.empty())
                current.rxAtMs = r.atMs;
            current.received.insert(current.received.end(), r.bytes.begin(), r.bytes.end());
            break;
        case CommsLogType::Error:
            current.errors.push_back(r.code);
            current.lastErrorAtMs = r.atMs;
            break;
        default:
            break;
        }
    }
    if (started || !current.flushed.empty() || !current.errors.empty())
        out.push_back(std::move(current));
}

} // namespace

std::optional<FrameView> decodeRtu(std::span<const std::uint8_t> bytes) {
    for (const std::size_t length : rtuCandidateLengths(bytes)) {
        if (!rtuCheckPasses(bytes, length))
            continue;
        FrameView f;
        f.unit = bytes[0];
        f.function = bytes[1];
        f.data.assign(bytes.begin() + 2, bytes.begin() + static_cast<std::ptrdiff_t>(length - 2));
        f.length = length;
        return f;
    }
    return std::nullopt;
}

std::optional<FrameView> decodeAscii(std::span<const std::uint8_t> bytes) {
    if (bytes.empty() || bytes[0] != ':')
        return std::nullopt;
    ByteVector binary;
    std::size_t at = 1;
    for (; at + 1 < bytes.size() && bytes[at] != '\r'; at += 2) {
        const int high = hexValue(bytes[at]);
        const int low = hexValue(bytes[at + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        binary.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    if (at + 1 >= bytes.size() || bytes[at] != '\r' || bytes[at + 1] != '\n' || binary.size() < 3)
        return std::nullopt;
    unsigned sum = 0;
    for (const std::uint8_t b : binary)
        sum += b;
    if ((sum & 0xFF) != 0)
        return std::nullopt;
    FrameView f;
    f.unit = binary[0];
    f.function = binary[1];
    f.data.assign(binary.begin() + 2, binary.end() - 1);
    f.length = at + 2;
    return f;
}

std::optional<FrameView> decodeMbap(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kMbapHeader + 2 || bytes[2] != 0 || bytes[3] != 0)
        return std::nullopt;
    const std::size_t length = static_cast<std::size_t>(bytes[4] << 8 | bytes[5]);
    if (length < 2 || kMbapHeader + length > bytes.size())
        return std::nullopt;
    FrameView f;
    f.transactionId = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
    f.unit = bytes[6];
    f.function = bytes[7];
    f.data.assign(bytes.begin() + 8, bytes.begin() + static_cast<std::ptrdiff_t>(6 + length));
    f.length = kMbapHeader + length;
    return f;
}

std::optional<FrameView> decodeFrame(std::span<const std::uint8_t> bytes, int framing) {
    switch (framing) {
    case kFrameAscii:
        return decodeAscii(bytes);
    case kFrameModbusTcp:
        return decodeMbap(bytes);
    default:
        return decodeRtu(bytes);
    }
}

ExchangeView::ExchangeView(const DiagnosisEvidence& e) : evidence(e) {
    splitAttempts(e.records, attempts);
    const ByteVector& sent = e.requestSent.empty() ? e.requestBuilt : e.requestSent;
    request = decodeFrame(sent, e.link.framing);
}

int ExchangeView::wireAddress() const {
    const int fn = function();
    const bool addressed = (fn >= 1 && fn <= 6) || fn == 15 || fn == 16;
    if (!addressed || request->data.size() < 2)
        return -1;
    return word(request->data, 0);
}

int ExchangeView::wireQuantity() const {
    const int fn = function();
    const bool counted = (fn >= 1 && fn <= 4) || fn == 15 || fn == 16;
    if (!counted || request->data.size() < 4)
        return -1;
    return word(request->data, 2);
}

ByteVector ExchangeView::reply() const {
    const AttemptView* a = last();
    if (a == nullptr)
        return {};
    const ByteVector& in = a->received;
    if (!a->sent.empty() && in.size() >= a->sent.size() &&
        std::equal(a->sent.begin(), a->sent.end(), in.begin()))
        return ByteVector(in.begin() + static_cast<std::ptrdiff_t>(a->sent.size()), in.end());
    return in;
}

std::optional<FrameView> ExchangeView::decodedReply() const {
    const ByteVector bytes = reply();
    return decodeFrame(bytes, framing());
}

bool ExchangeView::receivedAnything() const {
    return std::any_of(attempts.begin(), attempts.end(), [](const AttemptView& a) {
        return !a.received.empty() || !a.flushed.empty();
    });
}

std::string hexText(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    const std::size_t shown = std::min(bytes.size(), kHexShown);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0)
            text += ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    if (shown < bytes.size())
        text += " ...";
    return text;
}

std::string numberText(long long value) {
    return std::to_string(value);
}

std::string labelText(unsigned id) {
    std::string text(loadString(id));
    while (!text.empty() && (text.back() == ':' || text.back() == ' '))
        text.pop_back();
    std::erase(text, '&');
    return text;
}

namespace {

std::string substitute(std::string_view text, const std::vector<std::string>& args) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '%' && next >= '1' && next <= '9' &&
            static_cast<std::size_t>(next - '1') < args.size()) {
            out += args[static_cast<std::size_t>(next - '1')];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

Finding makeFinding(Cause cause, const std::vector<std::string>& evidenceArgs,
                    const std::vector<std::string>& nextArgs) {
    const unsigned id = causeTextId(cause);
    Finding f;
    f.cause = cause;
    f.statement = std::string(loadString(id));
    f.evidence = substitute(loadString(id + 1), evidenceArgs);
    f.nextCheck = substitute(loadString(id + 2), nextArgs);
    return f;
}
