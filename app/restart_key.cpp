#include "app/restart_key.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/log.h"
#include "core/xdg_dirs.h"

namespace tarvela {

namespace fs = std::filesystem;

namespace {

using Key = std::array<unsigned char, 32>;

// The key, when the file is this user's alone and holds exactly one key.
std::optional<Key> readKey(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    Key key{};
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid() &&
                    (st.st_mode & 077) == 0 && st.st_size == static_cast<off_t>(key.size()) &&
                    ::read(fd, key.data(), key.size()) == static_cast<ssize_t>(key.size());
    ::close(fd);
    return ok ? std::optional(key) : std::nullopt;
}

// A new key, written beside `file` and then put in its place in one step,
// so that no reader ever sees half of one.
std::optional<Key> makeKey(const fs::path& file) {
    Key key{};
    if (RAND_bytes(key.data(), static_cast<int>(key.size())) != 1) return std::nullopt;
    std::string tmp = (file.parent_path() / ".restart.key.XXXXXX").string();
    const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);  // 0600
    if (fd < 0) return std::nullopt;
    const bool written = ::write(fd, key.data(), key.size()) == static_cast<ssize_t>(key.size()) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(tmp.c_str(), file.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return std::nullopt;
    }
    return key;
}

}  // namespace

fs::path RestartKey::standardPath() { return xdgBaseDir("XDG_STATE_HOME", ".local/state") / "tarvela" / "restart.key"; }

std::optional<RestartKey> RestartKey::load(const fs::path& file) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    ::chmod(file.parent_path().c_str(), 0700);
    std::optional<Key> key = readKey(file);
    if (!key) key = makeKey(file);
    if (!key) {
        log("restart: no key at " + file.string() + " (" + std::strerror(errno) +
            "): arrangements are neither kept nor put back");
        return std::nullopt;
    }
    RestartKey k;
    k.key_ = *key;
    return k;
}

std::string RestartKey::sign(std::string_view text) const {
    unsigned char mac[32];
    unsigned int len = 0;
    HMAC(EVP_sha256(), key_.data(), static_cast<int>(key_.size()), reinterpret_cast<const unsigned char*>(text.data()),
         text.size(), mac, &len);
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < len; ++i) {
        out += digits[mac[i] >> 4];
        out += digits[mac[i] & 15];
    }
    return out;
}

bool RestartKey::verify(std::string_view text, std::string_view signature) const {
    const std::string want = sign(text);
    return signature.size() == want.size() && CRYPTO_memcmp(want.data(), signature.data(), want.size()) == 0;
}

RecordSeal RestartKey::seal() const {
    return RecordSeal{[k = *this](std::string_view t) { return k.sign(t); },
                      [k = *this](std::string_view t, std::string_view s) { return k.verify(t, s); }};
}

}  // namespace tarvela
