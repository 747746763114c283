#include "platform/x11/x11_probe.h"

#include <xcb/xcb.h>

namespace tarvela {

std::optional<std::string> probeDisplay(const std::string& display) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    const int err = xcb_connection_has_error(c);
    xcb_disconnect(c);
    if (err == 0) return std::nullopt;
    return "cannot open display " + display;
}

}  // namespace tarvela
