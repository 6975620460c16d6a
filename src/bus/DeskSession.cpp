#include "bus/DeskSession.h"

#include "bus/ModbusLines.h"
#include "core/documents/Errors.h"
#include "core/update/PortMapping.h"

namespace tessaro::bus {

std::string serialLineText(const desk::SerialLine& line) {
    const char* parity = line.parity == 'E' ? "even parity" : line.parity == 'O' ? "odd parity" : "no parity";
    return std::to_string(line.baudRate) + " bit/s, " + parity + ", " + std::to_string(line.stopBits) +
           (line.stopBits == 1 ? " stop bit, " : " stop bits, ") + (line.rs485 ? "RS485" : "RS232");
}

OpenedSource openSource(const desk::DeskSource& source, const desk::GatewaySettings& settings, desk::Clock& clock,
                        const std::string& settingsPath) {
    OpenedSource opened;
    const desk::DeskTime timeout = std::chrono::milliseconds(settings.timeoutMs);
    switch (source.kind) {
        case desk::SourceKind::values: {
            opened.values = std::make_unique<desk::RegisterValues>(desk::loadRegisterValues(source.text));
            int baudRate = 9600;
            try {
                baudRate = desk::serialLine(settings).baudRate;
            } catch (const Error& unknown) {
                opened.notes.push_back(std::string(unknown.what()) + ": the values answer as fast as 9600 bit/s");
            }
            opened.master = std::make_unique<desk::RegisterValuesMaster>(*opened.values, clock, timeout, baudRate);
            opened.description =
                "the values of " + source.text + ", answered at " + std::to_string(baudRate) + " bit/s";
            break;
        }
        case desk::SourceKind::rtu: {
            const std::string device = mappedSerialDevice(settingsPath, source.text);
            const std::string shown = device == source.text ? device : device + " (" + source.text + ")";
            desk::SerialLine line;
            try {
                line = desk::serialLine(settings);
            } catch (const Error& unknown) {
                throw Error("cannot open " + shown + ": " + unknown.what());
            }
            opened.notes = line.notes;
            try {
                opened.master = openRtuMaster(device, line, timeout, opened.notes);
            } catch (const Error& failure) {
                throw Error(device == source.text ? failure.what()
                                                  : std::string(failure.what()) + " (" + source.text + ")");
            }
            opened.description = "Modbus RTU on " + shown + ", " + serialLineText(line);
            break;
        }
        case desk::SourceKind::tcp: {
            const desk::TcpAddress address = desk::parseTcpAddress(source.text);
            opened.master = openTcpMaster(address, timeout);
            opened.description = "Modbus TCP at " + source.text;
            break;
        }
    }
    return opened;
}

}  // namespace tessaro::bus
