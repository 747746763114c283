#include "manager/arrangement_record.h"

#include <cmath>
#include <exception>

#include <nlohmann/json.hpp>

namespace tarvela {

using nlohmann::json;

namespace {

// Deeper than any record nests; checked before parsing, so no hostile text
// makes the parser or the value it builds recurse far.
constexpr int kMaxDepth = 8;
// A set-up names every display it has.
constexpr size_t kMaxSetupKey = record::kMaxKey * 16;

bool shallow(std::string_view text) {
    int depth = 0;
    bool inString = false, escaped = false;
    for (char ch : text) {
        if (inString) {
            if (escaped) escaped = false;
            else if (ch == '\\') escaped = true;
            else if (ch == '"') inString = false;
        } else if (ch == '"') {
            inString = true;
        } else if (ch == '[' || ch == '{') {
            if (++depth > kMaxDepth) return false;
        } else if (ch == ']' || ch == '}') {
            --depth;
        }
    }
    return true;
}

// Readers that refuse rather than convert: a field of the wrong type, or out
// of its range, makes the whole record none.
struct Reader {
    bool ok = true;
    size_t windows = 0;

    const json* field(const json& o, const char* name) {
        if (!ok || !o.is_object()) return fail();
        auto it = o.find(name);
        return it == o.end() ? fail() : &*it;
    }
    const json* fail() {
        ok = false;
        return nullptr;
    }
    int integer(const json& o, const char* name, int lo, int hi) {
        const json* v = field(o, name);
        if (!v || !v->is_number_integer()) return fail(), 0;
        const int64_t n = v->get<int64_t>();
        if (n < lo || n > hi) return fail(), 0;
        return static_cast<int>(n);
    }
    double number(const json& o, const char* name, double lo, double hi) {
        const json* v = field(o, name);
        if (!v || !v->is_number()) return fail(), 0;
        const double d = v->get<double>();
        if (!std::isfinite(d) || d < lo || d > hi) return fail(), 0;
        return d;
    }
    std::string text(const json& o, const char* name, size_t max) {
        const json* v = field(o, name);
        if (!v || !v->is_string() || v->get_ref<const std::string&>().size() > max) return fail(), std::string();
        return v->get<std::string>();
    }
    const json* array(const json& o, const char* name, size_t max) {
        const json* v = field(o, name);
        if (!v || !v->is_array() || v->size() > max) return fail();
        return v;
    }
    uint32_t window(const json& v) {
        if (!v.is_number_unsigned()) return fail(), 0u;
        const uint64_t n = v.get<uint64_t>();
        if (n == 0 || n > 0xffffffffu || ++windows > record::kMaxWindows) return fail(), 0u;
        return static_cast<uint32_t>(n);
    }
    int desktop(const json& o, bool allowAll) {
        const int d = integer(o, "desktop", allowAll ? kAllDesktops : 0, record::kMaxDesktop - 1);
        return d;
    }
};

json encodeStrip(const StripPlan& s) {
    json cols = json::array();
    for (const ColumnPlan& c : s.columns) cols.push_back({{"windows", c.windows}, {"frac", c.frac}});
    return {{"display", s.display}, {"desktop", s.desktop}, {"columns", std::move(cols)},
            {"focusC", s.focusC},   {"focusR", s.focusR},   {"offset", s.offset}};
}

json encodeFields(const Arrangement& a) {
    json strips = json::array();
    for (const StripPlan& s : a.strips) strips.push_back(encodeStrip(s));
    json floating = json::array();
    for (const FloatPlan& f : a.floating) floating.push_back({{"window", f.window}, {"desktop", f.desktop}});
    return {{"desktop", a.desktop},
            {"focusDisplay", a.focusDisplay},
            {"strips", std::move(strips)},
            {"floating", std::move(floating)}};
}

std::optional<StripPlan> decodeStrip(Reader& rd, const json& j) {
    StripPlan s;
    s.display = rd.text(j, "display", record::kMaxKey);
    s.desktop = rd.desktop(j, false);
    s.offset = rd.number(j, "offset", -record::kMaxOffset, record::kMaxOffset);
    const json* cols = rd.array(j, "columns", record::kMaxColumns);
    if (!rd.ok) return std::nullopt;
    for (const json& c : *cols) {
        ColumnPlan col;
        col.frac = rd.number(c, "frac", record::kMinFrac, record::kMaxFrac);
        const json* wins = rd.array(c, "windows", record::kMaxRows);
        if (!rd.ok || wins->empty()) return std::nullopt;
        for (const json& w : *wins) col.windows.push_back(rd.window(w));
        if (!rd.ok) return std::nullopt;
        s.columns.push_back(std::move(col));
    }
    // The focus names a window of the strip, or the empty strip's nothing.
    const int ncols = static_cast<int>(s.columns.size());
    s.focusC = rd.integer(j, "focusC", 0, std::max(ncols - 1, 0));
    if (!rd.ok) return std::nullopt;
    const int nrows = ncols ? static_cast<int>(s.columns[static_cast<size_t>(s.focusC)].windows.size()) : 1;
    s.focusR = rd.integer(j, "focusR", 0, nrows - 1);
    return rd.ok ? std::optional(std::move(s)) : std::nullopt;
}

// The fields of an arrangement, in a record or in one of its set-ups; each
// arrangement is bounded on its own.
std::optional<Arrangement> decodeFields(Reader& rd, const json& j) {
    rd.windows = 0;
    Arrangement a;
    a.desktop = rd.desktop(j, false);
    a.focusDisplay = rd.text(j, "focusDisplay", record::kMaxKey);
    const json* strips = rd.array(j, "strips", record::kMaxStrips);
    const json* floating = rd.array(j, "floating", record::kMaxWindows);
    if (!rd.ok) return std::nullopt;
    for (const json& s : *strips) {
        auto strip = decodeStrip(rd, s);
        if (!strip) return std::nullopt;
        a.strips.push_back(std::move(*strip));
    }
    for (const json& f : *floating) {
        const json* w = rd.field(f, "window");
        FloatPlan fp;
        fp.window = w ? rd.window(*w) : 0;
        fp.desktop = rd.desktop(f, true);
        if (!rd.ok) return std::nullopt;
        a.floating.push_back(fp);
    }
    return a;
}

std::optional<ArrangementRecord> decodeChecked(const json& j) {
    Reader rd;
    if (rd.integer(j, "version", record::kVersion, record::kVersion) != record::kVersion || !rd.ok) return std::nullopt;
    ArrangementRecord r;
    r.setup = rd.text(j, "setup", kMaxSetupKey);
    auto a = decodeFields(rd, j);
    if (!a) return std::nullopt;
    r.arrangement = std::move(*a);
    if (!j.contains("setups")) return r;
    const json* setups = rd.array(j, "setups", record::kMaxSetups);
    if (!rd.ok) return std::nullopt;
    for (const json& s : *setups) {
        std::string key = rd.text(s, "setup", kMaxSetupKey);
        auto sa = decodeFields(rd, s);
        if (!sa) return std::nullopt;
        r.setups.emplace_back(std::move(key), std::move(*sa));
    }
    return r;
}

}  // namespace

std::string encodeArrangement(const ArrangementRecord& r) {
    json j = encodeFields(r.arrangement);
    j["version"] = record::kVersion;
    j["setup"] = r.setup;
    if (!r.setups.empty()) {
        json setups = json::array();
        for (const auto& [key, a] : r.setups) {
            json s = encodeFields(a);
            s["setup"] = key;
            setups.push_back(std::move(s));
        }
        j["setups"] = std::move(setups);
    }
    // Keys that are not valid UTF-8 (an output's name is bytes) are replaced, not thrown on.
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<ArrangementRecord> decodeArrangement(std::string_view text) {
    if (text.size() > record::kMaxBytes || !shallow(text)) return std::nullopt;
    try {
        const json j = json::parse(text, nullptr, false);
        if (j.is_discarded()) return std::nullopt;
        return decodeChecked(j);
    } catch (const std::exception&) {
        // The readers check every type first; this is the last line, not the plan.
        return std::nullopt;
    }
}

std::string sealRecord(const std::string& json, const RecordSeal& seal) {
    if (!seal) return {};
    return seal.sign(json) + "\n" + json;
}

const char* describe(RecordFault f) {
    switch (f) {
    case RecordFault::Oversized: return "too large";
    case RecordFault::Unsigned: return "not signed";
    case RecordFault::BadSignature: return "signed by someone else";
    case RecordFault::Malformed: return "not a readable arrangement";
    }
    return "?";
}

OpenedRecord openRecord(std::string_view text, const RecordSeal& seal) {
    if (text.size() > record::kMaxBytes) return {std::nullopt, RecordFault::Oversized};
    const size_t nl = text.find('\n');
    if (!seal || nl == std::string_view::npos || nl == 0) return {std::nullopt, RecordFault::Unsigned};
    const std::string_view body = text.substr(nl + 1);
    if (!seal.verify(body, text.substr(0, nl))) return {std::nullopt, RecordFault::BadSignature};
    auto r = decodeArrangement(body);
    if (!r) return {std::nullopt, RecordFault::Malformed};
    return {std::move(r), std::nullopt};
}

}  // namespace tarvela
