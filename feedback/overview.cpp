#include "feedback/overview.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "core/window_access.h"
#include "manager/window_manager.h"

namespace tarvela {

std::optional<PixelSize> pictureSize(Size window, Size card, double density, double maxWidth) {
    const double w = std::max(window.width, 1.0), h = std::max(window.height, 1.0);
    const double scale = std::min(std::max(card.width / w, card.height / h), maxWidth / w) * density;
    // Up to the next pixel, so that the picture covers its card; a hair's
    // breadth over a whole pixel is the arithmetic's, not the card's.
    const auto px = [](double v) { return static_cast<int>(std::ceil(v - 1e-6)); };
    const int pw = px(window.width * scale), ph = px(window.height * scale);
    if (pw < 1 || ph < 1) return std::nullopt;
    return PixelSize{pw, ph};
}

namespace {

// For each of `to` cells, the run of `from` cells it covers and how much of
// each, the weights of one cell adding up to 1.
struct Taps {
    std::vector<int> first, count;
    std::vector<size_t> at;  // where a cell's weights start
    std::vector<float> weight;
};

Taps taps(int from, int to) {
    Taps t;
    const double step = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        const double a = i * step;
        const double b = (i + 1) * step;
        t.first.push_back(std::min(static_cast<int>(std::floor(a)), from - 1));
        t.at.push_back(t.weight.size());
        int n = 0;
        for (int s = t.first.back(); s < from && s < b; ++s, ++n)
            t.weight.push_back(static_cast<float>(std::max(0.0, std::min(b, s + 1.0) - std::max(a, double(s))) / step));
        t.count.push_back(n);
    }
    return t;
}

// Alpha-premultiplied, 0 to 255, four floats a pixel (a, r, g, b).
void unpackRow(const uint32_t* in, int n, float* out) {
    for (int i = 0; i < n; ++i) {
        const uint32_t v = in[i];
        const float a = static_cast<float>((v >> 24) & 0xFF) / 255.0f;
        out[4 * i] = a * 255.0f;
        out[4 * i + 1] = a * static_cast<float>((v >> 16) & 0xFF);
        out[4 * i + 2] = a * static_cast<float>((v >> 8) & 0xFF);
        out[4 * i + 3] = a * static_cast<float>(v & 0xFF);
    }
}

uint32_t pack(const float* p) {
    auto byte = [](float v) { return static_cast<uint32_t>(std::clamp(v, 0.0f, 255.0f) + 0.5f); };
    if (p[0] <= 0.5f) return 0;
    const float k = 255.0f / p[0];
    return byte(p[0]) << 24 | byte(p[1] * k) << 16 | byte(p[2] * k) << 8 | byte(p[3] * k);
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

    // Each output row adds up its source rows, each resampled across first;
    // nothing larger than a row is kept, since fresh memory is dear (a source
    // row serves at most two or three output rows, so redoing it costs little).
    const Taps across = taps(src.width, width);
    const Taps down = taps(src.height, height);
    const size_t rowLen = static_cast<size_t>(width) * 4;
    std::vector<float> line(static_cast<size_t>(src.width) * 4), row(rowLen), acc(rowLen);
    int unpacked = -1;
    auto resampleRow = [&](int y) {
        if (y == unpacked) return;
        unpacked = y;
        unpackRow(&src.argb[static_cast<size_t>(y) * static_cast<size_t>(src.width)], src.width, line.data());
        for (int x = 0; x < width; ++x) {
            const float* w = &across.weight[across.at[static_cast<size_t>(x)]];
            const float* p = &line[static_cast<size_t>(across.first[static_cast<size_t>(x)]) * 4];
            float sum[4] = {0, 0, 0, 0};
            for (int k = 0; k < across.count[static_cast<size_t>(x)]; ++k, p += 4)
                for (int c = 0; c < 4; ++c) sum[c] += p[c] * w[k];
            for (int c = 0; c < 4; ++c) row[4 * static_cast<size_t>(x) + static_cast<size_t>(c)] = sum[c];
        }
    };
    for (int y = 0; y < height; ++y) {
        std::fill(acc.begin(), acc.end(), 0.0f);
        const int y0 = down.first[static_cast<size_t>(y)];
        const float* w = &down.weight[down.at[static_cast<size_t>(y)]];
        for (int k = 0; k < down.count[static_cast<size_t>(y)]; ++k) {
            resampleRow(y0 + k);
            const float wk = w[k];
            for (size_t i = 0; i < rowLen; ++i) acc[i] += row[i] * wk;
        }
        uint32_t* o = &out.argb[static_cast<size_t>(y) * static_cast<size_t>(width)];
        for (int x = 0; x < width; ++x) o[x] = pack(&acc[static_cast<size_t>(x) * 4]);
    }
    return out;
}

// One round of pictures: the windows to take, in strip, column and row order,
// and what has come back so far.
struct Overview::Round {
    struct Shot {
        AXElement el;
        uint32_t number = 0;
        PixelSize size;
    };
    std::vector<Shot> windows;
    size_t next = 0;
    OverviewPictures got;
};

Overview::Overview(OverviewDeps deps) : d_(std::move(deps)) {
    fade_.start = d_.main.now();
    // The manager announces a change before it has finished making it; one
    // rebuild after it covers a burst.
    managerLink_ = d_.manager.changed.connect([this] {
        if (!open_ || rebuildPending_) return;
        rebuildPending_ = true;
        d_.main.post(life_.guard([this] {
            rebuildPending_ = false;
            if (!open_) return;
            // Paused or off, nothing it offers can be done: it goes, as the HUD does.
            if (!d_.manager.acting()) return close();
            rebuild();
            changed.emit();
        }));
    });
}

Overview::~Overview() { cancelTimer(d_.main, fadeDone_); }

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
    fade_ = Timeline{0, 1, d_.main.now(), fadeIn};
    rebuild();
    changed.emit();

