#include "feedback/permission_view.h"

#include "manager/window_manager.h"

namespace tarvela {

namespace {
// Runs a copy: closing the window may end the object that holds `close`.
void closeWindow(std::function<void()> close) {
    if (close) close();
}
}  // namespace

PermissionView::PermissionView(WindowManager& manager, std::function<void()> handOver, std::function<void()> close)
    : handOver_(std::move(handOver)), close_(std::move(close)) {
    // The manager announces turns only.
    trustedChanged_ = manager.trusted.changed.connect([this](const bool& trusted) {
        returned_ = trusted;
        changed.emit();
    });
}

PermissionTexts PermissionView::texts() const {
    using namespace permission_view;
    if (returned_) return {backTitle, backText, done, std::nullopt, true};
    return {lostTitle, lostText, takeOver, std::string(notNow), false};
}

void PermissionView::primary() {
    if (returned_) {
        closeWindow(close_);
    } else if (handOver_) {
        // The permission watch notices the outcome; the texts change then.
        handOver_();
    }
}

void PermissionView::secondary() {
    closeWindow(close_);
}

}  // namespace tarvela
