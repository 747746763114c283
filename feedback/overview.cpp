#include "feedback/overview.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "core/window_access.h"
#include "manager/window_manager.h"

namespace tarvela {

std::optional<PixelSize> pictureSize(Size window, double maxWidth) {
    const double scale = maxWidth / std::max(window.width, 1.0);
    const int w = static_cast<int>(window.width * scale * 2);
    const int h = static_cast<int>(window.height * scale * 2);
    if (w < 1 || h < 1) return std::nullopt;
    return PixelSize{w, h};
}

namespace {

struct Tap {
    int src;
    double weight;
};

// For each of `to` cells, the `from` cells it covers and how much of each,
// the weights of one cell adding up to 1.
std::vector<std::vector<Tap>> taps(int from, int to) {
    std::vector<std::vector<Tap>> out(static_cast<size_t>(to));
    const double step = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        const double a = i * step;
        const double b = (i + 1) * step;
        for (int s = static_cast<int>(std::floor(a)); s < from && s < b; ++s) {
            const double w = std::min(b, s + 1.0) - std::max(a, static_cast<double>(s));
            if (w > 0) out[static_cast<size_t>(i)].push_back(Tap{s, w / step});
        }
    }
    return out;
}

// Alpha-premultiplied, 0 to 1.
struct Px {
    double a = 0, r = 0, g = 0, b = 0;
};

Px unpack(uint32_t v) {
    const double a = ((v >> 24) & 0xFF) / 255.0;
    return Px{a, a * ((v >> 16) & 0xFF) / 255.0, a * ((v >> 8) & 0xFF) / 255.0, a * (v & 0xFF) / 255.0};
}

uint32_t pack(const Px& p) {
    auto byte = [](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    if (p.a <= 0) return 0;
    return byte(p.a) << 24 | byte(p.r / p.a) << 16 | byte(p.g / p.a) << 8 | byte(p.b / p.a);
}

void add(Px& to, const Px& p, double w) {
    to.a += p.a * w;
    to.r += p.r * w;
    to.g += p.g * w;
    to.b += p.b * w;
}

}  // namespace

Image scaleImage(const Image& src, int width, int height) {
    Image out;
    if (width < 1 || height < 1) return out;
    out.width = width;
    out.height = height;
    out.argb.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    if (src.width < 1 || src.height < 1 ||
        src.argb.size() < static_cast<size_t>(src.width) * static_cast<size_t>(src.height))
        return out;

    // Across first, then down: two passes of one dimension each.
    const auto across = taps(src.width, width);
    const auto down = taps(src.height, height);
    std::vector<Px> rows(static_cast<size_t>(width) * static_cast<size_t>(src.height));
    for (int y = 0; y < src.height; ++y) {
        const uint32_t* line = &src.argb[static_cast<size_t>(y) * static_cast<size_t>(src.width)];
        for (int x = 0; x < width; ++x) {
            Px& p = rows[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
            for (const Tap& t : across[static_cast<size_t>(x)]) add(p, unpack(line[t.src]), t.weight);
        }
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            Px p;
            for (const Tap& t : down[static_cast<size_t>(y)])
                add(p, rows[static_cast<size_t>(t.src) * static_cast<size_t>(width) + static_cast<size_t>(x)],
                    t.weight);
            out.argb[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = pack(p);
        }
    return out;
}

// One round of pictures: the windows to take, in strip, column and row order,
// and what has come back so far.
struct Overview::Round {
    std::vector<std::pair<AXElement, uint32_t>> windows;
    size_t next = 0;
    OverviewPictures got;
};

Overview::Overview(OverviewDeps deps) : d_(std::move(deps)), self_(std::make_shared<Overview*>(this)) {
    fade_.start = d_.main.now();
    // The manager announces a change before it has finished making it; one
    // rebuild after it covers a burst.
    managerLink_ = d_.manager.changed.connect([this] {
        if (!open_ || rebuildPending_) return;
        rebuildPending_ = true;
        d_.main.post(weakly([](Overview& o) {
            o.rebuildPending_ = false;
            if (!o.open_) return;
            o.rebuild();
            o.changed.emit();
        }));
    });
}

Overview::~Overview() { cancelTimer(d_.main, fadeDone_); }

std::function<void()> Overview::weakly(std::function<void(Overview&)> fn) {
    std::weak_ptr<Overview*> weak = self_;
    return [weak, fn = std::move(fn)] {
        if (auto p = weak.lock()) fn(**p);
    };
}

double Overview::alpha() const { return fade_.at(d_.main.now()); }

void Overview::rebuild() {
    model_ = OverviewModel::make(d_.manager, d_.platform, pictures_, d_.metrics, frame_.size());
}

void Overview::toggle() {
    if (open_)
        close();
    else
        open();
}

void Overview::open() {
    WindowManager& m = d_.manager;
    if (open_ || !m.on() || m.paused()) return;
    // The main screen is the one the user works on.
    std::optional<Rect> screen;
    if (StripRef s = m.cur()) {
        screen = s->currentScreen().frame;
    } else if (const std::vector<Screen> all = d_.platform.screens(); !all.empty()) {
        screen = all.front().frame;
    }
    if (!screen) return;

    // A panel still fading out from the last closing is simply replaced.
    cancelTimer(d_.main, fadeDone_);
    open_ = orderedIn_ = keyboard_ = true;
    returnTo_.reset();
    if (std::optional<RunningApp> front = d_.platform.frontmostApplication())
        returnTo_ = attr<AXElement>(d_.platform, AXElement::application(front->pid), ax::FocusedWindow);
    frame_ = *screen;
    fade_ = Fade{0, 1, d_.main.now(), fadeIn};
    rebuild();
    changed.emit();

    // The preference is read now, not while the round runs.
    auto round = std::make_shared<Round>();
    if (m.prefs.previews())
        for (const StripRef& s : m.strips())
            for (const Col& c : s->cols)
                for (const Item& it : c.items)
                    if (std::optional<uint32_t> n = windowNumber(d_.platform, it.el))
                        round->windows.emplace_back(it.el, *n);
    d_.main.post(weakly([round](Overview& o) { o.captureNext(round); }));
}

void Overview::captureNext(const std::shared_ptr<Round>& round) {
    while (round->next < round->windows.size()) {
        const auto [el, number] = round->windows[round->next++];
        ImageRef image = d_.capture ? d_.capture(el) : d_.platform.capture(el);
        if (!image) continue;
        const Size points = attr<Size>(d_.platform, el, ax::SizeAttr)
                                .value_or(Size{static_cast<double>(image->width), static_cast<double>(image->height)});
        const std::optional<PixelSize> px = pictureSize(points, maxWidth);
        if (!px) continue;
        RunLoop& main = d_.main;
        auto back = weakly([round](Overview& o) { o.captureNext(round); });
        d_.offMain([image, px = *px, number = number, round, back = std::move(back), &main] {
            auto scaled = std::make_shared<const Image>(scaleImage(*image, px.width, px.height));
            // `round` is only touched on the main thread.
            main.post([round, number, scaled = std::move(scaled), back] {
                round->got[number] = scaled;
                back();
            });
        });
        return;
    }
    pictures_ = std::move(round->got);
    if (open_) rebuild();
    changed.emit();
}

void Overview::close() {
    // A panel that took the keys leaves them nowhere when it goes: they go back.
    if (std::exchange(keyboard_, false) && returnTo_) {
        if (std::optional<int32_t> pid = d_.platform.pidOf(*returnTo_)) d_.platform.activate(*pid);
        d_.platform.performAction(*returnTo_, ax::Raise);
    }
    returnTo_.reset();
    if (!open_) return;
    open_ = false;
    const double now = d_.main.now();
    fade_ = Fade{fade_.at(now), 0, now, fadeOut};
    fadeDone_ = d_.main.after(fadeOut, weakly([](Overview& o) {
        o.fadeDone_.reset();
        o.orderedIn_ = false;
        o.changed.emit();
    }));
    changed.emit();
}

bool Overview::escape() {
    if (!keyboard_) return false;
    close();
    return true;
}

void Overview::click(Point local) {
    if (!open_) return;
    const std::optional<OverviewHit> h = model_.hit(local);
    if (!h) return;
    if (h->part == OverviewHit::Part::close)
        close();
    else
        clickColumn(h->strip, h->col);
}

void Overview::clickColumn(int strip, int col) {
    close();
    for (const StripRef& s : d_.manager.strips())
        if (s->index == strip) s->raise(col, 0);
}

}  // namespace tarvela
