#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/desk/CanFrame.h"
#include "core/desk/ModbusMaster.h"
#include "core/image/ImageDecoder.h"
#include "core/j1939/Pgn.h"
#include "core/map/ProjectMap.h"

namespace tessaro::desk {

// The gateway as the desk test plays it, read from a decoded image: the frames it sends, the groups that time
// them, the Modbus requests that feed their bytes, and the line settings.

// The general parameters the run uses: the image's, or those "Set Communication" starts a project with when the
// image has no general-parameter block.
struct GatewaySettings {
    std::uint8_t sourceAddress = 0;   // ID_CAN
    std::uint16_t timeoutMs = 0;      // TimeOut_Ser
    std::uint16_t cyclicDelayMs = 0;  // Delay_Ser
    std::uint8_t serialInterface = 0;
    std::uint8_t rtuBaudRate = 0;  // positions in their lists
    std::uint8_t parity = 0;
    std::uint8_t stopBits = 0;
    bool fromImage = true;
};

struct ModelFrame {
    std::size_t number = 0;  // in the frame table, from 1
    std::uint8_t priority = 0;
    std::uint8_t dataPage = 0;
    std::uint16_t pgn = 0;
    std::uint8_t group = 0;  // 0 On Request
    bool erase = false;
    std::uint32_t identifier = 0;
    std::uint32_t requestPgn = 0;  // what a request for it names: the data page above the PGN, PDU1's destination 0
    std::string acronym;

    bool onRequest() const { return group == 0; }
    // Its parameter group as the identifier carries it.
    Pgn parameterGroup() const { return framePgn(dataPage, pgn); }
};

// A frame byte that a half of a polled register feeds.
struct ByteFeed {
    std::size_t frame = 0;  // index into the frames
    std::uint8_t byte = 0;  // 0 (B1) to 7 (B8)
    RegisterHalf half = RegisterHalf::high;
};

struct ModelRequest {
    ModbusRequest request;
    std::size_t definition = 0;                // in the image, from 1
    std::vector<std::vector<ByteFeed>> feeds;  // per register asked for
};

struct ModelGroup {
    std::size_t number = 0;  // from 1
    std::uint16_t cycleMs = 0;
    std::vector<std::size_t> frames;  // indices, in frame order

    bool sends() const { return cycleMs > 0 && !frames.empty(); }
};

struct GatewayModel {
    GatewaySettings settings;
    std::vector<ModelFrame> frames;
    std::vector<ModelRequest> requests;  // in the order of the image's definitions
    std::vector<ModelGroup> groups;      // every group the image holds
    std::vector<std::size_t> onRequest;  // frame indices
    // What the model makes of what the image holds oddly: frames never sent, definitions not polled.
    std::vector<std::string> notes;
};

using FrameBytes = std::array<std::uint8_t, 8>;

GatewayModel buildGatewayModel(const DecodedImage& image);

// Every byte "not available", before the first answer.
std::vector<FrameBytes> initialBytes(const GatewayModel& model);

// An answer puts each register's halves into the bytes they feed; any other outcome makes them "not available" in
// the frames whose Erase flag is set, and leaves the others as they were.
void applyReply(const GatewayModel& model, const ModelRequest& request, const ModbusReply& reply,
                std::vector<FrameBytes>& bytes);

// The frame as it goes out.
CanFrame canFrame(const ModelFrame& frame, const FrameBytes& bytes);

// The serial line of the image's positions, for an RTU master.
struct SerialLine {
    int baudRate = 9600;
    char parity = 'N';  // 'N', 'O', 'E'
    int stopBits = 1;   // 1 or 2
    bool rs485 = true;
    std::vector<std::string> notes;  // what the machine's serial ports cannot do as the image asks
};
// Throws tessaro::Error naming the setting whose position is outside its list.
SerialLine serialLine(const GatewaySettings& settings);

// "PGN 61444 (0xF004) EEC1".
std::string framePgnText(const ModelFrame& frame);
// "0CF00480".
std::string identifierText(std::uint32_t identifier);

}  // namespace tessaro::desk
