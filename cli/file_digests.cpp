#include "file_digests.h"

#include <openssl/evp.h>

#include <fstream>
#include <memory>
#include <vector>

namespace varrow::cli {

namespace {

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

std::string Hex(const unsigned char* bytes, unsigned int size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xf];
    }
    return text;
}

std::string Finish(EVP_MD_CTX* context) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context, digest, &size) != 1) return {};
    return Hex(digest, size);
}

}  // namespace

std::optional<FileDigests> DigestFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    DigestContext md5(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    DigestContext sha256(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!md5 || !sha256 || EVP_DigestInit_ex(md5.get(), EVP_md5(), nullptr) != 1 ||
        EVP_DigestInit_ex(sha256.get(), EVP_sha256(), nullptr) != 1) {
        return std::nullopt;
    }
    std::vector<char> piece(1 << 16);
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
        const auto got = static_cast<size_t>(in.gcount());
        EVP_DigestUpdate(md5.get(), piece.data(), got);
        EVP_DigestUpdate(sha256.get(), piece.data(), got);
    }
    if (in.bad()) return std::nullopt;
    FileDigests digests{Finish(md5.get()), Finish(sha256.get())};
    if (digests.md5.empty() || digests.sha256.empty()) return std::nullopt;
    return digests;
}

}  // namespace varrow::cli
