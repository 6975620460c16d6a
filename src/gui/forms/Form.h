#pragma once

#include <QDialog>
#include <QFont>
#include <QObject>
#include <QSize>
#include <QString>
#include <string>
#include <string_view>

class QLabel;
class QPushButton;

namespace tessaro {

// The small Qt helpers every window of the tool shares.

inline QString toQt(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

inline std::string fromQt(const QString& text) {
    return text.toStdString();
}

// Verdana 8 pt where the font exists, the platform's sans font otherwise.
QFont toolFont();

// Windows of this tool open centred on the screen.
void centreOnScreen(QWidget* window);

// A label of the text's own size at a place of its parent, bold when asked.
QLabel* placedLabel(QWidget* parent, const QString& text, int left, int top, bool bold = false);

// Enter presses a focused push button of the window as Space does.
void pressFocusedButtonsOnEnter(QWidget* window);

// OK is the dialog's default button and stays so wherever the focus moves, so Enter in a field presses OK with its
// checks; the dialog's other buttons never become the default, and a focused one is pressed by Enter. Escape is
// Cancel, as in every dialog. Called once the dialog's buttons exist.
void makeOkTheDefault(QDialog* dialog, QPushButton* ok);

// While it lives, no user input and no close request reaches a window of the tool: they are dropped, not kept for
// later, so that a click made meanwhile cannot act once the block ends. Painting, timers and the window system's
// own messages go on.
class UserInputBlock : public QObject {
public:
    UserInputBlock();
    ~UserInputBlock() override;
    UserInputBlock(const UserInputBlock&) = delete;
    UserInputBlock& operator=(const UserInputBlock&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// A dialog of the tool: its name, title, the tool font and its size, centred on the screen, and FormShow at every
// show the program makes (not at one the window system makes, such as a restore).
class Form : public QDialog {
public:
    enum class Sizing { fixed, resizable };

    Form(const char* objectName, const QString& title, QSize size, Sizing sizing, QWidget* parent,
         Qt::WindowFlags flags = {});

    virtual void FormShow() {}

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace tessaro
