// Facts about this build that the diagnostics report and the about texts show.
#pragma once

#include <optional>
#include <string>

namespace tarvela::AppInfo {

// The product version the build was stamped with (TARVELA_VERSION), or
// "1.0.0" when it was not.
std::string version();
// The rule behind version(): the stamped entry when there is one, else "1.0.0".
std::string versionFrom(const std::optional<std::string>& entry);

// Where diagnostics reports are addressed (a deployment value).
inline constexpr const char* supportAddress = "support@tarvela.app";

}  // namespace tarvela::AppInfo
