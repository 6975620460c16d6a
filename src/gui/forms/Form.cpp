#include "gui/forms/Form.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

namespace tessaro {

QFont toolFont() {
    if (QFontDatabase::families().contains(QStringLiteral("Verdana"))) return QFont(QStringLiteral("Verdana"), 8);
    QFont sans = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    sans.setPointSize(8);
    return sans;
}

QLabel* placedLabel(QWidget* parent, const QString& text, int left, int top, bool bold) {
    auto* label = new QLabel(text, parent);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    label->move(left, top);
    label->adjustSize();
    return label;
}

void centreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

namespace {

// Enter, without modifiers, clicks a button: the focused button itself, or the given one.
class EnterClicks : public QObject {
public:
    EnterClicks(QObject* parent, QPushButton* target = nullptr) : QObject(parent), m_target(target) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
        QPushButton* button = m_target ? m_target.data() : qobject_cast<QPushButton*>(watched);
        if (!button || !button->isEnabled()) return false;
        button->click();
        return true;
    }

private:
    QPointer<QPushButton> m_target;
};

}  // namespace

void pressFocusedButtonsOnEnter(QWidget* window) {
    auto* filter = new EnterClicks(window);
    for (QPushButton* button : window->findChildren<QPushButton*>()) button->installEventFilter(filter);
}

void makeOkTheDefault(QDialog* dialog, QPushButton* ok) {
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) button->setAutoDefault(false);
    ok->setDefault(true);
    pressFocusedButtonsOnEnter(dialog);
    // A list the user can type into keeps Enter to itself; here it is OK, as in the other fields.
    auto* toOk = new EnterClicks(dialog, ok);
    for (QComboBox* list : dialog->findChildren<QComboBox*>())
        if (list->isEditable()) list->installEventFilter(toOk);
}

UserInputBlock::UserInputBlock() {
    QCoreApplication::instance()->installEventFilter(this);
}

UserInputBlock::~UserInputBlock() {
    QCoreApplication::instance()->removeEventFilter(this);
}

bool UserInputBlock::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
        case QEvent::Close:
            event->ignore();
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}

Form::Form(const char* objectName, const QString& title, QSize size, Sizing sizing, QWidget* parent,
           Qt::WindowFlags flags)
    : QDialog(parent, flags) {
    setObjectName(QString::fromLatin1(objectName));
    setWindowTitle(title);
    setFont(toolFont());
    if (sizing == Sizing::fixed)
        setFixedSize(size);
    else
        resize(size);
    // Only the size counts for the place, and it is set.
    centreOnScreen(this);
}

void Form::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

}  // namespace tessaro
