// An XML property list whose top level is a <dict>, as the defaults file holds
// it. The five supported kinds map onto DefaultsValue: <true/>/<false/>,
// <integer>, <real>, <string> and <data> (base64). Everything else in the
// document (arrays, dictionaries, dates, values that do not parse) is carried
// along untouched when single keys are changed, so a rewrite never loses keys
// another program put there.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "settings/defaults.h"

namespace pugi {
class xml_document;
}

namespace tarvela {

class PlistDict {
public:
    PlistDict();  // an empty dictionary
    ~PlistDict();
    PlistDict(PlistDict&&) noexcept;
    PlistDict& operator=(PlistDict&&) noexcept;

    // None when `text` is not well-formed XML with <plist><dict> at its top.
    static std::optional<PlistDict> parse(const std::string& text);
    static PlistDict from(const std::map<std::string, DefaultsValue>& values);

    // The keys whose value is of a supported kind. Where a key repeats, the
    // last occurrence wins.
    std::map<std::string, DefaultsValue> values() const;
    // The last value under `key` whatever its kind, copied as it is; none when
    // the key is missing.
    std::optional<StoredEntry> entry(const std::string& key) const;
    void set(const std::string& key, const DefaultsValue& value);
    void remove(const std::string& key);
    std::string text() const;

private:
    std::unique_ptr<pugi::xml_document> doc_;
};

std::string base64Encode(const Data& data);
// None for anything but well-formed base64 (whitespace between groups is allowed).
std::optional<Data> base64Decode(const std::string& text);

}  // namespace tarvela
