// The scripting interface's events: what changed in the strips, the windows,
// the workspaces and the preferences, told as one JSON object per change.
//
// Strip and window changes are found by comparing the manager's state with
// the last one told, once per run-loop turn after the manager reports a
// change, so a burst of changes within one turn reads as its outcome. Scroll
// starts and ends, workspace saves, restores and drift are told as they
// happen, after that turn's other changes.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/lifetime.h"
#include "core/runloop.h"
#include "core/signal.h"
#include "ipc/ipc_commands.h"

namespace tarvela {

class IpcEvents {
public:
    // Receives every event, topic first; the event's "event" member is the topic.
    using Publish = std::function<void(const std::string& topic, Json event)>;

    IpcEvents(IpcCommands& commands, RunLoop& loop, Publish publish);
    ~IpcEvents();
    IpcEvents(const IpcEvents&) = delete;
    IpcEvents& operator=(const IpcEvents&) = delete;

    // Tells what changed since the last time, now.
    void flush();

private:
    struct Place {
        int strip = -1;  // -1: floating
        int col = 0;
        int row = 0;
        std::string app;
    };
    struct StripState {
        Layout layout = Layout::strip;
        std::vector<double> widths;
        std::vector<long> px;
    };
    struct Focus {
        int display = 0;
        int col = -1;
        int row = -1;
        uint64_t window = 0;
        bool operator==(const Focus&) const = default;
    };

    static StripState stateOf(const Strip& s);
    void schedule();
    void watchScrolling();
    void queue(const std::string& topic, Json event);
    std::map<uint64_t, Place> places() const;
    std::optional<Focus> focus() const;
    std::vector<Json> prefValues() const;
    void diffManager(std::vector<std::pair<std::string, Json>>& out);

    IpcCommands& c_;
    RunLoop& loop_;
    Publish publish_;
    bool scheduled_ = false;
    Lifetime life_;

    std::map<uint64_t, Place> places_;
    std::map<int, StripState> strips_;
    std::map<int, bool> scrolling_;  // as last seen, told at once
    std::optional<Focus> focus_;
    std::vector<Json> prefs_;  // in the order of IpcCommands::preferences()
    bool managerDirty_ = false;
    bool prefsDirty_ = false;
    std::vector<std::pair<std::string, Json>> pending_;
    std::vector<Connection> bag_;
};

}  // namespace tarvela
