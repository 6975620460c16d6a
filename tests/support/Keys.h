#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <initializer_list>

namespace tessaro::testing {

// The window as the user has it in front of them: active, so the focus moves and the keys reach its widgets.
inline void activate(QWidget& window) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window)) << window.windowTitle().toStdString();
}

// Where the keys go: the focus widget, or the active window; nothing once every window is closed.
inline QWidget* keyTarget() {
    QWidget* target = QApplication::focusWidget();
    if (!target) target = QApplication::activeWindow();
    if (!target) ADD_FAILURE() << "no window is there to take the keys";
    return target;
}

// A key pressed and released where the keyboard focus is, as the user does it.
inline void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    if (QWidget* target = keyTarget()) QTest::keyClick(target, key, modifiers);
}

// Text typed where the keyboard focus is, one key at a time; the first key into a grid cell opens its editor, which
// takes the keys that follow.
inline void typeKeys(const char* text) {
    for (const char* key = text; *key; ++key)
        if (QWidget* target = keyTarget()) QTest::keyClick(target, *key);
}

// Each text typed into a cell of a grid and followed by Tab, as a user fills a row; an empty text only tabs on.
inline void typeCells(std::initializer_list<const char*> texts) {
    for (const char* text : texts) {
        typeKeys(text);
        press(Qt::Key_Tab);
    }
}

// Focus on the widget, its text selected with Ctrl+A and erased, then text typed in its place.
inline void typeInto(QWidget* field, const char* text) {
    field->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    typeKeys(text);
}

}  // namespace tessaro::testing
