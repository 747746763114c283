// Restarting in place: the arrangement is kept on the display (where the
// next Tarvela on the same server finds it, a crash included), and a start
// takes the one a Tarvela before it left there.
//
// Written whenever the manager's state changed and no strip is sliding, at
// most once per `interval` (a burst of changes makes one write at its start
// and one at its end) and never when the text is the same as the last one;
// flush() writes at once, as the manager is about to stop. Only while the
// manager is on and this process holds the display: a Tarvela that lost the
// display to a --replace leaves the record to the new one.
#pragma once

#include <optional>
#include <string>

#include "core/lifetime.h"
#include "core/platform.h"
#include "core/runloop.h"
#include "core/signal.h"
#include "manager/arrangement_record.h"
#include "manager/window_manager.h"

namespace tarvela {

class RestartKeeper {
public:
    struct Deps {
        Platform& platform;
        RunLoop& main;
        WindowManager& manager;
        RecordSeal seal;  // none: nothing is written or taken
        double interval = 0.2;
    };
    explicit RestartKeeper(Deps deps);
    RestartKeeper(const RestartKeeper&) = delete;
    RestartKeeper& operator=(const RestartKeeper&) = delete;

    // The arrangement a Tarvela before this one left, when it verifies, reads
    // and was made on the displays there are now; none otherwise, with a log
    // line saying why when there was a record. A record that verifies and
    // reads gives the manager its memory of other set-ups of displays.
    std::optional<Arrangement> take();
    // Writes now what has not been written yet.
    void flush();

private:
    void changed();
    void check();
    // The record of the arrangement now; none while there is nothing to keep.
    std::optional<std::string> current();
    void write(const std::string& text);

    Deps d_;
    std::vector<Connection> bag_;
    bool posted_ = false;
    std::optional<RunLoop::TimerId> timer_;
    std::optional<double> lastWrite_;
    std::string written_;  // the body last written (signatures aside)
    Lifetime life_;
};

}  // namespace tarvela
