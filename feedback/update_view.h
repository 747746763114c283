// What the software-update window shows for each state of the update check:
// its title, the line under it, the main button, and the release notes. The
// window draws this and hands its main button to the updater; every text and
// every decision is here.
#pragma once

#include <string>
#include <vector>

namespace tarvela {

// Where the update check stands. `detail` is the version when an update is
// available and the message when the check failed; empty otherwise.
struct UpdateState {
    enum class Kind { idle, checking, upToDate, available, failed };
    Kind kind = Kind::idle;
    std::string detail;

    static UpdateState idle() { return {}; }
    static UpdateState checking() { return {Kind::checking, {}}; }
    static UpdateState upToDate() { return {Kind::upToDate, {}}; }
    static UpdateState available(std::string version) { return {Kind::available, std::move(version)}; }
    static UpdateState failed(std::string message) { return {Kind::failed, std::move(message)}; }

    bool operator==(const UpdateState&) const = default;
};

// A short form for log lines and tests: "idle", "available(1.2)", "failed(…)".
std::string describe(const UpdateState& s);

namespace update_view {
inline constexpr const char* whatsNew = "What’s new";
inline constexpr const char* later = "Later";
}  // namespace update_view

struct UpdateView {
    // What the main button does: check again, or install the update found.
    enum class Action { check, install };

    std::string title;
    std::string subline;
    std::string button;
    bool buttonEnabled = true;
    Action action = Action::check;
    // The "What’s new" list: the notes of the release last found.
    std::vector<std::string> notes;

    static UpdateView of(const UpdateState& state, const std::string& currentVersion,
                         const std::vector<std::string>& notes);
};

}  // namespace tarvela
