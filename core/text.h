// Text that other programs supply (window titles, classes, application ids)
// is data: it must never add lines to a log, drive the terminal that shows
// one, or carry bytes that are not UTF-8 into a stored file or a label.
#pragma once

#include <string>
#include <string_view>

namespace tarvela {

// The code point at s[i], moving i past it; a malformed sequence (bad lead,
// missing or bad continuation, overlong form, surrogate, beyond U+10FFFF)
// reads as U+FFFD and moves i by one byte.
char32_t nextCodePoint(std::string_view s, size_t& i);
void appendUtf8(std::string& out, char32_t cp);

// Invalid UTF-8 repaired (each bad byte becomes U+FFFD), line breaks and tabs
// made spaces, every other control character (C0, DEL, C1) removed, and the
// result cut to at most `maxBytes` on a character boundary.
std::string cleanText(std::string_view text, size_t maxBytes = 4096);

// The first `maxChars` characters of `text`, with "…" after them when there
// were more. A character is a code point with the combining marks that follow
// it, so an accent never loses its letter.
std::string cutText(std::string_view text, size_t maxChars);

// For a log line: invalid UTF-8 repaired and control characters written as
// \xNN, so that one call is one line whatever the text holds.
std::string escapeControls(std::string_view text);

// `s` without the white space (space, tab, line breaks, form feed, vertical
// tab) at either end.
std::string_view trim(std::string_view s);

}  // namespace tarvela
