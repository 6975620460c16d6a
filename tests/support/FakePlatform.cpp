#include "support/FakePlatform.h"

#include "platform/SerialPort.h"

namespace tessaro::testing {

int ScriptedDialogs::runModal(QDialog& dialog) {
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    shownTitles.push_back(dialog.windowTitle());
    if (!scripts.empty()) {
        Script script = std::move(scripts.front());
        scripts.pop_front();
        script(dialog);
    }
    if (dialog.isVisible()) dialog.reject();
    return dialog.result();
}

bool FakeSerialPort::setDeviceName(const QString& name) {
    calls.push_back("name " + name.toStdString());
    if (opened && name != deviceName) return false;
    deviceName = name;
    return true;
}

bool FakeSerialPort::open() {
    calls.push_back("open");
    lastFailure.clear();
    if (opened) lastFailure = QStringLiteral("already open");
    if (!opens) lastFailure = openFailure;
    if (!lastFailure.isEmpty()) return false;
    opened = true;
    return true;
}

bool FakeSerialPort::raiseDtr() {
    calls.push_back("dtr");
    dtrRaised = opened && acceptsDtr;
    lastFailure = dtrRaised ? QString() : dtrFailure;
    return dtrRaised;
}

QString FakeSerialPort::deviceOf(const QString& name) const {
    const auto found = mapped.find(name);
    return found != mapped.end() ? found->second : platform::defaultSerialDevice(name);
}

void FakeSerialPort::close() {
    calls.push_back("close");
    opened = false;
    dtrRaised = false;
}

namespace {

class CountedProcess : public platform::Process {
public:
    CountedProcess(RecordingLauncher& launcher, std::unique_ptr<platform::Process> real)
        : m_launcher(launcher), m_real(std::move(real)) {}
    bool running() override {
        const int poll = m_launcher.polls++;
        return m_real ? m_real->running() : poll < m_launcher.pollsRunning;
    }
    platform::ExitStatus exitStatus() const override { return m_real ? m_real->exitStatus() : m_launcher.exit; }

private:
    RecordingLauncher& m_launcher;
    std::unique_ptr<platform::Process> m_real;
};

}  // namespace

platform::StartResult RecordingLauncher::start(const platform::ProgramCall& call) {
    started.push_back(call);
    std::unique_ptr<platform::Process> real;
    if (forwardTo) {
        platform::StartResult result = forwardTo->start(call);
        if (!result.process) return result;
        real = std::move(result.process);
    } else if (!starts) {
        return {nullptr, failure};
    }
    return {std::make_unique<CountedProcess>(*this, std::move(real)), {}};
}

}  // namespace tessaro::testing