    // The preference is read now, not while the round runs.
    auto round = std::make_shared<Round>();
    if (m.prefs.previews()) {
        const double density = std::max(1.0, screenDensity());
        for (const OverviewSection& section : model_.sections)
            for (const OverviewColumn& col : section.columns)
                for (const OverviewCard& card : col.cards) {
                    if (!card.number) continue;
                    const std::optional<Size> points = attr<Size>(d_.platform, card.window, ax::SizeAttr);
                    const std::optional<PixelSize> px =
                        pictureSize(points.value_or(card.frame.size()), card.frame.size(), density, maxWidth);
                    if (px) round->windows.push_back({card.window, *card.number, *px});
                }
    }
    d_.main.post(life_.guard([this, round] { captureNext(round); }));
}

double Overview::screenDensity() const {
    if (StripRef s = d_.manager.cur()) return s->currentScreen().backingScaleFactor;
    const std::vector<Screen> all = d_.platform.screens();
    return all.empty() ? 1 : all.front().backingScaleFactor;
}

void Overview::captureNext(const std::shared_ptr<Round>& round) {
    const double turnEnd = d_.main.now() + captureTurn;
    while (round->next < round->windows.size()) {
        const Round::Shot shot = round->windows[round->next++];
        ImageRef image = d_.capture ? d_.capture(shot.el, shot.size) : d_.platform.capture(shot.el, shot.size);
        // The display works on the next picture while this one is handled.
        if (round->next < round->windows.size()) {
            const Round::Shot& next = round->windows[round->next];
            d_.platform.prepareCapture(next.el, next.size);
        }
        if (!image) continue;
        if (image->width == shot.size.width && image->height == shot.size.height) {
            round->got[shot.number] = std::move(image);
            // The loop's other work (the fade's paints) comes between turns.
            if (d_.main.now() >= turnEnd) {
                d_.main.post(life_.guard([this, round] { captureNext(round); }));
                return;
            }
            continue;
        }
        auto back = life_.guard([this, round] { captureNext(round); });
        RunLoop& main = d_.main;
        d_.offMain([image, px = shot.size, number = shot.number, round, back = std::move(back), &main] {
            auto scaled = std::make_shared<const Image>(scaleImage(*image, px.width, px.height));
            // `round` is only touched on the main thread.
            main.post([round, number, scaled = std::move(scaled), back]() mutable {
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
    fade_ = Timeline{fade_.at(now), 0, now, fadeOut};
    fadeDone_ = d_.main.after(fadeOut, life_.guard([this] {
        fadeDone_.reset();
        orderedIn_ = false;
        changed.emit();
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
    else if (h->part == OverviewHit::Part::desktop)
        d_.manager.showDesktop(h->col);  // the overview stays, showing that desktop's strips
    else
        clickColumn(h->strip, h->col);
}

void Overview::clickColumn(int strip, int col) {
    close();
    d_.manager.raise(col, 0, strip);
}

}  // namespace tarvela
