// Shared plumbing of everything stored as one JSON value under a defaults key
// (rules, workspaces, shortcuts) and of the export file.
//
// Decoding is strict and all-or-nothing: a value either decodes completely into
// exactly what it says, or fails with a DecodeError naming the path of the first
// fault ("rules[2].behavior: 3 names no behavior"). Nothing is converted
// silently: 1.5 is not an integer, -1 is no unsigned number, "5" is no number.
// Optional members may be absent or null; members nobody asks for are ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "settings/defaults.h"

namespace tarvela {

using Json = nlohmann::json;

struct DecodeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

namespace decode {

[[noreturn]] void fail(const std::string& path, const std::string& what);

const Json& object(const Json& j, const std::string& path);
const Json& array(const Json& j, const std::string& path);
// A required member of an object; fails when it is absent.
const Json& member(const Json& obj, std::string_view name, const std::string& path);
// An optional member: null when absent or JSON null.
const Json* optionalMember(const Json& obj, std::string_view name);

std::string string(const Json& j, const std::string& path);
// A JSON integer (no fraction, no exponent) within [lo, hi].
int64_t integer(const Json& j, const std::string& path, int64_t lo, int64_t hi);
// Any finite JSON number.
double number(const Json& j, const std::string& path);

inline std::string at(const std::string& path, std::string_view name) {
    return path.empty() ? std::string(name) : path + "." + std::string(name);
}
inline std::string at(const std::string& path, size_t index) { return path + "[" + std::to_string(index) + "]"; }

// A JSON array decoded element by element with `element(json, path)`.
template <class Fn>
auto list(const Json& j, const std::string& path, Fn element) {
    array(j, path);
    std::vector<decltype(element(j, path))> out;
    out.reserve(j.size());
    for (size_t i = 0; i < j.size(); ++i) out.push_back(element(j[i], at(path, i)));
    return out;
}

}  // namespace decode

// Parses JSON text; a DecodeError when it is no (complete, valid UTF-8) JSON text.
Json parseJSON(const Data& data);
Json parseJSON(std::string_view text);

// Compact JSON text. Text that is not valid UTF-8 (a name read from a window
// system property, say) is written with U+FFFD in place of the bad bytes rather
// than making the whole value unwritable.
std::string dumpJSON(const Json& j, int indent = -1);
Data toData(const std::string& text);

// A JSON array of each element's toJSON form.
template <class T>
Json listToJSON(const std::vector<T>& items) {
    Json a = Json::array();
    for (auto& item : items) a.push_back(toJSON(item));
    return a;
}

void logUnreadable(const std::string& key, const std::string& reason);

// Reads `key` as a data value and decodes it with `decodeFn` (Json -> T), all
// or nothing. None when the key is missing, holds another type, or fails to
// decode; a failure to decode is logged once with `what` and the reason, since
// the stored value stays in place until the next change overwrites it.
template <class T, class Fn>
std::optional<T> loadJSON(Defaults& d, const std::string& key, Fn decodeFn) {
    auto data = d.getData(key);
    if (!data) return std::nullopt;
    try {
        return decodeFn(parseJSON(*data));
    } catch (const DecodeError& e) {
        logUnreadable(key, e.what());
    }
    return std::nullopt;
}

// Writes `j` compactly as a data value under `key`.
void storeJSON(Defaults& d, const std::string& key, const Json& j);

}  // namespace tarvela
