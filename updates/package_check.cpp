#include "updates/package_check.h"

#include <openssl/evp.h>

#include <fstream>
#include <memory>

#include "settings/plist.h"

namespace tarvela {
namespace {

struct PKeyDeleter {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct MdCtxDeleter {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

bool verifyEd25519(const Data& key, const Data& sig, const std::string& data) {
    std::unique_ptr<EVP_PKEY, PKeyDeleter> pkey(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key.data(), key.size()));
    std::unique_ptr<EVP_MD_CTX, MdCtxDeleter> ctx(EVP_MD_CTX_new());
    if (!pkey || !ctx) return false;
    // Ed25519 signs the message itself, not a digest of it: no digest here.
    if (EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, pkey.get()) != 1) return false;
    return EVP_DigestVerify(ctx.get(), sig.data(), sig.size(), reinterpret_cast<const unsigned char*>(data.data()),
                            data.size()) == 1;
}

}  // namespace

std::optional<std::string> checkPackage(const std::filesystem::path& file, std::optional<uint64_t> length,
                                        const std::string& signature, const std::string& publicKey) {
    const auto key = base64Decode(publicKey);
    if (publicKey.empty() || !key || key->size() != 32)
        return std::string("This copy of Tarvela has no valid key to check updates with, so the download was not kept.");
    if (!length) return std::string("The update feed doesn’t give the package’s size, so the download was not kept.");
    std::error_code ec;
    const uint64_t size = std::filesystem::file_size(file, ec);
    if (ec) return "Couldn’t read the downloaded update: " + ec.message() + ".";
    if (size != *length)
        return "The downloaded update is " + std::to_string(size) + " bytes, not the " + std::to_string(*length) +
               " the feed announced, so it was not kept.";
    const auto sig = base64Decode(signature);
    if (signature.empty() || !sig || sig->size() != 64)
        return std::string("The update feed doesn’t sign this update, so the download was not kept.");
    std::ifstream in(file, std::ios::binary);
    std::string data(size, '\0');
    if (!in.read(data.data(), static_cast<std::streamsize>(size)))
        return std::string("Couldn’t read the downloaded update.");
    if (!verifyEd25519(*key, *sig, data))
        return std::string("The downloaded update’s signature doesn’t match, so it was not kept.");
    return std::nullopt;
}

}  // namespace tarvela
