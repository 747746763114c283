#include "updates/appcast.h"

#include <cstring>

#include <pugixml.hpp>

#include "core/text.h"

namespace tarvela {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isVersionChar(char c) {
    return isDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' || c == '-';
}
// The version the expression captures at the start of `s`: a digit, then
// version characters. Empty when `s` does not start with a digit.
std::string_view versionAt(std::string_view s) {
    if (s.empty() || !isDigit(s[0])) return {};
    size_t n = 1;
    while (n < s.size() && isVersionChar(s[n])) ++n;
    return s.substr(0, n);
}

// A decimal length; none for anything else, including values past 64 bits.
std::optional<uint64_t> lengthOf(std::string_view s) {
    s = trim(s);
    if (s.empty()) return std::nullopt;
    uint64_t v = 0;
    for (char c : s) {
        if (!isDigit(c)) return std::nullopt;
        const uint64_t d = static_cast<uint64_t>(c - '0');
        if (v > (UINT64_MAX - d) / 10) return std::nullopt;
        v = v * 10 + d;
    }
    return v;
}

// All character data directly inside `n` (text and CDATA sections), joined.
std::string textOf(const pugi::xml_node& n) {
    std::string out;
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) out += c.value();
    return out;
}

std::optional<Release> releaseOf(const pugi::xml_node& item) {
    const pugi::xml_node enclosure = item.child("enclosure");
    std::string_view raw = item.child("sparkle:shortVersionString").text().get();
    if (raw.empty()) raw = enclosure.attribute("sparkle:shortVersionString").value();
    const std::string_view version = versionAt(raw);
    if (version.empty()) return std::nullopt;
    Release r;
    r.version = std::string(version);
    r.notes = notesFrom(textOf(item.child("description")));
    r.packageUrl = std::string(trim(enclosure.attribute("url").value()));
    r.packageLength = lengthOf(enclosure.attribute("length").value());
    r.signature = std::string(trim(enclosure.attribute("sparkle:edSignature").value()));
    r.page = std::string(trim(textOf(item.child("link"))));
    if (r.page.empty()) r.page = r.packageUrl;
    return r;
}

}  // namespace

int compareVersions(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            // Compare the runs' values without converting them: no run is too
            // long to compare, and leading zeros do not count.
            const size_t i0 = i, j0 = j;
            while (i < a.size() && isDigit(a[i])) ++i;
            while (j < b.size() && isDigit(b[j])) ++j;
            std::string_view ra = a.substr(i0, i - i0), rb = b.substr(j0, j - j0);
            while (!ra.empty() && ra.front() == '0') ra.remove_prefix(1);
            while (!rb.empty() && rb.front() == '0') rb.remove_prefix(1);
            if (ra.size() != rb.size()) return ra.size() < rb.size() ? -1 : 1;
            if (const int c = ra.compare(rb)) return c < 0 ? -1 : 1;
            continue;
        }
        const auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[j]);
        if (ca != cb) return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

// Matched by hand rather than by std::regex, whose matcher recurses once per
// character: a hostile feed with a version a megabyte long would overflow the stack.
std::vector<std::string> versionsIn(std::string_view body) {
    static constexpr std::string_view key = "sparkle:shortVersionString";
    std::vector<std::string> out;
    size_t from = 0;
    while ((from = body.find(key, from)) != std::string_view::npos) {
        size_t at = from + key.size();
        if (at < body.size() && body[at] == '>') {
            at += 1;
        } else if (body.compare(at, 2, "=\"") == 0) {
            at += 2;
        } else {
            from += 1;
            continue;
        }
        const std::string_view v = versionAt(body.substr(at));
        if (v.empty()) {
            from += 1;
            continue;
        }
        out.emplace_back(v);
        from = at + v.size();
    }
    return out;
}

std::optional<std::string> highestVersion(const std::vector<std::string>& versions) {
    std::optional<std::string> best;
    for (const std::string& v : versions)
        if (!best || compareVersions(*best, v) < 0) best = v;
    return best;
}

std::vector<std::string> notesFrom(std::string_view html) {
    // <[^>]+> : from a '<', at least one character up to the next '>'. A "<>"
    // is no match there, and a '<' with no '>' after it ends the matching.
    std::string text;
    size_t i = 0;
    while (i < html.size()) {
        if (html[i] == '<') {
            const size_t close = html.find('>', i + 1);
            if (close == std::string_view::npos) {
                text.append(html.substr(i));
                break;
            }
            if (close > i + 1) {
                text += '\n';
                i = close + 1;
                continue;
            }
        }
        text += html[i++];
    }
    std::vector<std::string> notes;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line = trim(std::string_view(text).substr(start, end - start));
        if (!line.empty()) notes.emplace_back(line);
        start = end + 1;
    }
    return notes;
}

std::optional<std::vector<Release>> parseAppcast(std::string_view body) {
    pugi::xml_document doc;
    if (!doc.load_buffer(body.data(), body.size(), pugi::parse_default, pugi::encoding_utf8)) return std::nullopt;
    std::vector<Release> items;
    // Walked without recursion: the nesting is the sender's to choose.
    pugi::xml_node n = doc.first_child();
    while (n) {
        bool descend = true;
        if (n.type() == pugi::node_element && std::strcmp(n.name(), "item") == 0) {
            if (auto r = releaseOf(n)) items.push_back(std::move(*r));
            descend = false;
        }
        if (descend && n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (n && n != doc && !n.next_sibling()) n = n.parent();
        if (!n || n == doc) break;
        n = n.next_sibling();
    }
    return items;
}

std::optional<Release> newestRelease(const std::vector<Release>& items) {
    const Release* best = nullptr;
    for (const Release& r : items)
        if (!best || compareVersions(best->version, r.version) < 0) best = &r;
    return best ? std::optional<Release>(*best) : std::nullopt;
}

}  // namespace tarvela
