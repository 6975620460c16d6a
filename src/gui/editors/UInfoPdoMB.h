#pragma once

#include <QDialog>
#include <array>

#include "project/ProjectState.h"
#include "editors/FrameDefinitions.h"
#include "editors/PartialReadGuard.h"
#include "platform/Platform.h"
#include "signals/SignalDatabase.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace tessaro {

class RadioGroup;

// "Define Frames J1939": which data bytes of each frame feed which Modbus registers, kept in DefFrameJ1939.xml.
class TFInfopdoMB : public QDialog {
    Q_OBJECT
public:
    TFInfopdoMB(platform::Platform platform, const ProjectState& project, QWidget* parent = nullptr);

    void FormShow();
    void LPdoCanAClick();
    void LIndMbCanAClick();
    void NewAClick();
    void ModifyAClick();
    void DeleteAClick();
    void CopyAClick();
    void PasteAClick();
    void BitBtn1Click();
    void Button1Click();
    void BitBtn4Click();

    const FrameDefinitions& frameList() const { return m_frames; }
    const TClIndMB& clipboard() const { return m_clipboard; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void resetControls();
    DefinitionControls controls() const;
    void showControls(const DefinitionControls& controls);
    int selectedFrame() const;
    int selectedDefinition() const;
    bool validate();
    // The signals of the selected frame's PGN at each byte choice, as tips; none without a frame or a database.
    void showSignalTips();
    void watchClicks(QListWidget* list, void (TFInfopdoMB::*handler)(), int& rowAtPress);

    platform::Platform m_platform;
    PartialReadGuard m_readGuard;
    const ProjectState& m_project;
    FrameDefinitions m_frames;
    std::optional<SignalDatabase> m_signalDatabase;  // read at every show
    TClIndMB m_clipboard;
    // What a drop-down without a choice stands for: the count and kind last shown.
    std::uint8_t m_keptRegisterCount = 0;
    std::uint8_t m_keptRegisterKind = 0;
    int m_frameRowAtPress = -1;
    int m_definitionRowAtPress = -1;

    QListWidget* m_frameList;
    QListWidget* m_definitionList;
    QLineEdit* m_deviceId;
    QLineEdit* m_index;
    QComboBox* m_numberOfPoints;
    QComboBox* m_kind;
    QTabWidget* m_registers;
    std::array<RadioGroup*, kRegisterSlots> m_high{};
    std::array<RadioGroup*, kRegisterSlots> m_low{};
    QPushButton* m_ok;
};

}  // namespace tessaro
