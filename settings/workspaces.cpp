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

std::vector<WorkspaceDisplay> Workspace::displays() const {
    std::vector<WorkspaceDisplay> out{WorkspaceDisplay{display, displayKey, layout, columns, widths}};
    out.insert(out.end(), moreDisplays.begin(), moreDisplays.end());
    return out;
}

std::string Workspace::appsLine() const {
    std::string out;
    for (const WorkspaceDisplay& d : displays())
        for (auto& col : d.columns)
            for (auto& app : col) {
                if (!out.empty()) out += ", ";
                out += app.name;
            }
    return out;
}

size_t Workspace::entryCount() const {
    size_t n = 0;
    for (const WorkspaceDisplay& d : displays())
        for (auto& col : d.columns) n += col.size();
    return n;
}

Json toJSON(const WSApp& a) { return {{"bundleID", a.bundleID}, {"name", a.name}}; }

namespace {
Json columnsToJSON(const std::vector<std::vector<WSApp>>& columns) {
    Json cols = Json::array();
    for (auto& col : columns) cols.push_back(listToJSON(col));
    return cols;
}
}  // namespace

Json toJSON(const WorkspaceDisplay& d) {
    return {{"display", d.display},
            {"key", d.key},
            {"layout", rawValue(d.layout)},
            {"columns", columnsToJSON(d.columns)},
            {"widths", d.widths}};
}

Json toJSON(const Workspace& w) {
    Json j = {{"id", w.id.str()},          {"name", w.name},  {"display", w.display},
              {"layout", rawValue(w.layout)}, {"columns", columnsToJSON(w.columns)}, {"widths", w.widths}};
    if (w.slot) j["slot"] = *w.slot;
    if (!w.displayKey.empty()) j["displayKey"] = w.displayKey;
    if (!w.moreDisplays.empty()) j["displays"] = listToJSON(w.moreDisplays);
    if (w.lastSession) j["lastSession"] = true;
    return j;
}

namespace {
WSApp wsAppFromJSON(const Json& j, const std::string& path) {
    decode::object(j, path);
    return {decode::string(decode::member(j, "bundleID", path), decode::at(path, "bundleID")),
            decode::string(decode::member(j, "name", path), decode::at(path, "name"))};
}

// The members a workspace and each of its further displays share.
void stripFromJSON(const Json& j, const std::string& path, int& display, Layout& layout,
                   std::vector<std::vector<WSApp>>& columns, std::vector<double>& widths) {
    display = static_cast<int>(
        decode::integer(decode::member(j, "display", path), decode::at(path, "display"), INT_MIN, INT_MAX));
    auto layoutPath = decode::at(path, "layout");
    auto raw = decode::string(decode::member(j, "layout", path), layoutPath);
    auto parsed = layoutFromRaw(raw);
    if (!parsed) decode::fail(layoutPath, "\"" + raw + "\" names no layout");
    layout = *parsed;
    auto colsPath = decode::at(path, "columns");
    columns = decode::list(decode::member(j, "columns", path), colsPath, [](const Json& col, const std::string& p) {
        return decode::list(col, p, wsAppFromJSON);
    });
    widths = decode::list(decode::member(j, "widths", path), decode::at(path, "widths"), decode::number);
}

WorkspaceDisplay workspaceDisplayFromJSON(const Json& j, const std::string& path) {
    decode::object(j, path);
    WorkspaceDisplay d;
    stripFromJSON(j, path, d.display, d.layout, d.columns, d.widths);
    d.key = decode::string(decode::member(j, "key", path), decode::at(path, "key"));
    return d;
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
    stripFromJSON(j, path, w.display, w.layout, w.columns, w.widths);
    if (auto* k = decode::optionalMember(j, "displayKey")) w.displayKey = decode::string(*k, decode::at(path, "displayKey"));
    if (auto* more = decode::optionalMember(j, "displays"))
        w.moreDisplays = decode::list(*more, decode::at(path, "displays"), workspaceDisplayFromJSON);
    if (auto* last = decode::optionalMember(j, "lastSession")) {
        if (!last->is_boolean()) decode::fail(decode::at(path, "lastSession"), "not true or false");
        w.lastSession = last->get<bool>();
    }

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

bool WorkspaceStore::keepLastSession(Workspace session) {
    session.lastSession = true;
    session.slot.reset();
    auto next = items_;
    auto first = std::find_if(next.begin(), next.end(), [](const Workspace& w) { return w.lastSession; });
    if (first == next.end()) {
        next.push_back(std::move(session));
    } else {
        session.id = first->id;
        *first = std::move(session);
        // Only one is the last session (an import may have brought another,
        // even under the same id).
        next.erase(std::remove_if(first + 1, next.end(), [](const Workspace& w) { return w.lastSession; }), next.end());
    }
    if (next == items_) return false;
    setItems(std::move(next));
    return true;
}

const Workspace* WorkspaceStore::lastSession() const {
    for (auto& w : items_)
        if (w.lastSession) return &w;
    return nullptr;
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
