// What the update tests share: an appcast written to order, and an Ed25519
// key pair made for the test that signs packages as a release would.
#pragma once

#include <openssl/evp.h>

#include <string>
#include <vector>

namespace tarvela::testing {

struct FeedItem {
    std::string version, packageUrl = "", length = "", signature = "";
};

inline std::string appcast(const std::vector<FeedItem>& items) {
    std::string out = "<?xml version=\"1.0\"?>\n<rss xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/"
                      "sparkle\"><channel><title>Tarvela</title>\n";
    for (const FeedItem& i : items) {
        out += "<item><sparkle:shortVersionString>" + i.version + "</sparkle:shortVersionString><description><![CDATA[<ul>" +
               "<li>What " + i.version + " brings</li><li>Fixes</li></ul>]]></description><link>https://tarvela.app/" +
               "releases/" + i.version + "</link>";
        if (!i.packageUrl.empty())
            out += "<enclosure url=\"" + i.packageUrl + "\" length=\"" + i.length + "\" sparkle:edSignature=\"" +
                   i.signature + "\"/>";
        out += "</item>\n";
    }
    return out + "</channel></rss>\n";
}

class Ed25519Signer {
public:
    Ed25519Signer() : key_(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519")) {}
    ~Ed25519Signer() { EVP_PKEY_free(key_); }
    Ed25519Signer(const Ed25519Signer&) = delete;
    Ed25519Signer& operator=(const Ed25519Signer&) = delete;

    std::string publicKey() const {
        unsigned char raw[32];
        size_t n = sizeof raw;
        EVP_PKEY_get_raw_public_key(key_, raw, &n);
        return base64(raw, n);
    }
    std::string sign(const std::string& data) const {
        unsigned char sig[64];
        size_t n = sizeof sig;
        EVP_MD_CTX* ctx = EVP_MD_CTX_new();
        EVP_DigestSignInit(ctx, nullptr, nullptr, nullptr, key_);
        EVP_DigestSign(ctx, sig, &n, reinterpret_cast<const unsigned char*>(data.data()), data.size());
        EVP_MD_CTX_free(ctx);
        return base64(sig, n);
    }

private:
    static std::string base64(const unsigned char* p, size_t n) {
        std::string out(4 * ((n + 2) / 3) + 1, '\0');
        out.resize(static_cast<size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), p, static_cast<int>(n))));
        return out;
    }
    EVP_PKEY* key_;
};

}  // namespace tarvela::testing
