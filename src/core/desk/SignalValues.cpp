#include "core/desk/SignalValues.h"

#include "core/documents/NumericText.h"

namespace tessaro::desk {

namespace {

unsigned bitAt(const FrameBytes& bytes, unsigned position) {
    return bytes[position / 8] >> (position % 8) & 1u;
}

}  // namespace

std::optional<SignalValue> decodeSignal(const FrameBytes& bytes, const SignalDefinition& signal) {
    if (signal.length == 0 || signal.length > 64 || bytesOf(signal).last >= bytes.size()) return std::nullopt;
    std::uint64_t raw = 0;
    if (signal.byteOrder == ByteOrder::littleEndian) {
        // The start bit is the least significant one, and the bits go up through the bytes.
        for (unsigned k = 0; k < signal.length; ++k) raw |= std::uint64_t(bitAt(bytes, signal.startBit + k)) << k;
    } else {
        // The start bit is the most significant one; below bit 0 of a byte the signal goes on at bit 7 of the next.
        unsigned position = signal.startBit;
        for (unsigned k = signal.length; k-- > 0;) {
            raw |= std::uint64_t(bitAt(bytes, position)) << k;
            position = position % 8 == 0 ? position + 15 : position - 1;
        }
    }
    const std::uint64_t all = signal.length == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << signal.length) - 1;
    double number = double(raw);
    if (signal.isSigned && signal.length < 64 && (raw >> (signal.length - 1) & 1))
        number = double(std::int64_t(raw | ~all));
    else if (signal.isSigned && signal.length == 64)
        number = double(std::int64_t(raw));
    return SignalValue{signal.name, number * signal.factor + signal.offset, signal.unit, raw != all};
}

std::vector<SignalValue> decodeSignals(const FrameBytes& bytes, const MessageDefinition& message) {
    std::vector<SignalValue> values;
    for (const SignalDefinition& signal : message.signalDefinitions)
        if (std::optional<SignalValue> value = decodeSignal(bytes, signal)) values.push_back(std::move(*value));
    return values;
}

std::string signalValueText(const SignalValue& value) {
    if (!value.available) return "not available";
    return shortestDecimal(value.value) + (value.unit.empty() ? "" : " " + value.unit);
}

}  // namespace tessaro::desk
