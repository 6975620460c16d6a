#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>

namespace tessaro::testing {

// The user waits, the events going on, for a dialog that closes by itself once its work is done, such as the
// progress of Save PDF.
inline void waitForClose(QDialog& dialog) {
    const QDeadlineTimer deadline(60000);
    while (dialog.isVisible() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_FALSE(dialog.isVisible()) << dialog.windowTitle().toStdString() << " did not end";
}

}  // namespace tessaro::testing
