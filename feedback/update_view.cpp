#include "feedback/update_view.h"

namespace tarvela {

std::string describe(const UpdateState& s) {
    switch (s.kind) {
        case UpdateState::Kind::idle: return "idle";
        case UpdateState::Kind::checking: return "checking";
        case UpdateState::Kind::upToDate: return "upToDate";
        case UpdateState::Kind::available: return "available(" + s.detail + ")";
        case UpdateState::Kind::failed: return "failed(" + s.detail + ")";
    }
    return "idle";
}

UpdateView UpdateView::of(const UpdateState& state, const std::string& current, const std::vector<std::string>& notes) {
    UpdateView v;
    v.notes = notes;
    const std::string youHave = "You have " + current + ".";
    switch (state.kind) {
        case UpdateState::Kind::idle:
            v.title = "Software update";
            v.subline = youHave;
            v.button = "Check again";
            break;
        case UpdateState::Kind::checking:
            v.title = "Checking for updates…";
            v.subline = youHave;
            v.button = "Checking…";
            v.buttonEnabled = false;
            break;
        case UpdateState::Kind::upToDate:
            v.title = "Tarvela is up to date";
            v.subline = youHave;
            v.button = "Check again";
            break;
        case UpdateState::Kind::available:
            v.title = "Tarvela " + state.detail + " is available";
            v.subline = youHave + " This update is free.";
            v.button = "Install update";
            v.action = Action::install;
            break;
        case UpdateState::Kind::failed:
            v.title = "Couldn’t check for updates";
            v.subline = state.detail + " Check your connection and try again.";
            v.button = "Check again";
            break;
    }
    return v;
}

}  // namespace tarvela
