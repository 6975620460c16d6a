#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace tessaro::testing {

// A pseudo-terminal: its device opens like a serial port but has no modem lines, so raising DTR fails.
class PseudoTerminal {
public:
    PseudoTerminal() {
        m_controller = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_controller < 0 || ::grantpt(m_controller) != 0 || ::unlockpt(m_controller) != 0)
            throw std::runtime_error("no pseudo-terminal");
        m_device = ::ptsname(m_controller);
    }
    ~PseudoTerminal() { ::close(m_controller); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // The path of the terminal's device, as a serial port would be named.
    const std::string& device() const { return m_device; }

private:
    int m_controller = -1;
    std::string m_device;
};

}  // namespace tessaro::testing
