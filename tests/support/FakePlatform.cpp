#include "support/FakePlatform.h"

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

}  // namespace tessaro::testing
