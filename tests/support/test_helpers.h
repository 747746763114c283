// Small helpers shared by the settings and input tests.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/log.h"
#include "settings/defaults.h"

namespace tarvela::testsupport {

// Collects every log line while it lives.
struct LogCapture {
    std::vector<std::string> lines;
    LogCapture() {
        setLogSink([this](const std::string& l) { lines.push_back(l); });
    }
    ~LogCapture() { setLogSink(nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
};

inline Data bytes(const std::string& s) { return Data(s.begin(), s.end()); }
inline std::string text(const std::optional<Data>& d) { return d ? std::string(d->begin(), d->end()) : "<none>"; }

}  // namespace tarvela::testsupport
