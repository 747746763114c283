// One button release can reach us twice: as the ButtonRelease of our own
// pointer grab and as the XInput2 raw event (which the server withholds
// from us only while an active grab of ours runs). Both carry the same
// server time, but so do two separate releases within one millisecond, as
// XTEST and scripts make them: only the other kind of event at the same
// time, once, is the same release again.
#pragma once

#include <cstdint>
#include <optional>

namespace tarvela::x11 {

class ReleaseOnce {
public:
    // Whether the release this event reports has not been counted yet.
    bool fresh(uint32_t time, bool raw) {
        if (last_ && last_->time == time && last_->raw != raw && !last_->twinSeen) {
            last_->twinSeen = true;
            return false;
        }
        last_ = Last{time, raw, false};
        return true;
    }

private:
    struct Last {
        uint32_t time;
        bool raw;
        bool twinSeen;
    };
    std::optional<Last> last_;
};

}  // namespace tarvela::x11
