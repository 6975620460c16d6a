#include "gui/editors/Upargen.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "core/documents/DocumentNames.h"
#include "core/documents/Errors.h"
#include "core/editors/RowRules.h"

namespace tessaro {

namespace {

template <std::size_t N>
QComboBox* comboBox(QWidget* parent, const char* name, const std::array<std::string_view, N>& items, bool editable,
                    int initial, int left, int top) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    for (std::string_view item : items) combo->addItem(toQt(item));
    combo->setEditable(editable);
    if (editable) combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCurrentIndex(initial);
    combo->setGeometry(left, top, 93, 21);
    return combo;
}

QLineEdit* edit(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* field = new QLineEdit(text, parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setGeometry(left, top, 93, 21);
    return field;
}

void caption(QWidget* parent, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->move(left, top + 3);
    label->adjustSize();
}

// The chosen list position. Over an editable list the text decides: the entry it equals, or -1 when it names none.
std::int32_t chosenPosition(const QComboBox* combo) {
    if (combo->isEditable()) return combo->findText(combo->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    return combo->currentIndex();
}

void choosePosition(QComboBox* combo, std::int32_t position) {
    combo->setCurrentIndex(position >= 0 && position < combo->count() ? position : -1);
    if (combo->isEditable() && combo->currentIndex() < 0) combo->setEditText(QString());
}

}  // namespace

TFpargen::TFpargen(platform::Platform platform, const ProjectState& project, QWidget* parent)
    : Form("Fpargen", QStringLiteral("SET COMMUNICATION"), {233, 321}, Sizing::fixed, parent,
           Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_platform(platform),
      m_project(project) {
    auto* j1939 = new QGroupBox(QStringLiteral(" J1939 "), this);
    j1939->setGeometry(8, 6, 217, 78);
    caption(j1939, QStringLiteral("Baud rate"), 12, 22);
    m_canBaudRate = comboBox(j1939, "CB_BR_CAN", kCanBaudRates, true, 5, 112, 22);
    caption(j1939, QStringLiteral("Dev ID"), 12, 48);
    m_deviceId = edit(j1939, "E_ID_CAN", QStringLiteral("1"), 112, 48);

    auto* modbus = new QGroupBox(QStringLiteral(" ModBus RTU "), this);
    modbus->setGeometry(8, 90, 217, 190);
    m_rs232 = new QRadioButton(QStringLiteral("RS232"), modbus);
    m_rs232->setObjectName(QStringLiteral("RB_RS232"));
    m_rs232->setGeometry(12, 20, 70, 19);
    m_rs485 = new QRadioButton(QStringLiteral("RS485"), modbus);
    m_rs485->setObjectName(QStringLiteral("RB_RS485"));
    m_rs485->setGeometry(108, 20, 70, 19);
    m_rs485->setChecked(true);
    caption(modbus, QStringLiteral("Baud rate"), 12, 46);
    m_rtuBaudRate = comboBox(modbus, "CB_BR_RTU", kRtuBaudRates, false, 3, 112, 46);
    caption(modbus, QStringLiteral("Parity"), 12, 72);
    m_parity = comboBox(modbus, "CB_PAR_RTU", kParities, false, 0, 112, 72);
    caption(modbus, QStringLiteral("Stop Bit"), 12, 98);
    m_stopBits = comboBox(modbus, "CB_STOP_RTU", kStopBits, false, 0, 112, 98);
    caption(modbus, QStringLiteral("Timeout  (ms)"), 12, 128);
    m_timeout = edit(modbus, "E_TIME_RTU", QStringLiteral("1000"), 112, 128);
    caption(modbus, QStringLiteral("Cyclic Delay (ms)"), 12, 156);
    m_delay = edit(modbus, "E_DELAY_RTU", QStringLiteral("1000"), 112, 156);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("bitbtn1"));
    m_ok->setGeometry(36, 288, 75, 25);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("bitbtn2"));
    cancel->setGeometry(122, 288, 75, 25);
    connect(m_ok, &QPushButton::clicked, this, &TFpargen::BitBtn1Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    makeOkTheDefault(this, m_ok);
}

void TFpargen::showStoredSettings() {
    m_readGuard.watch({{m_project.pargenPath, kPargenFileName}});
    const ShowRead<std::optional<PargenSettings>> read = readPargen(m_project.pargenPath);
    // What could not be read is said at OK as a loss of its own, not as an unread file.
    m_readGuard.shown();
    m_settingsUnread = !read.unreadFiles.empty();
    if (!read.content) return;
    showSettings(*read.content);
    m_ok->setFocus();
}

void TFpargen::showSettings(const PargenSettings& settings) {
    choosePosition(m_canBaudRate, settings.canBaudRatePosition);
    m_deviceId->setText(toQt(settings.deviceId));
    (settings.rs232 ? m_rs232 : m_rs485)->setChecked(true);
    choosePosition(m_rtuBaudRate, settings.rtuBaudRatePosition);
    choosePosition(m_parity, settings.parityPosition);
    choosePosition(m_stopBits, settings.stopBitsPosition);
    m_timeout->setText(toQt(settings.timeout));
    m_delay->setText(toQt(settings.delay));
}

PargenSettings TFpargen::settingsFromControls() const {
    PargenSettings settings;
    settings.canBaudRatePosition = chosenPosition(m_canBaudRate);
    settings.deviceId = fromQt(m_deviceId->text());
    settings.rs232 = !m_rs485->isChecked();
    settings.rtuBaudRatePosition = chosenPosition(m_rtuBaudRate);
    settings.parityPosition = chosenPosition(m_parity);
    settings.stopBitsPosition = chosenPosition(m_stopBits);
    settings.timeout = fromQt(m_timeout->text());
    settings.delay = fromQt(m_delay->text());
    return settings;
}

bool TFpargen::Controllo_Dati() {
    if (const std::optional<std::string> broken = validatePargen(settingsFromControls())) {
        m_platform.messages.error(toQt(*broken));
        return false;
    }
    return true;
}

void TFpargen::saveAndClose() {
    if (!Controllo_Dati()) return;
    if (const auto warning = m_readGuard.beforeWrite(
            kPargenFileName, m_settingsUnread ? std::optional<std::string>(unreadSettingsMessage()) : std::nullopt)) {
        m_platform.messages.plain(toQt(*warning));
        return;
    }
    try {
        savePargen(m_project.pargenPath, settingsFromControls());
    } catch (const Error& failure) {
        m_platform.messages.standardError(toQt(failure.what()));
        return;
    }
    m_readGuard.wrote(kPargenFileName);
    accept();
}

}  // namespace tessaro
