#pragma once

#include <array>

#include "core/editors/FrameDefinitions.h"
#include "core/editors/PartialReadGuard.h"
#include "core/editors/RowRules.h"
#include "core/project/ProjectState.h"
#include "core/signals/SignalDatabase.h"
#include "gui/forms/Form.h"
#include "platform/Platform.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace tessaro {

class RadioGroup;

// "Define Frames J1939": which data bytes of each frame feed which Modbus registers, kept in DefFrameJ1939.xml.
class TFInfopdoMB : public Form {
    Q_OBJECT
public:
    TFInfopdoMB(platform::Platform platform, const ProjectState& project, QWidget* parent = nullptr);

    void FormShow() override { showFrameList(); }
    void LPdoCanAClick() { showFrameDefinitions(); }
    void LIndMbCanAClick() { showChosenDefinition(); }
    void NewAClick() { addDefinition(); }
    void ModifyAClick() { replaceDefinition(); }
    void DeleteAClick() { deleteDefinition(); }
    void CopyAClick() { copyDefinition(); }
    void PasteAClick() { pasteDefinition(); }
    void BitBtn1Click() { saveAndClose(); }
    void Button1Click() { exportDefinitions(); }
    void BitBtn4Click() { importDefinitions(); }

    const FrameDefinitions& frameList() const { return m_frames; }
    const TClIndMB& clipboard() const { return m_clipboard; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showFrameList();
    void showFrameDefinitions();
    void showChosenDefinition();
    void addDefinition();
    void replaceDefinition();
    void deleteDefinition();
    void copyDefinition();
    void pasteDefinition();
    void saveAndClose();
    void exportDefinitions();
    void importDefinitions();
    // What OK would drop, said at its first press: rows of frames the list lacks, what an imported DefFrame.csv left
    // out.
    std::optional<std::string> lossAtOk() const;
    void resetControls();
    DefinitionControls controls() const;
    void showControls(const DefinitionControls& controls);
    int selectedFrame() const;
    int selectedDefinition() const;
    // The selected line as tab-separated cells: the frame's priority, data page and PGN; the definition as the
    // exported table has it. Empty without a selection.
    QString selectedFrameRow() const;
    QString selectedDefinitionRow() const;
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
    // The definitions shown that an imported DefFrame.csv did not list, since the show.
    std::vector<DefinitionName> m_unlisted;
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
