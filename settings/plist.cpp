#include "settings/plist.h"

#include <charconv>
#include <cmath>
#include <sstream>
#include <pugixml.hpp>

#include "core/text.h"

namespace tarvela {
namespace {

constexpr unsigned kParseFlags =
    pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype | pugi::parse_ws_pcdata_single;

// All character data of an element, CDATA sections included.
std::string textOf(pugi::xml_node n) {
    std::string out;
    for (auto c : n.children())
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) out += c.value();
    return out;
}

std::optional<int64_t> parseInteger(const std::string& raw) {
    std::string s(trim(raw));
    if (!s.empty() && s[0] == '+') s.erase(0, 1);
    int64_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
    return v;
}

std::optional<double> parseReal(const std::string& raw) {
    std::string s(trim(raw));
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.erase(0, 1);
    }
    if (s.empty() || s[0] == '+' || s[0] == '-') return std::nullopt;
    double v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    // Out of range rounds to infinity or zero, as other readers of the file do.
    if (ec == std::errc::result_out_of_range) {
        v = std::strtod(s.c_str(), nullptr);
        ec = std::errc();
    }
    if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
    return negative ? -v : v;
}

std::string realText(double v) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v > 0 ? "+infinity" : "-infinity";
    char buf[64];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, p) : "0";
}

std::optional<DefaultsValue> decodeValue(pugi::xml_node n) {
    std::string_view name = n.name();
    if (name == "true") return DefaultsValue(true);
    if (name == "false") return DefaultsValue(false);
    if (name == "integer") {
        if (auto v = parseInteger(textOf(n))) return DefaultsValue(*v);
        return std::nullopt;
    }
    if (name == "real") {
        if (auto v = parseReal(textOf(n))) return DefaultsValue(*v);
        return std::nullopt;
    }
    if (name == "string") return DefaultsValue(textOf(n));
    if (name == "data") {
        if (auto v = base64Decode(textOf(n))) return DefaultsValue(std::move(*v));
        return std::nullopt;
    }
    return std::nullopt;
}

// Writes `value` as the element `n` (whose name it sets).
void encodeValue(pugi::xml_node n, const DefaultsValue& value) {
    struct Visitor {
        mutable pugi::xml_node n;
        void operator()(bool b) const { n.set_name(b ? "true" : "false"); }
        void operator()(int64_t i) const {
            n.set_name("integer");
            n.append_child(pugi::node_pcdata).set_value(std::to_string(i).c_str());
        }
        void operator()(double d) const {
            n.set_name("real");
            n.append_child(pugi::node_pcdata).set_value(realText(d).c_str());
        }
        void operator()(const std::string& s) const {
            n.set_name("string");
            if (!s.empty()) n.append_child(pugi::node_pcdata).set_value(s.c_str());
        }
        void operator()(const Data& d) const {
            n.set_name("data");
            n.append_child(pugi::node_pcdata).set_value(base64Encode(d).c_str());
        }
    };
    std::visit(Visitor{n}, value);
}

pugi::xml_node dictOf(const pugi::xml_document& doc) {
    auto plist = doc.document_element();
    if (std::string_view(plist.name()) != "plist") return {};
    auto dict = plist.first_child();
    while (dict && dict.type() != pugi::node_element) dict = dict.next_sibling();
    if (!dict || std::string_view(dict.name()) != "dict") return {};
    return dict;
}

pugi::xml_node nextElement(pugi::xml_node n) {
    n = n.next_sibling();
    while (n && n.type() != pugi::node_element) n = n.next_sibling();
    return n;
}

bool isKey(pugi::xml_node n) { return n.type() == pugi::node_element && std::string_view(n.name()) == "key"; }

// Removes the key element and the value element that belongs to it.
void removePair(pugi::xml_node dict, pugi::xml_node key) {
    auto value = nextElement(key);
    if (value && !isKey(value)) dict.remove_child(value);
    dict.remove_child(key);
}

}  // namespace

PlistDict::PlistDict() : doc_(std::make_unique<pugi::xml_document>()) {
    auto decl = doc_->append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    doc_->append_child(pugi::node_doctype)
        .set_value("plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\"");
    auto plist = doc_->append_child("plist");
    plist.append_attribute("version") = "1.0";
    plist.append_child("dict");
}

PlistDict::~PlistDict() = default;
PlistDict::PlistDict(PlistDict&&) noexcept = default;
PlistDict& PlistDict::operator=(PlistDict&&) noexcept = default;

std::optional<PlistDict> PlistDict::parse(const std::string& text) {
    PlistDict out;
    out.doc_->reset();
    auto result = out.doc_->load_buffer(text.data(), text.size(), kParseFlags, pugi::encoding_auto);
    if (!result) return std::nullopt;
    auto dict = dictOf(*out.doc_);
    if (!dict) return std::nullopt;
    // Whitespace kept by the parse flags matters only inside <string>; around
    // the dictionary's entries it would spoil the indentation of new ones.
    for (auto parent : {dict.parent(), dict}) {
        for (auto c = parent.first_child(); c;) {
            auto next = c.next_sibling();
            if (c.type() == pugi::node_pcdata && trim(c.value()).empty()) parent.remove_child(c);
            c = next;
        }
    }
    return out;
}

