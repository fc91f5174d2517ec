#pragma once
// SHA-256 (OpenSSL) of bytes and of files, as lower-case hex. Any thread.
#include "support/result.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kestle::evidence {

std::string sha256Hex(std::string_view bytes);

struct FileDigest {
    std::string sha256;
    std::uint64_t size = 0;
};
// Reads the regular file in blocks; the error names the file and the reason.
Result<FileDigest> sha256File(const std::filesystem::path& p);

} // namespace kestle::evidence
