// Whether a display can be opened at all, asked before anything else connects
// to it (Qt gives up on an unreachable display by aborting).
#pragma once

#include <optional>
#include <string>

namespace tarvela {

// Why `display` cannot be opened, or nothing when it can.
std::optional<std::string> probeDisplay(const std::string& display);

}  // namespace tarvela
