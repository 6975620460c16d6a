#include "core/editors/PargenDocument.h"

#include "core/documents/AtomicFile.h"
#include "core/documents/DocumentNames.h"
#include "core/documents/Errors.h"
#include "core/documents/NumericText.h"
#include "core/documents/XmlDocument.h"
#include "core/editors/RowRules.h"

namespace tessaro {

namespace {

PargenSettings fromDocument(const XmlDocument& document) {
    PargenSettings settings;
    const std::optional<XmlElement> root = document.findTopLevel(kPargenRoot);
    const auto text = [&](std::string_view name) -> std::optional<std::string> {
        if (!root) return std::nullopt;
        const std::optional<XmlElement> element = root->findChild(name);
        if (!element) return std::nullopt;
        return element->text();
    };
    const auto integer = [&](std::string_view name, std::int32_t fallback) {
        const std::optional<std::string> value = text(name);
        return value ? toIntegerOr(*value, fallback) : fallback;
    };
    const PargenSettings defaults;
    settings.canBaudRatePosition = integer(kPargenColumns.canBaudRate.name, defaults.canBaudRatePosition);
    settings.deviceId = text(kPargenColumns.canDeviceId.name).value_or(defaults.deviceId);
    settings.rs232 = integer(kPargenColumns.serialInterface.name, 0) != 0;
    settings.rtuBaudRatePosition = integer(kPargenColumns.rtuBaudRate.name, defaults.rtuBaudRatePosition);
    settings.parityPosition = integer(kPargenColumns.parity.name, defaults.parityPosition);
    settings.stopBitsPosition = integer(kPargenColumns.stopBits.name, defaults.stopBitsPosition);
    settings.timeout = text(kPargenColumns.timeout.name).value_or(defaults.timeout);
    settings.delay = text(kPargenColumns.delay.name).value_or(defaults.delay);
    return settings;
}

}  // namespace

ShowRead<std::optional<PargenSettings>> readPargen(const std::string& path) {
    ShowRead<std::optional<PargenSettings>> read;
    if (!XmlDocument::exists(path)) {
        read.content = PargenSettings{};
        return read;
    }
    try {
        XmlDocument document;
        document.load(path);
        read.content = fromDocument(document);
        if (!document.findTopLevel(kPargenRoot)) read.unread(kPargenFileName);
    } catch (const Error& failure) {
        read.unread(kPargenFileName, withPlace(failure.what(), {path}));
    }
    return read;
}

std::optional<std::string> validatePargen(const PargenSettings& settings) {
    if (!within(settings.deviceId, kPargenColumns.canDeviceId))
        return "Error! The ID Device must to be between 0 and 240";
    if (!within(settings.timeout, kPargenColumns.timeout))
        return "Error! The Modbus RTU TimeOut must to be between 1 and 65535 milleseconds";
    if (!within(settings.delay, kPargenColumns.delay))
        return "Error! The Modbus RTU Cyclic Delay must to be between 1 and 65535 milleseconds";
    if (settings.rs232 && settings.stopBitsPosition > 0)
        return "Error! when RS232 is select only 1 Stop bit can be used";
    // Only a position of the list is stored, so typed text that names no entry cannot be kept.
    if (settings.canBaudRatePosition < 0 || settings.canBaudRatePosition >= std::int32_t(kCanBaudRates.size()))
        return "Error! The J1939 Baud rate must be one of 10, 20, 50, 100, 125, 250, 500, 800, 1000 kbit/s";
    return std::nullopt;
}

std::string pargenText(const PargenSettings& settings) {
    XmlDocument document;
    XmlElement root = document.addRoot(kPargenRoot);
    root.addChild(kPargenColumns.canBaudRate.name).setText(std::to_string(settings.canBaudRatePosition));
    root.addChild(kPargenColumns.canDeviceId.name).setText(settings.deviceId);
    root.addChild(kPargenColumns.serialInterface.name).setText(settings.rs232 ? "1" : "0");
    root.addChild(kPargenColumns.rtuBaudRate.name).setText(std::to_string(settings.rtuBaudRatePosition));
    root.addChild(kPargenColumns.parity.name).setText(std::to_string(settings.parityPosition));
    root.addChild(kPargenColumns.stopBits.name).setText(std::to_string(settings.stopBitsPosition));
    root.addChild(kPargenColumns.timeout.name).setText(settings.timeout);
    root.addChild(kPargenColumns.delay.name).setText(settings.delay);
    return document.toText();
}

void savePargen(const std::string& path, const PargenSettings& settings) {
    replaceFile(path, pargenText(settings));
}

}  // namespace tessaro
