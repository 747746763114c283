// Log lines on standard output: "[Tarvela] " + text, flushed after every line.
#pragma once

#include <functional>
#include <string>

namespace tarvela {

void log(const std::string& text);

// printf-style formatting for the few lines that carry numbers.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Tests capture lines here; an empty sink restores standard output.
using LogSink = std::function<void(const std::string& line)>;
void setLogSink(LogSink sink);

}  // namespace tarvela
