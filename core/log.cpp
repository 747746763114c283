#include "core/log.h"

#include "core/text.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

namespace tarvela {
namespace {
std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}
LogSink& sink() {
    static LogSink s;
    return s;
}
}  // namespace

void log(const std::string& text) {
    // Whatever a message quotes, it stays one line of valid text.
    std::string line = "[Tarvela] " + escapeControls(text);
    std::lock_guard<std::mutex> lock(sinkMutex());
    if (sink()) {
        sink()(line);
        return;
    }
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string out;
    if (n > 0) {
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), fmt, ap2);
        out.assign(buf.data(), static_cast<size_t>(n));
    }
    va_end(ap2);
    return out;
}

void setLogSink(LogSink s) {
    std::lock_guard<std::mutex> lock(sinkMutex());
    sink() = std::move(s);
}

}  // namespace tarvela
