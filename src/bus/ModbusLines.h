#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/desk/DeskClock.h"
#include "core/desk/DeskSource.h"
#include "core/desk/GatewayModel.h"
#include "core/desk/ModbusMaster.h"

namespace tessaro::bus {

// Modbus masters on libmodbus. Both throw tessaro::Error naming the device or address and the system's reason when
// it cannot be opened.

// An RTU master on a serial device, with the image's line settings; what the device cannot do as asked (switch to
// RS485 by itself, say) goes to notes.
std::unique_ptr<desk::ModbusMaster> openRtuMaster(const std::string& device, const desk::SerialLine& line,
                                                  desk::DeskTime timeout, std::vector<std::string>& notes);

// A Modbus TCP master; the slave's address is the unit identifier of each request.
std::unique_ptr<desk::ModbusMaster> openTcpMaster(const desk::TcpAddress& address, desk::DeskTime timeout);

}  // namespace tessaro::bus
