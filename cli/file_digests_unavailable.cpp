// Digests in a build without OpenSSL's libcrypto: the command line refuses
// --hashes there, so nothing ever asks for one.
#include "file_digests.h"

namespace varrow::cli {

const bool kDigestsAvailable = false;

std::optional<FileDigests> DigestFile(const std::string& /*path*/) { return std::nullopt; }

}  // namespace varrow::cli
