// Launch announcements on the root window: a launcher that starts a program
// broadcasts "new: ID=... SCREEN=..." in 20-byte client messages (the first
// of type _NET_STARTUP_INFO_BEGIN, the rest _NET_STARTUP_INFO) that end at a
// NUL byte; "change:" and "remove:" follow the same way.
#pragma once

#include <xcb/xcb.h>

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tarvela::x11 {

struct StartupMessage {
    std::string kind;  // "new", "change", "remove"
    std::map<std::string, std::string> keys;
};

// "kind: KEY=value KEY="quoted value" ..." with backslash escapes; none when
// it has no kind.
std::optional<StartupMessage> parseStartupMessage(std::string_view text);

// Joins each sender's pieces into whole messages.
class StartupAssembler {
public:
    // One client message's 20 bytes from `sender`; the whole message once its
    // NUL came. `begin`: a _NET_STARTUP_INFO_BEGIN, which starts afresh.
    std::optional<std::string> feed(xcb_window_t sender, bool begin, const std::array<char, 20>& bytes);

private:
    // Messages being received; a sender that never finishes one is
    // dropped once too much has come.
    std::map<xcb_window_t, std::string> partial_;
};

}  // namespace tarvela::x11
