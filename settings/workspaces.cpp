#include "settings/workspaces.h"

#include <algorithm>
#include <climits>

#include "core/log.h"

namespace tarvela {

// --- Uuid ---

namespace {
int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
bool isDashPosition(size_t i) { return i == 8 || i == 13 || i == 18 || i == 23; }
}  // namespace

std::optional<Uuid> Uuid::parse(std::string_view text) {
    if (text.size() != 36) return std::nullopt;
    Uuid u;
    size_t b = 0;
    for (size_t i = 0; i < 36;) {
        if (isDashPosition(i)) {
            if (text[i] != '-') return std::nullopt;
            ++i;
            continue;
        }
        int hi = hexDigit(text[i]), lo = hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        u.bytes[b++] = static_cast<uint8_t>(hi * 16 + lo);
        i += 2;
    }
    return u;
}

Uuid Uuid::random(std::mt19937_64& rng) {
    Uuid u;
    for (size_t i = 0; i < 16; i += 8) {
        uint64_t r = rng();
        for (size_t k = 0; k < 8; ++k) u.bytes[i + k] = static_cast<uint8_t>(r >> (8 * k));
    }
    u.bytes[6] = static_cast<uint8_t>((u.bytes[6] & 0x0F) | 0x40);  // version 4
    u.bytes[8] = static_cast<uint8_t>((u.bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return u;
}

Uuid Uuid::random() {
    thread_local std::mt19937_64 rng([] {
        std::random_device rd;
        return (static_cast<uint64_t>(rd()) << 32) ^ rd();
    }());
    return random(rng);
}

std::string Uuid::str() const {
    static const char* hex = "0123456789ABCDEF";
    std::string s;
    s.reserve(36);
    for (size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) s += '-';
        s += hex[bytes[i] >> 4];
        s += hex[bytes[i] & 0xF];
    }
    return s;
}

// --- Workspace ---

std::string Workspace::appsLine() const {
    std::string out;
    for (auto& col : columns)
        for (auto& app : col) {
            if (!out.empty()) out += ", ";
            out += app.name;
        }
    return out;
}

Json toJSON(const WSApp& a) { return {{"bundleID", a.bundleID}, {"name", a.name}}; }

Json toJSON(const Workspace& w) {
    Json cols = Json::array();
    for (auto& col : w.columns) cols.push_back(listToJSON(col));
    Json j = {{"id", w.id.str()},          {"name", w.name},  {"display", w.display},
              {"layout", rawValue(w.layout)}, {"columns", cols}, {"widths", w.widths}};
    if (w.slot) j["slot"] = *w.slot;
    return j;
}

namespace {
WSApp wsAppFromJSON(const Json& j, const std::string& path) {
    decode::object(j, path);
    return {decode::string(decode::member(j, "bundleID", path), decode::at(path, "bundleID")),
            decode::string(decode::member(j, "name", path), decode::at(path, "name"))};
}
}  // namespace

Workspace workspaceFromJSON(const Json& j, const std::string& path) {
    decode::object(j, path);
    Workspace w;
    auto idPath = decode::at(path, "id");
    auto id = Uuid::parse(decode::string(decode::member(j, "id", path), idPath));
    if (!id) decode::fail(idPath, "not a UUID");
    w.id = *id;
    w.name = decode::string(decode::member(j, "name", path), decode::at(path, "name"));
    w.display = static_cast<int>(
        decode::integer(decode::member(j, "display", path), decode::at(path, "display"), INT_MIN, INT_MAX));
    auto layoutPath = decode::at(path, "layout");
    auto raw = decode::string(decode::member(j, "layout", path), layoutPath);
    auto layout = layoutFromRaw(raw);
    if (!layout) decode::fail(layoutPath, "\"" + raw + "\" names no layout");
    w.layout = *layout;

    auto colsPath = decode::at(path, "columns");
    w.columns = decode::list(decode::member(j, "columns", path), colsPath, [](const Json& col, const std::string& p) {
        return decode::list(col, p, wsAppFromJSON);
    });
    w.widths = decode::list(decode::member(j, "widths", path), decode::at(path, "widths"), decode::number);

    if (auto* s = decode::optionalMember(j, "slot")) {
        // Any integer is a slot; one beyond the digits (however large) only loses its shortcut.
        bool beyond = s->is_number_unsigned() && s->get<uint64_t>() > 9;
        auto slot = beyond ? 10 : decode::integer(*s, decode::at(path, "slot"), INT64_MIN, INT64_MAX);
        if (slot >= 0 && slot <= 9)
            w.slot = static_cast<int>(slot);
        else
            log("workspace \"" + w.name + "\" has slot " + s->dump() + ", which has no key; it keeps no shortcut");
    }
    return w;
}

Json workspacesToJSON(const std::vector<Workspace>& items) { return listToJSON(items); }

std::vector<Workspace> workspacesFromJSON(const Json& j, const std::string& path) {
    return decode::list(j, path, workspaceFromJSON);
}

// --- WorkspaceStore ---

WorkspaceStore::WorkspaceStore(Defaults& d) : stored_(d, key) {
    auto stored = stored_.load<std::vector<Workspace>>([](const Json& j) { return workspacesFromJSON(j, key); });
    if (stored) items_ = std::move(*stored);
}

void WorkspaceStore::save() { stored_.store(workspacesToJSON(items_)); }

void WorkspaceStore::setItems(std::vector<Workspace> items) {
    bool real = items != items_;
    items_ = std::move(items);
    save();
    if (real) changed.emit();
}

void WorkspaceStore::append(Workspace ws) {
    auto next = items_;
    next.push_back(std::move(ws));
    setItems(std::move(next));
}

void WorkspaceStore::remove(const Uuid& id) {
    auto next = items_;
    std::erase_if(next, [&](const Workspace& w) { return w.id == id; });
    setItems(std::move(next));
    if (activeID_ == id) setActiveID(std::nullopt);
}

std::vector<int> WorkspaceStore::freeSlots(const std::set<int>& takenByShortcuts) const {
    std::vector<int> out;
    for (int s : {5, 6, 7, 8, 9, 0})
        if (!takenByShortcuts.count(s) &&
            std::none_of(items_.begin(), items_.end(), [s](const Workspace& w) { return w.slot == s; }))
            out.push_back(s);
    return out;
}

const Workspace* WorkspaceStore::find(const Uuid& id) const {
    for (auto& w : items_)
        if (w.id == id) return &w;
    return nullptr;
}

const Workspace* WorkspaceStore::forSlot(int slot) const {
    for (auto& w : items_)
        if (w.slot == slot) return &w;
    return nullptr;
}

void WorkspaceStore::setActiveID(std::optional<Uuid> id) {
    if (id == activeID_) return;
    activeID_ = id;
    activeChanged.emit();
}

}  // namespace tarvela
