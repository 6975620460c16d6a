#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/desk/DeskClock.h"
#include "core/desk/DeskSource.h"
#include "core/desk/GatewayModel.h"
#include "core/desk/ModbusMaster.h"
#include "core/desk/RegisterValues.h"

namespace tessaro::bus {

// The Modbus side of a run, opened from what the user chose.
struct OpenedSource {
    std::unique_ptr<desk::RegisterValues> values;  // what a values master answers from
    std::unique_ptr<desk::ModbusMaster> master;
    std::string description;         // "Modbus TCP at 127.0.0.1:502"
    std::vector<std::string> notes;  // what the line cannot do as the image asks
};

// A values file, a serial device (a list name "COM1" to "COM10" stands for the device the ports section of the
// settings file at settingsPath maps it to, else the platform's), or a TCP address. The image's time-out, and for
// RTU its line settings. Throws tessaro::Error: the values file's first problem (FILE:LINE:COLUMN), or the device or
// address that cannot be opened with the reason.
OpenedSource openSource(const desk::DeskSource& source, const desk::GatewaySettings& settings, desk::Clock& clock,
                        const std::string& settingsPath);

// "9600 bit/s, no parity, 1 stop bit, RS485"
std::string serialLineText(const desk::SerialLine& line);

}  // namespace tessaro::bus
