#include "engine/readers/zip_aes_entry.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace kv {

bool TAesEntryHeader::Read(TStream32& archive, int strength) {
    if (!IsAesStrength(strength)) return false;
    strength_ = strength;
    const auto salt_length = static_cast<std::int64_t>(AesSaltLength(strength));
    return archive.ReadFull(salt_, salt_length) == salt_length &&
           archive.ReadFull(verifier_, kAesVerifierLength) == static_cast<std::int64_t>(kAesVerifierLength);
}

std::unique_ptr<TZipAesCipher> TAesEntryHeader::Open(const std::string& password) const {
    if (password.empty() || strength_ == 0) return nullptr;
    auto cipher = std::make_unique<TZipAesCipher>(password, salt_, strength_);
    if (std::memcmp(cipher->Verifier().data(), verifier_, kAesVerifierLength) != 0) return nullptr;
    return cipher;
}

std::int64_t TAesEntryStream::Read(void* buffer, std::int64_t count) {
    const std::int64_t got = ReadSource(buffer, std::min(count, remaining_));
    if (got <= 0) return 0;
    remaining_ -= got;
    cipher_.Decrypt(static_cast<std::uint8_t*>(buffer), static_cast<std::size_t>(got));
    AdvancePosition(got);
    return got;
}

std::int64_t TAesEntryStream::Write(const void*, std::int64_t) {
    SetLastError(EBADF);
    return 0;
}

bool TAesEntryStream::Authentic() {
    if (remaining_ > 0) {
        // Data the decoder did not need (it stopped early, or the data is damaged) counts all the same.
        std::vector<std::uint8_t> rest(64 * 1024);
        while (remaining_ > 0)
            if (Read(rest.data(), static_cast<std::int64_t>(rest.size())) == 0) return false;
    }
    std::array<std::uint8_t, kAesAuthCodeLength> stored{};
    if (Source().ReadFull(stored.data(), stored.size()) != static_cast<std::int64_t>(stored.size())) return false;
    return cipher_.AuthCode() == stored;
}

}  // namespace kv
