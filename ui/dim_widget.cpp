#include "ui/dim_widget.h"

#include <QPainter>

#include "ui/painting.h"

namespace tarvela {

namespace {
// What a compositor's blur rule matches: blur behind "Tarvela blur" only (README).
const char* overlayName(bool blur) { return blur ? "Tarvela blur" : "Tarvela dim"; }
}  // namespace

DimWindow::DimWindow()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setWindowTitle(overlayName(false));
}

void DimWindow::setLook(double dimAlpha, bool blur) {
    if (dimAlpha == dimAlpha_ && blur == blur_) return;
    // The compositor's rule blurs behind the overlay by its name: it must
    // change with the setting, or the blur would stay when it is turned off.
    if (blur != blur_) setWindowTitle(overlayName(blur));
    dimAlpha_ = dimAlpha;
    blur_ = blur;
    update();
}

void DimWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // X has no blur of what lies behind a window; the blur layer is the frosted
    // veil it would leave, at its alpha, under the darkening.
    if (blur_) p.fillRect(rect(), QColor::fromRgbF(0.5, 0.5, 0.52, dim::blurAlpha * 0.5));
    p.fillRect(rect(), QColor::fromRgbF(0, 0, 0, dimAlpha_));
}

DimWindows::DimWindows(DimOverlay& overlay, ShellDesktop& desktop, std::function<std::vector<Screen>()> screens)
    : overlay_(overlay), desktop_(desktop), screens_(std::move(screens)) {
    link_ = overlay_.changed.connect([this] { sync(); });
}

DimWindows::~DimWindows() = default;

void DimWindows::sync() {
    const std::vector<OverlayPlan>& plans = overlay_.plans();
    while (windows_.size() < plans.size()) windows_.push_back(std::make_unique<DimWindow>());
    const bool compositing = desktop_.compositing();
    if (compositing) noCompositor_.present();
    std::vector<Screen> screens;
    for (size_t i = 0; i < windows_.size(); ++i) {
        DimWindow& w = *windows_[i];
        const bool wanted = i < plans.size() && plans[i].shown;
        if (wanted && !compositing) noCompositor_.missing();
        if (!wanted || !compositing) {
            if (w.isVisible()) w.hide();
            continue;
        }
        const OverlayPlan& p = plans[i];
        if (screens.empty()) screens = screens_();
        const QRect g = screenToQt(screens, p.frame).toAlignedRect();
        if (w.geometry() != g) w.setGeometry(g);
        w.setLook(p.dimAlpha, p.blur);
        if (!w.isVisible()) w.show();
        desktop_.stackBelow(w.winId(), p.below);
    }
}

}  // namespace tarvela
