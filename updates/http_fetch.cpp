#include "updates/http_fetch.h"

#include <curl/curl.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>

#include "core/log.h"
#include "settings/app_info.h"

namespace tarvela {
namespace {

struct Sink {
    std::string* body = nullptr;
    std::FILE* file = nullptr;
    uint64_t bytes = 0;
    uint64_t max = 0;
    bool tooLarge = false;
    bool writeFailed = false;
    const std::atomic<bool>* cancel = nullptr;
};

size_t onData(char* data, size_t size, size_t count, void* user) {
    auto* s = static_cast<Sink*>(user);
    const size_t len = size * count;
    if (len > s->max || s->bytes > s->max - len) {
        s->tooLarge = true;
        return 0;  // curl ends the transfer with a write error
    }
    s->bytes += len;
    if (s->file) {
        if (std::fwrite(data, 1, len, s->file) != len) {
            s->writeFailed = true;
            return 0;
        }
    } else {
        s->body->append(data, len);
    }
    return len;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* s = static_cast<Sink*>(user);
    return s->cancel && s->cancel->load() ? 1 : 0;
}

// A message from curl as a sentence: capital first letter, full stop.
std::string sentence(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    if (s.empty()) return "The request failed.";
    if (s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 'a' + 'A');
    if (s.back() != '.') s += '.';
    return s;
}

std::string sizeText(uint64_t bytes) {
    constexpr uint64_t mb = 1024 * 1024;
    if (bytes >= mb && bytes % mb == 0) return std::to_string(bytes / mb) + " MB";
    return std::to_string(bytes) + " bytes";
}

std::string secondsText(double s) {
    if (std::floor(s) == s) return format("%.0f seconds", s);
    return format("%.1f seconds", s);
}

struct CurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

}  // namespace

FetchResult fetch(const std::string& url, const FetchOptions& o) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    FetchResult r;
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        r.error = "The network library could not be started.";
        return r;
    }
    Sink sink;
    std::string body;
    sink.body = &body;
    sink.max = o.maxBytes;
    sink.cancel = o.cancel;
    if (o.toFile) {
        sink.file = std::fopen(o.toFile->c_str(), "wb");
        if (!sink.file) {
            r.error = "Couldn’t write " + o.toFile->string() + ".";
            return r;
        }
    }
    char errbuf[CURL_ERROR_SIZE] = {};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);  // this runs off the main thread
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(std::max(1.0, o.timeout * 1000)));
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(o.maxBytes));
    const std::string agent = "Tarvela/" + AppInfo::version();
    curl_easy_setopt(c, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onData);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &sink);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);

    const CURLcode rc = curl_easy_perform(c);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &r.status);
    r.bytes = sink.bytes;
    bool fileOk = true;
    if (sink.file) fileOk = std::fclose(sink.file) == 0;

    if (r.status != 0 && r.status != 200) {
        r.error = "The server answered with status " + std::to_string(r.status) + ".";
    } else if (sink.tooLarge || rc == CURLE_FILESIZE_EXCEEDED) {
        r.error = "The answer is larger than " + sizeText(o.maxBytes) + ".";
    } else if (sink.writeFailed || !fileOk) {
        r.error = "Couldn’t write " + (o.toFile ? o.toFile->string() : std::string("the answer")) + ".";
    } else if (rc == CURLE_OPERATION_TIMEDOUT) {
        r.error = "The server didn’t answer within " + secondsText(o.timeout) + ".";
    } else if (rc == CURLE_ABORTED_BY_CALLBACK) {
        r.error = "The request was cancelled.";
    } else if (rc != CURLE_OK) {
        r.error = sentence(errbuf[0] ? errbuf : curl_easy_strerror(rc));
    }
    if (r.error) {
        if (o.toFile) {
            std::error_code ec;
            std::filesystem::remove(*o.toFile, ec);
        }
        return r;
    }
    if (!o.toFile) r.body = repairUtf8(body);
    return r;
}

std::string repairUtf8(std::string_view s) {
    static constexpr const char* replacement = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    const size_t n = s.size();
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    while (i < n) {
        const unsigned char c = byte(i);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        // The sequence's length and the range its second byte must fall in;
        // the bounds rule out overlong forms, surrogates and values past U+10FFFF.
        size_t len = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        }
        if (len == 0) {
            out += replacement;
            ++i;
            continue;
        }
        // The longest valid start of a sequence is replaced as one character.
        size_t k = 1;
        while (k < len && i + k < n) {
            const unsigned char b = byte(i + k);
            const bool ok = k == 1 ? (b >= lo && b <= hi) : (b >= 0x80 && b <= 0xBF);
            if (!ok) break;
            ++k;
        }
        if (k == len) out.append(s.substr(i, len));
        else out += replacement;
        i += k;
    }
    return out;
}

}  // namespace tarvela
