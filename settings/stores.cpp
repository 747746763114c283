#include "settings/stores.h"

#include <cmath>
#include <limits>

#include "core/log.h"

namespace tarvela {
namespace decode {

void fail(const std::string& path, const std::string& what) {
    throw DecodeError(path.empty() ? what : path + ": " + what);
}

namespace {
const char* typeName(const Json& j) { return j.type_name(); }
}  // namespace

const Json& object(const Json& j, const std::string& path) {
    if (!j.is_object()) fail(path, std::string("expected an object, found ") + typeName(j));
    return j;
}

const Json& array(const Json& j, const std::string& path) {
    if (!j.is_array()) fail(path, std::string("expected an array, found ") + typeName(j));
    return j;
}

const Json& member(const Json& obj, std::string_view name, const std::string& path) {
    object(obj, path);
    auto it = obj.find(name);
    if (it == obj.end()) fail(path, "missing \"" + std::string(name) + "\"");
    return *it;
}

const Json* optionalMember(const Json& obj, std::string_view name) {
    auto it = obj.find(name);
    if (it == obj.end() || it->is_null()) return nullptr;
    return &*it;
}

std::string string(const Json& j, const std::string& path) {
    if (!j.is_string()) fail(path, std::string("expected a string, found ") + typeName(j));
    return j.get<std::string>();
}

int64_t integer(const Json& j, const std::string& path, int64_t lo, int64_t hi) {
    if (j.is_number_unsigned()) {
        uint64_t u = j.get<uint64_t>();
        if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) || static_cast<int64_t>(u) > hi)
            fail(path, std::to_string(u) + " is out of range");
        if (static_cast<int64_t>(u) < lo) fail(path, std::to_string(u) + " is out of range");
        return static_cast<int64_t>(u);
    }
    if (j.is_number_integer()) {
        int64_t v = j.get<int64_t>();
        if (v < lo || v > hi) fail(path, std::to_string(v) + " is out of range");
        return v;
    }
    fail(path, std::string("expected an integer, found ") + (j.is_number() ? j.dump() : typeName(j)));
}

double number(const Json& j, const std::string& path) {
    if (!j.is_number()) fail(path, std::string("expected a number, found ") + typeName(j));
    double v = j.get<double>();
    if (!std::isfinite(v)) fail(path, "expected a finite number");
    return v;
}

}  // namespace decode

Json parseJSON(std::string_view text) {
    Json j = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
    if (j.is_discarded()) throw DecodeError("not valid JSON");
    return j;
}

Json parseJSON(const Data& data) {
    return parseJSON(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

std::string dumpJSON(const Json& j, int indent) {
    return j.dump(indent, ' ', /*ensure_ascii=*/false, Json::error_handler_t::replace);
}

Data toData(const std::string& text) { return Data(text.begin(), text.end()); }

void logUnreadable(const std::string& key, const std::string& reason) {
    log("stored \"" + key + "\" is unreadable (" + reason + "); using the defaults");
}

void storeJSON(Defaults& d, const std::string& key, const Json& j) { d.set(key, toData(dumpJSON(j))); }

void StoredJSON::noteOtherKind() {
    const std::optional<StoredEntry> e = d_.entry(key_);
    if (!e) return;  // missing: nothing to lose
    const bool vowel = !e->kind.empty() && std::string_view("aeiou").find(e->kind.front()) != std::string_view::npos;
    logUnreadable(key_, e->kind == "data" ? std::string("data that is not base64")
                                          : (vowel ? "an " : "a ") + e->kind + ", where data is expected");
    unreadable_ = Unreadable{toData(e->plist), ".plist"};
}

bool StoredJSON::store(const Json& j) {
    if (unreadable_) {
        auto where = d_.keepAside(key_, unreadable_->raw, unreadable_->suffix);
        if (!where) {
            log("stored \"" + key_ + "\" is unreadable and could not be set aside; it stays, and this change is not saved");
            return false;
        }
        log("stored \"" + key_ + "\" was unreadable; set aside as " + *where + " before it is overwritten");
        unreadable_.reset();
    }
    storeJSON(d_, key_, j);
    return true;
}

}  // namespace tarvela
