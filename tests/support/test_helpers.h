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

// A store that remembers every write, in order.
class RecordingDefaults final : public Defaults {
public:
    std::optional<DefaultsValue> get(const std::string& key) override { return mem.get(key); }
    void set(const std::string& key, const DefaultsValue& value) override {
        writes.emplace_back(key, value);
        mem.set(key, value);
    }
    void remove(const std::string& key) override {
        writes.emplace_back(key, std::nullopt);
        mem.remove(key);
    }
    std::vector<std::string> keys() override { return mem.keys(); }
    size_t writesTo(const std::string& key) const {
        size_t n = 0;
        for (auto& w : writes) n += w.first == key;
        return n;
    }

    MemoryDefaults mem;
    std::vector<std::pair<std::string, std::optional<DefaultsValue>>> writes;
};

inline Data bytes(const std::string& s) { return Data(s.begin(), s.end()); }
inline std::string text(const std::optional<Data>& d) { return d ? std::string(d->begin(), d->end()) : "<none>"; }

}  // namespace tarvela::testsupport
