#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <cstdlib>

namespace {

// Like Qt's own dialog tests: no test may leave a window open behind it.
class NoWindowLeftOpen : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (!widget->isVisible()) continue;
            ADD_FAILURE() << "a window was left open: " << widget->windowTitle().toStdString();
            widget->close();
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new NoWindowLeftOpen);
    return RUN_ALL_TESTS();
}
