#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/zip_aes.h"
#include "engine/core/zip_cipher.h"
#include "engine/writers/zip_records.h"

namespace kv {

enum class TEntryCipherKind { ecNone, ecZipCrypto, ecAes };

// How one entry is enciphered. AES entries are written as AE-2 (CRC field zero; the authentication code
// protects the data), which every AES-capable reader takes and which does not leak the CRC of short files.
struct TEntryCipherOptions {
    TEntryCipherKind Kind = TEntryCipherKind::ecNone;
    std::string Password;
    int AesStrength = 3;
    // Where the classic cipher's keys start before the password is mixed in.
    TSeedKeyRecord Seed = kDefaultDataSeed;
};

// One entry's cipher with keys of its own, so entries can be enciphered on several threads at once.
class TEntryEncryptor {
public:
    virtual ~TEntryEncryptor() = default;
    // What comes before the enciphered data (the classic 12-byte header, or AES salt and verifier).
    virtual std::vector<std::uint8_t> Header() = 0;
    virtual void Encrypt(std::uint8_t* data, std::size_t size) = 0;
    // What comes after it (the AES authentication code); call once, at the end.
    virtual std::vector<std::uint8_t> Trailer() = 0;
};

// Nothing for ecNone. The classic cipher's check byte is the top byte of the CRC, or with a data
// descriptor (flag bit 3) the high byte of the MS-DOS time, as readers check it.
std::unique_ptr<TEntryEncryptor> MakeEntryEncryptor(const TEntryCipherOptions& options, std::uint32_t crc,
                                                    std::uint32_t dos_date_time, bool descriptor);
// The bytes the cipher adds to the data.
std::size_t CipherOverhead(const TEntryCipherOptions& options);
// Sets flag, method, version and extra fields of an enciphered entry whose data has `entry.Method`.
void ApplyCipherFields(const TEntryCipherOptions& options, TZipRecordEntry& entry);

}  // namespace kv
