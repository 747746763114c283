// Moving the view along the row: the eased slide on the strip's own queue, the
// jump, free scrolling and the snap onto the nearest column.
#include <algorithm>
#include <cmath>
#include <map>

#include "core/log.h"
#include "core/strip.h"
#include "core/strip_anim.h"
#include "core/strip_geometry.h"

namespace tarvela {

void Strip::setLive(double x) {
    auto anim = anim_;
    animQ_->sync([anim, x] { anim->liveOffset = x; });
}

double Strip::liveOffset() {
    double v = 0;
    auto anim = anim_;
    animQ_->sync([anim, &v] { v = anim->liveOffset; });
    return v;
}

void Strip::cancelAnim() {
    auto anim = anim_;
    std::shared_ptr<AnimRun> run;
    animQ_->sync([anim, &run] {
        if (anim->source) anim->source->cancel();
        anim->source.reset();
        run = std::move(anim->current);
    });
    // Record where the stopped slide really left each window, so the placement
    // that follows moves them back into line instead of trusting stale records.
    if (run) {
        for (const Job& j : run->jobs) {
            if (!j.lastX) continue;
            if (auto at = find(j.el))
                cols[static_cast<size_t>(at->first)].items[static_cast<size_t>(at->second)].placed = Point{*j.lastX, j.y};
        }
    }
    if (animating) {
        animating = false;
        setScrolling(false);
        eui.restore();
    }
}

std::vector<Strip::Job> Strip::jobs() const {
    std::vector<Job> out;
    const Rect VR = visibleRect();
    const double uh = geom::usableHeight(VR.height);
    for (size_t i = 0; i < cols.size() && i < cw.size(); ++i) {
        const int n = static_cast<int>(cols[i].items.size());
        const double base = VR.minX() + geom::margin + geom::columnLeft(cw, i);
        for (int j = 0; j < n; ++j) {
            const Item& it = cols[i].items[static_cast<size_t>(j)];
            Job job;
            job.el = it.el;
            job.pid = it.pid;
            job.app = it.app;
            job.base = base;
            job.y = VR.minY() + geom::rowY(n, j, uh);
            job.w = it.size.width;
            if (it.placed) job.lastX = it.placed->x;
            out.push_back(std::move(job));
        }
    }
    return out;
}

void Strip::moveTo(int col, bool animated, std::optional<double> at) {
    if (col < 0 || static_cast<size_t>(col) >= cw.size()) return;
    setFocusC(col);
    if (onActivity) onActivity();
    const double b = at.value_or(target(col));
    if (animating && std::fabs(animTarget - b) < 0.5) return;
    if (animated && std::fabs(offset - b) > 0.5) {
        animTarget = b;
        animating = true;
        setScrolling(true);
        std::set<int32_t> pids;
        for (const Col& c : cols)
            for (const Item& it : c.items) pids.insert(it.pid);
        eui.suspend(pids);
        const Rect VR = visibleRect();
        std::weak_ptr<AnimShared> weak = anim_;
        std::weak_ptr<Strip> self = weak_from_this();
        animQ_->async([queue = animQ_.get(), weak, platform = env_.platform, main = env_.main, workers = env_.workers, self, b,
                       js = jobs(), lo = VR.minX() - 1, hi = VR.maxX() + 1]() mutable {
            startAnimation(queue, weak, platform, main, std::move(workers), self, b, std::move(js), lo, hi);
        });
        return;
    }
    cancelAnim();
    offset = b;
    place(b);
    setLive(b);
    measure();
    if (onSettled) onSettled();
}

// Runs on the animation queue. Everything the ticks need travels in the
// closure; the strip itself is only reached again on the main thread.
void Strip::startAnimation(SerialQueue* queue, std::weak_ptr<AnimShared> weak, Platform* platform, RunLoop* main,
                           std::shared_ptr<ParallelFor> workers, std::weak_ptr<Strip> strip, double target,
                           std::vector<Job> jobsIn, double spanMin, double spanMax) {
    auto anim = weak.lock();
    if (!anim) return;
    if (anim->source) anim->source->cancel();
    anim->source.reset();

    auto st = std::make_shared<AnimRun>();
    st->jobs = std::move(jobsIn);
    // Replacing a slide part-way: its windows are where its ticks put them, not
    // where the strip last recorded them.
    if (anim->current) {
        std::map<uint64_t, double> written;
        for (const Job& j : anim->current->jobs)
            if (j.lastX) written[j.el.id] = *j.lastX;
        for (Job& j : st->jobs)
            if (auto it = written.find(j.el.id); it != written.end()) j.lastX = it->second;
    }
    anim->current = st;
    st->slide = Timeline{anim->liveOffset, target, queue->now(), anim::duration, Easing::outCubic};

    auto tick = [weak, platform, main, workers, strip, target, spanMin, spanMax, st](double now) {
        auto a = weak.lock();
        if (!a || st->done) return;
        const double p = st->slide.progress(now);
        const double cur = st->slide.at(now);
        a->liveOffset = cur;

        std::vector<size_t> selected;
        for (size_t k = 0; k < st->jobs.size(); ++k) {
            const Job& j = st->jobs[k];
            const double nx = j.base - cur;
            bool take;
            if (!j.lastX) take = true;
            else if (std::fabs(*j.lastX - nx) < anim::tolerance) take = false;
            else {
                const bool nowVisible = nx < spanMax && nx + j.w > spanMin;
                const bool wasVisible = *j.lastX + j.w > spanMin && *j.lastX < spanMax;
                take = p == 1 || nowVisible || wasVisible;
            }
            if (take) selected.push_back(k);
        }
        // One group per application, in job order within it.
        std::vector<std::vector<size_t>> groups;
        std::map<int32_t, size_t> groupOf;
        for (size_t k : selected) {
            auto [it, fresh] = groupOf.emplace(st->jobs[k].pid, groups.size());
            if (fresh) groups.emplace_back();
            groups[it->second].push_back(k);
        }
        workers->run(groups.size(), [&](size_t g) {
            for (size_t k : groups[g]) {
                const Job& j = st->jobs[k];
                platform->setAttribute(j.el, ax::Position, Point{j.base - cur, j.y});
            }
        });
        for (size_t k : selected) st->jobs[k].lastX = st->jobs[k].base - cur;
        st->frames += 1;

        if (p == 1) {
            st->done = true;
            if (a->source) a->source->cancel();
            a->source.reset();
            const double elapsed = now - st->slide.start;
            std::vector<std::tuple<AXElement, double, double>> finals;
            finals.reserve(st->jobs.size());
            for (const Job& j : st->jobs) finals.emplace_back(j.el, j.base - target, j.y);
            main->post([strip, target, finals = std::move(finals), frames = st->frames, elapsed,
                        n = st->jobs.size()] {
                if (auto s = strip.lock()) s->finishAnimation(target, finals, frames, elapsed, n);
            });
        }
    };
    anim->source = queue->startTimer(anim::interval, anim::leeway, [queue, tick] { tick(queue->now()); });
}

void Strip::finishAnimation(double target, const std::vector<std::tuple<AXElement, double, double>>& finals,
                            int frames, double elapsed, size_t jobCount) {
    if (!animating || std::fabs(animTarget - target) >= 0.5) return;
    animating = false;
    setScrolling(false);
    offset = target;
    for (const auto& [el, x, y] : finals) {
        if (auto at = find(el))
            cols[static_cast<size_t>(at->first)].items[static_cast<size_t>(at->second)].placed = Point{x, y};
    }
    eui.restore();
    measure();
    if (onSettled) onSettled();
    const double fps = elapsed > 0 ? frames / elapsed : 0;
    log(format("scroll: %d frames / %.2fs = %.0f fps (%d windows)", frames, elapsed, fps, static_cast<int>(jobCount)));
}

void Strip::scrollBy(double dx) {
    if (!running || cols.empty()) return;
    const double T = totalWidth();
    const double U = usableWidth();
    if (T <= U) return;
    cancelAnim();
    offset = std::max(std::min(offset + dx, T - U), 0.0);
    place(offset);
    setLive(offset);
    if (onActivity) onActivity();
}

void Strip::settle() {
    if (!running || cols.empty()) return;
    const double m = offset + usableWidth() / 2;
    int best = -1;
    double bestD = 0;
    for (size_t i = 0; i < cols.size() && i < cw.size(); ++i) {
        const double centre = geom::columnLeft(cw, i) + cw[i] / 2;
        const double d = std::fabs(centre - m);
        if (best < 0 || d < bestD) {
            best = static_cast<int>(i);
            bestD = d;
        }
    }
    if (best >= 0) raise(best, 0);
}

void Strip::centerOnce() {
    if (!running || !focusedItem()) return;
    moveTo(focusC, true, geom::targetOffset(cw, focusC, usableWidth(), Align::center, offset));
}

}  // namespace tarvela
