#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/custom_stream.h"
#include "engine/core/zip_aes.h"

namespace kv {

// The opening of a WinZip AES entry's data: the salt and the password verifier in front of the enciphered
// bytes.
class TAesEntryHeader {
public:
    // Reads salt and verifier at the archive's position; false when the archive ends first.
    bool Read(TStream32& archive, int strength);
    // The entry's cipher with keys from `password`, or null when the verifier says the password is wrong. An
    // empty password never opens an entry.
    std::unique_ptr<TZipAesCipher> Open(const std::string& password) const;

private:
    int strength_ = 0;
    std::uint8_t salt_[16]{};
    std::uint8_t verifier_[kAesVerifierLength]{};
};

// An AES entry's enciphered data read as plain bytes: at most `size` bytes from the archive's position,
// authenticated and deciphered on the way. Forward only: a decoder's attempt to give back input it read
// ahead is refused, and Authentic() reads whatever the decoder left anyway.
class TAesEntryStream : public TCustomStream {
public:
    TAesEntryStream(TStream32& archive, TZipAesCipher& cipher, std::int64_t size)
        : TCustomStream(archive), cipher_(cipher), remaining_(size) {}

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    // Whether the authentication code stored behind the data matches the data: reads the rest of the data
    // through the code first.
    bool Authentic();

private:
    TZipAesCipher& cipher_;
    std::int64_t remaining_;
};

}  // namespace kv
