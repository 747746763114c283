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
#include <utility>
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

// Writes `j` compactly as a data value under `key`.
void storeJSON(Defaults& d, const std::string& key, const Json& j);

// One value kept as JSON under one defaults key and rewritten whole on every
// change (the rules, the workspaces, the shortcuts). A stored value that
// cannot be decoded (one bad element, or written by a newer version) is not
// lost to that rewrite: before the first write over it, its bytes are set
// aside (Defaults::keepAside) and the log says where. When they cannot be, the
// write is skipped, so the value stays where it is until they can. A value of
// another kind than data (a string, say, as another version might write) is
// just as unreadable, and is set aside as a property list of its key.
class StoredJSON {
public:
    StoredJSON(Defaults& d, std::string key) : d_(d), key_(std::move(key)) {}

    // Decodes the stored data value with `decodeFn` (Json -> T), all or
    // nothing. None when the key is missing, holds another kind, or fails to
    // decode; the last two are logged once with the reason.
    template <class T, class Fn>
    std::optional<T> load(Fn decodeFn) {
        auto data = d_.getData(key_);
        if (!data) {
            noteOtherKind();
            return std::nullopt;
        }
        try {
            return decodeFn(parseJSON(*data));
        } catch (const DecodeError& e) {
            logUnreadable(key_, e.what());
            unreadable_ = Unreadable{std::move(*data), ".json"};
        }
        return std::nullopt;
    }

    // False when an unreadable value in the way could not be set aside.
    bool store(const Json& j);

private:
    Defaults& d_;
    std::string key_;
    void noteOtherKind();

    struct Unreadable {
        Data raw;
        std::string suffix;  // of the name it is kept under
    };
    std::optional<Unreadable> unreadable_;  // loaded, not decodable, not yet set aside
};

}  // namespace tarvela
