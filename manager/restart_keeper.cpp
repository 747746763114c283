#include "manager/restart_keeper.h"

#include <algorithm>

#include "core/log.h"

namespace tarvela {

RestartKeeper::RestartKeeper(Deps deps) : d_(std::move(deps)) {
    if (!d_.seal) return;
    bag_.push_back(d_.manager.changed.connect(life_.guard([this] { changed(); })));
    bag_.push_back(d_.manager.desktopsChanged.connect(life_.guard([this](const std::string&) { changed(); })));
}

void RestartKeeper::changed() {
    // Looked at once the change that announced itself is over.
    if (posted_) return;
    posted_ = true;
    d_.main.post(life_.guard([this] { check(); }));
}

std::optional<std::string> RestartKeeper::current() {
    if (!d_.manager.on() || !d_.platform.isProcessTrusted()) return std::nullopt;
    // The displays the strips were made on: a change of displays not yet
    // followed by a rebuild leaves a record the next start will not take.
    std::vector<Screen> screens;
    for (const StripRef& s : d_.manager.strips()) screens.push_back(s->screen);
    return encodeArrangement(ArrangementRecord{setupKey(screens), d_.manager.arrangement(), d_.manager.setups()});
}

void RestartKeeper::check() {
    posted_ = false;
    // A slide in flight announces its end; the record holds only places at rest.
    for (const StripRef& s : d_.manager.strips())
        if (s->animating) return;
    const std::optional<std::string> body = current();
    if (!body || *body == written_) return;
    const double now = d_.main.now();
    if (lastWrite_ && now - *lastWrite_ < d_.interval) {
        if (!timer_)
            timer_ = d_.main.after(*lastWrite_ + d_.interval - now, life_.guard([this] {
                timer_.reset();
                check();
            }));
        return;
    }
    write(*body);
}

void RestartKeeper::flush() {
    cancelTimer(d_.main, timer_);
    if (!d_.seal) return;
    if (const std::optional<std::string> body = current(); body && *body != written_) write(*body);
}

void RestartKeeper::write(const std::string& body) {
    d_.platform.setRestartRecord(sealRecord(body, d_.seal));
    written_ = body;
    lastWrite_ = d_.main.now();
}

std::optional<Arrangement> RestartKeeper::take() {
    if (!d_.seal) return std::nullopt;
    const std::optional<std::string> text = d_.platform.restartRecord(record::kMaxBytes);
    if (!text || text->empty()) return std::nullopt;
    OpenedRecord opened = openRecord(*text, d_.seal);
    if (opened.fault) {
        log(std::string("restart: the arrangement left on the display is ") + describe(*opened.fault) + "; not used");
        return std::nullopt;
    }
    ArrangementRecord& r = *opened.record;
    const std::string now = setupKey(d_.platform.screens());
    if (r.setup == now) {
        d_.manager.recallSetups(r.setups);
        log("restart: taking up the arrangement the last run left");
        return std::move(r.arrangement);
    }
    // The displays changed while no Tarvela ran: what the record holds is the
    // memory of the set-up it was made on, and the one there is now may have
    // been seen before, as after a change while running.
    const Arrangement left = r.arrangement;
    std::erase_if(r.setups, [&](const auto& e) { return e.first == r.setup; });
    r.setups.emplace_back(r.setup, left);
    d_.manager.recallSetups(r.setups);
    auto seen = std::find_if(r.setups.begin(), r.setups.end(), [&](const auto& e) { return e.first == now; });
    if (seen == r.setups.end()) {
        log("restart: the arrangement left on the display was made on other displays; not used");
        return std::nullopt;
    }
    log("restart: the displays changed since the last run; their columns go back");
    Arrangement plan = std::move(seen->second);
    plan.floating = left.floating;
    plan.desktop = left.desktop;
    return plan;
}

}  // namespace tarvela
