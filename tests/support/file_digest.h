#pragma once

#include <openssl/evp.h>
#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kv::test {

inline std::uint32_t Crc32(std::string_view bytes) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// What the corpus's expected contents record of a file.
struct FileDigest {
    std::int64_t size = 0;
    std::uint32_t crc32 = 0;
    std::string sha256;
};

inline FileDigest DigestOf(const std::filesystem::path& path) {
    FileDigest digest;
    std::ifstream in(path, std::ios::binary);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> sha(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    EVP_DigestInit_ex(sha.get(), EVP_sha256(), nullptr);
    std::vector<char> buffer(1 << 16);
    uLong crc = crc32(0, nullptr, 0);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
        const auto got = static_cast<std::size_t>(in.gcount());
        crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), static_cast<uInt>(got));
        EVP_DigestUpdate(sha.get(), buffer.data(), got);
        digest.size += static_cast<std::int64_t>(got);
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> hash{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(sha.get(), hash.data(), &length);
    for (unsigned int i = 0; i < length; ++i) {
        std::array<char, 3> hex{};
        std::snprintf(hex.data(), hex.size(), "%02x", hash[i]);
        digest.sha256 += hex.data();
    }
    digest.crc32 = static_cast<std::uint32_t>(crc);
    return digest;
}

}  // namespace kv::test
