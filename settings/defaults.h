// The user-defaults store: typed values under string keys, written through at
// once. Readers ask for one type; a value of another type reads as missing.
// The file-backed store lives beside this; MemoryDefaults serves tests.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tarvela {

using Data = std::vector<uint8_t>;
using DefaultsValue = std::variant<bool, int64_t, double, std::string, Data>;

// A stored value as the store keeps it: its property-list kind ("data",
// "string", "boolean", "array", ...) and a property list of its key alone.
struct StoredEntry {
    std::string kind;
    std::string plist;
};

class Defaults {
public:
    virtual ~Defaults() = default;
    virtual std::optional<DefaultsValue> get(const std::string& key) = 0;
    virtual void set(const std::string& key, const DefaultsValue& value) = 0;
    virtual void remove(const std::string& key) = 0;
    virtual std::vector<std::string> keys() = 0;
    // Keeps `raw`, a value of `key` that could not be read, where no later
    // write of that key reaches it, and gives where it went; none when it
    // could not be kept. A store that has no such place keeps nothing.
    // `suffix` ends the name of what is kept (".json", ".plist").
    virtual std::optional<std::string> keepAside(const std::string& key, const Data& raw,
                                                 const std::string& suffix = ".json") {
        (void)key;
        (void)raw;
        (void)suffix;
        return std::nullopt;
    }
    // The value under `key` whatever its kind, also one no getter reads (a
    // kind this store does not know, a value that does not parse); none when
    // the key is missing.
    virtual std::optional<StoredEntry> entry(const std::string& key);

    std::optional<bool> getBool(const std::string& key) { return as<bool>(key); }
    std::optional<int64_t> getInt(const std::string& key) { return as<int64_t>(key); }
    std::optional<double> getDouble(const std::string& key) { return as<double>(key); }
    std::optional<std::string> getString(const std::string& key) { return as<std::string>(key); }
    std::optional<Data> getData(const std::string& key) { return as<Data>(key); }

private:
    template <class T>
    std::optional<T> as(const std::string& key) {
        auto v = get(key);
        if (!v) return std::nullopt;
        if (auto* t = std::get_if<T>(&*v)) return *t;
        return std::nullopt;
    }
};

class MemoryDefaults final : public Defaults {
public:
    std::optional<DefaultsValue> get(const std::string& key) override {
        std::lock_guard<std::mutex> lock(m_);
        auto it = values_.find(key);
        if (it == values_.end()) return std::nullopt;
        return it->second;
    }
    void set(const std::string& key, const DefaultsValue& value) override {
        std::lock_guard<std::mutex> lock(m_);
        values_[key] = value;
    }
    void remove(const std::string& key) override {
        std::lock_guard<std::mutex> lock(m_);
        values_.erase(key);
    }
    std::vector<std::string> keys() override {
        std::lock_guard<std::mutex> lock(m_);
        std::vector<std::string> out;
        for (auto& [k, v] : values_) out.push_back(k);
        return out;
    }
    std::optional<std::string> keepAside(const std::string& key, const Data& raw,
                                         const std::string& suffix = ".json") override {
        (void)suffix;
        std::lock_guard<std::mutex> lock(m_);
        aside_.emplace_back(key, raw);
        return "memory:" + key + "-" + std::to_string(aside_.size());
    }
    // What was set aside, in order, with its key.
    std::vector<std::pair<std::string, Data>> keptAside() {
        std::lock_guard<std::mutex> lock(m_);
        return aside_;
    }

private:
    std::mutex m_;
    std::map<std::string, DefaultsValue> values_;
    std::vector<std::pair<std::string, Data>> aside_;
};

}  // namespace tarvela
