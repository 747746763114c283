#include "core/option_doc.h"

namespace tarvela {

namespace {

// Appends `text` word by word to `line`, which already reaches `column`,
// starting a new line indented to `column` before a word that would pass `width`.
std::string fill(std::string line, const std::string& text, size_t column, size_t width) {
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        if (line.size() > column && line.size() + 1 + word.size() > width) {
            out += line + "\n";
            line.assign(column, ' ');
        }
        if (line.size() > column) line += ' ';
        line += word;
        start = end + 1;
    }
    return out + line + "\n";
}

}  // namespace

std::string wrapText(const std::string& text, size_t indent, size_t width) {
    return fill(std::string(indent, ' '), text, indent, width);
}

std::string formatOptions(const std::vector<OptionDoc>& options, size_t column, size_t width) {
    std::string out;
    for (const OptionDoc& o : options) {
        std::string line = " ";
        for (size_t i = 0; i < o.names.size(); ++i) line += (i ? ", " : " ") + o.names[i];
        if (!o.arg.empty()) line += " " + o.arg;
        // A head too long for its column gets the help on the next line.
        if (line.size() + 1 > column) {
            out += line + "\n";
            line.clear();
        }
        line.resize(column, ' ');
        out += fill(line, o.help, column, width);
    }
    return out;
}

}  // namespace tarvela
