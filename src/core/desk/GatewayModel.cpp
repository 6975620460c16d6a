#include "core/desk/GatewayModel.h"

#include <cstdio>

#include "core/documents/Errors.h"
#include "core/documents/NumericText.h"
#include "core/editors/PargenDocument.h"
#include "core/image/ConfigurationImage.h"
#include "core/j1939/Pgn.h"
#include "core/j1939/WellKnownPgns.h"
#include "core/map/MapFormats.h"
#include "core/signals/SignalDatabase.h"

namespace tessaro::desk {

namespace {

constexpr std::size_t kRegisterSpace = 65536;

GatewaySettings settingsOf(const DecodedImage& image) {
    if (image.general) {
        const ImageGeneralParameters& general = *image.general;
        return {general.canDeviceId, general.timeout, general.delay,    general.serialInterface,
                general.rtuBaudRate, general.parity,  general.stopBits, true};
    }
    const PargenSettings defaults;
    return {std::uint8_t(toInteger(defaults.deviceId)), std::uint16_t(toInteger(defaults.timeout)),
            std::uint16_t(toInteger(defaults.delay)),   std::uint8_t(defaults.rs232 ? 1 : 0),
            std::uint8_t(defaults.rtuBaudRatePosition), std::uint8_t(defaults.parityPosition),
            std::uint8_t(defaults.stopBitsPosition),    false};
}

std::string frameName(const ModelFrame& frame) {
    return "frame " + std::to_string(frame.number) + " (" + framePgnText(frame) + ")";
}

template <std::size_t N>
const std::string_view* listEntry(const std::array<std::string_view, N>& list, std::uint8_t position) {
    return position < N ? &list[position] : nullptr;
}

}  // namespace

GatewayModel buildGatewayModel(const DecodedImage& image) {
    GatewayModel model;
    model.settings = settingsOf(image);
    if (!model.settings.fromImage)
        model.notes.push_back(
            "the image has no general parameters: the run takes those of a new project (device ID 10, time-out "
            "1000 ms, cyclic delay 100 ms, 9600 bit/s, no parity, 1 stop bit, RS485)");

    for (std::size_t i = 0; i < image.frames.size(); ++i) {
        const ImageFrame& stored = image.frames[i];
        ModelFrame frame;
        frame.number = i + 1;
        frame.priority = stored.priority;
        frame.dataPage = stored.dataPage;
        frame.pgn = stored.pgn;
        frame.group = stored.group;
        frame.erase = stored.erase != 0;
        const Pgn pgn = framePgn(stored.dataPage, stored.pgn);
        frame.identifier = identifierOf(pgn, stored.priority, model.settings.sourceAddress);
        frame.requestPgn = pgn.number();
        if (const WellKnownPgn* known = findWellKnownPgn(pgn)) frame.acronym = std::string(known->acronym);
        if (stored.priority > 7)
            model.notes.push_back(frameName(frame) + ": priority " + std::to_string(stored.priority) +
                                  " does not fit in 3 bits: its identifier takes the low three, " +
                                  std::to_string(stored.priority & 7));
        if (stored.dataPage > 1)
            model.notes.push_back(frameName(frame) + ": data page " + std::to_string(stored.dataPage) +
                                  " is taken as " + std::to_string(stored.dataPage & 1));
        model.frames.push_back(std::move(frame));
    }

    for (std::size_t g = 0; g < image.groups.size(); ++g) model.groups.push_back({g + 1, image.groups[g], {}});
    for (std::size_t i = 0; i < model.frames.size(); ++i) {
        const ModelFrame& frame = model.frames[i];
        if (frame.onRequest()) {
            model.onRequest.push_back(i);
        } else if (frame.group <= model.groups.size()) {
            model.groups[frame.group - 1].frames.push_back(i);
        } else {
            model.notes.push_back(frameName(frame) + " is in group " + std::to_string(frame.group) +
                                  ", which the image does not hold: it is never sent");
        }
    }
    for (const ModelGroup& group : model.groups)
        if (group.cycleMs == 0 && !group.frames.empty())
            model.notes.push_back("group " + std::to_string(group.number) +
                                  " has the cyclic time 0: its frames are never sent");

    for (std::size_t d = 0; d < image.definitions.size(); ++d) {
        const ImageDefinition& definition = image.definitions[d];
        const std::string name = "definition " + std::to_string(d + 1);
        const std::optional<RegisterKind> kind = registerKindOf(definition.typeReg);
        if (!kind) {
            model.notes.push_back(name + ": Type_Reg " + std::to_string(definition.typeReg) +
                                  " names no register kind (3 holding, 4 input): it is not polled");
            continue;
        }
        std::size_t count = registersInUse(definition);
        if (definition.index + count > kRegisterSpace) {
            count = kRegisterSpace - definition.index;
            model.notes.push_back(name + ": its registers run past 65535: it is polled for the " +
                                  std::to_string(count) + " up to 65535");
        }
        const bool framed = definition.frame >= 1 && definition.frame <= model.frames.size();
        if (!framed)
            model.notes.push_back(name + " is of frame " + std::to_string(definition.frame) +
                                  ", which the image does not hold: it is polled and feeds nothing");
        ModelRequest request{{definition.deviceId, *kind, definition.index, std::uint16_t(count)}, d + 1, {}};
        request.feeds.resize(count);
        for (std::size_t r = 0; r < count && framed; ++r) {
            const std::uint8_t position = definition.positions[r];
            const unsigned nibbles[] = {unsigned(position >> 4), unsigned(position & 0x0F)};
            for (const RegisterHalf half : {RegisterHalf::high, RegisterHalf::low}) {
                const unsigned nibble = nibbles[half == RegisterHalf::high ? 0 : 1];
                if (nibble >= 1 && nibble <= 8)
                    request.feeds[r].push_back({std::size_t(definition.frame) - 1, std::uint8_t(nibble - 1), half});
            }
        }
        model.requests.push_back(std::move(request));
    }
    return model;
}

std::vector<FrameBytes> initialBytes(const GatewayModel& model) {
    FrameBytes unfed;
    unfed.fill(kNotAvailable);
    return std::vector<FrameBytes>(model.frames.size(), unfed);
}

void applyReply(const GatewayModel& model, const ModelRequest& request, const ModbusReply& reply,
                std::vector<FrameBytes>& bytes) {
    const bool answered = reply.outcome == ModbusOutcome::answered;
    for (std::size_t r = 0; r < request.feeds.size(); ++r) {
        for (const ByteFeed& feed : request.feeds[r]) {
            if (answered && r < reply.values.size()) {
                const std::uint16_t value = reply.values[r];
                bytes[feed.frame][feed.byte] =
                    std::uint8_t(feed.half == RegisterHalf::high ? value >> 8 : value & 0xFF);
            } else if (!answered && model.frames[feed.frame].erase) {
                bytes[feed.frame][feed.byte] = kNotAvailable;
            }
        }
    }
}

CanFrame canFrame(const ModelFrame& frame, const FrameBytes& bytes) {
    return CanFrame{frame.identifier, true, 8, bytes};
}

SerialLine serialLine(const GatewaySettings& settings) {
    SerialLine line;
    const std::string_view* baud = listEntry(kRtuBaudRates, settings.rtuBaudRate);
    if (!baud)
        throw Error("the image's Modbus baud rate is position " + std::to_string(settings.rtuBaudRate) +
                    ", which is not in the list (0 to " + std::to_string(kRtuBaudRates.size() - 1) + ")");
    line.baudRate = toInteger(*baud);
    if (!listEntry(kParities, settings.parity))
        throw Error("the image's parity is position " + std::to_string(settings.parity) +
                    ", which is not in the list (0 NONE, 1 ODD, 2 EVEN)");
    line.parity = "NOE"[settings.parity];
    if (!listEntry(kStopBits, settings.stopBits))
        throw Error("the image's stop bits are position " + std::to_string(settings.stopBits) +
                    ", which is not in the list (0 to " + std::to_string(kStopBits.size() - 1) + ")");
    line.stopBits = settings.stopBits == 0 ? 1 : 2;
    if (settings.stopBits == 1)
        line.notes.push_back("1.5 stop bits: the Modbus library sets 1 or 2, and the run takes 2");
    if (!listEntry(kSerialInterfaces, settings.serialInterface))
        throw Error("the image's Modbus interface is " + std::to_string(settings.serialInterface) +
                    ", neither 0 (RS485) nor 1 (RS232)");
    line.rs485 = settings.serialInterface == 0;
    return line;
}

std::string framePgnText(const ModelFrame& frame) {
    std::string text = "PGN " + pgnText(frame.parameterGroup());
    if (frame.dataPage & 1) text += " on data page 1";
    if (!frame.acronym.empty()) text += " " + frame.acronym;
    return text;
}

std::string identifierText(std::uint32_t identifier) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", unsigned(identifier));
    return text;
}

}  // namespace tessaro::desk
