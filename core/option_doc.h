// One command-line option as its help text, manual page and shell completion
// tell it: the help printed by the program and what ships beside it come from
// the same rows, so they cannot disagree.
#pragma once

#include <string>
#include <vector>

namespace tarvela {

struct OptionDoc {
    std::vector<std::string> names;  // "-h", "--help": the spellings, short one first
    std::string arg;                 // the value's name ("NAME"), empty for a switch
    std::string help;                // one sentence, without a final stop
};

// `text` in lines of at most `width` (a longer word stands alone), each
// indented by `indent`.
std::string wrapText(const std::string& text, size_t indent, size_t width);

// "  -h, --help NAME" padded to `column`, then the help wrapped at `width`
// with continuation lines indented to `column`.
std::string formatOptions(const std::vector<OptionDoc>& options, size_t column, size_t width);

}  // namespace tarvela