PlistDict PlistDict::from(const std::map<std::string, DefaultsValue>& values) {
    PlistDict out;
    for (auto& [k, v] : values) out.set(k, v);
    return out;
}

std::map<std::string, DefaultsValue> PlistDict::values() const {
    std::map<std::string, DefaultsValue> out;
    auto dict = dictOf(*doc_);
    for (auto n = dict.first_child(); n; n = n.next_sibling()) {
        if (!isKey(n)) continue;
        std::string key = textOf(n);
        auto value = nextElement(n);
        if (!value || isKey(value)) continue;
        if (auto v = decodeValue(value))
            out.insert_or_assign(key, std::move(*v));
        else
            out.erase(key);  // a later unreadable occurrence hides an earlier one
    }
    return out;
}

std::optional<StoredEntry> PlistDict::entry(const std::string& key) const {
    pugi::xml_node found;
    for (auto n = dictOf(*doc_).first_child(); n; n = n.next_sibling()) {
        if (!isKey(n) || textOf(n) != key) continue;
        if (auto value = nextElement(n); value && !isKey(value)) found = value;
    }
    if (!found) return std::nullopt;
    PlistDict alone;
    auto dict = dictOf(*alone.doc_);
    dict.append_child("key").append_child(pugi::node_pcdata).set_value(key.c_str());
    dict.append_copy(found);
    const std::string_view name = found.name();
    return StoredEntry{name == "true" || name == "false" ? "boolean" : std::string(name), alone.text()};
}

void PlistDict::set(const std::string& key, const DefaultsValue& value) {
    auto dict = dictOf(*doc_);
    pugi::xml_node first;
    for (auto n = dict.first_child(); n;) {
        auto next = n.next_sibling();
        if (isKey(n) && textOf(n) == key) {
            if (!first) {
                first = n;
            } else {
                next = nextElement(n);
                if (next && !isKey(next)) next = next.next_sibling();
                removePair(dict, n);
            }
        }
        n = next;
    }
    if (!first) {
        first = dict.append_child("key");
        first.append_child(pugi::node_pcdata).set_value(key.c_str());
    } else {
        auto old = nextElement(first);
        if (old && !isKey(old)) dict.remove_child(old);
    }
    encodeValue(dict.insert_child_after(pugi::node_element, first), value);
}

void PlistDict::remove(const std::string& key) {
    auto dict = dictOf(*doc_);
    for (auto n = dict.first_child(); n;) {
        auto next = n.next_sibling();
        if (isKey(n) && textOf(n) == key) {
            next = nextElement(n);
            if (next && !isKey(next)) next = next.next_sibling();
            removePair(dict, n);
        }
        n = next;
    }
}

std::string PlistDict::text() const {
    std::ostringstream out;
    doc_->save(out, "\t", pugi::format_default, pugi::encoding_utf8);
    // pugixml writes a carriage return in text as is, and every reader (this
    // one too) turns it into a line feed. Parsing has already normalised line
    // ends, so any carriage return left is one a value holds: write it as a
    // character reference, which survives.
    std::string text = out.str();
    for (size_t at = text.find('\r'); at != std::string::npos; at = text.find('\r', at + 5)) text.replace(at, 1, "&#13;");
    return text;
}

std::string base64Encode(const Data& data) {
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        uint32_t v = (uint32_t(data[i]) << 16) | (uint32_t(data[i + 1]) << 8) | data[i + 2];
        for (int s = 18; s >= 0; s -= 6) out += alphabet[(v >> s) & 63];
    }
    size_t rest = data.size() - i;
    if (rest) {
        uint32_t v = uint32_t(data[i]) << 16;
        if (rest == 2) v |= uint32_t(data[i + 1]) << 8;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += rest == 2 ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::optional<Data> base64Decode(const std::string& text) {
    auto sextet = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    std::string s;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') s += c;
    if (s.size() % 4) return std::nullopt;
    Data out;
    out.reserve(s.size() / 4 * 3);
    for (size_t i = 0; i < s.size(); i += 4) {
        bool last = i + 4 == s.size();
        int pad = (s[i + 3] == '=') + (s[i + 2] == '=');
        if (pad && !last) return std::nullopt;
        if (s[i + 2] == '=' && s[i + 3] != '=') return std::nullopt;
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k) {
            int x = k >= 4 - pad ? 0 : sextet(s[i + k]);
            if (x < 0) return std::nullopt;
            v = (v << 6) | uint32_t(x);
        }
        out.push_back(uint8_t(v >> 16));
        if (pad < 2) out.push_back(uint8_t(v >> 8));
        if (pad < 1) out.push_back(uint8_t(v));
    }
    return out;
}

}  // namespace tarvela
