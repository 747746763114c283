// One QApplication for the whole run, on the offscreen platform so the tests
// never open a window on whatever display the machine has.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

// The offscreen platform says so each time a window is raised or grabs the
// keyboard; everything else Qt reports is kept.
QtMessageHandler qtDefault = nullptr;
void quieter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith("This plugin does not support")) return;
    qtDefault(type, context, message);
}

class QtApplication final : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qtDefault = qInstallMessageHandler(quieter);
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[10] = "ui_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] const auto* const registered = ::testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace
