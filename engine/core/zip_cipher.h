#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/core/kv_object.h"

namespace kv {

// Three cipher keys: what OnGetPassword hands out for the data and the header key sets.
struct TSeedKeyRecord {
    std::uint32_t Key0 = 0;
    std::uint32_t Key1 = 0;
    std::uint32_t Key2 = 0;
    bool operator==(const TSeedKeyRecord&) const = default;
};

// The classic ZIP stream cipher over one key state.
class TZipKeys {
public:
    TZipKeys() = default;
    explicit TZipKeys(const TSeedKeyRecord& keys) : keys_(keys) {}

    void UpdateKeys(std::uint8_t plain);
    std::uint8_t KeystreamByte() const;
    void Decipher(std::uint8_t* buffer, std::size_t size);
    void Encipher(std::uint8_t* buffer, std::size_t size);
    std::uint8_t EncipherByte(std::uint8_t plain);
    // Starts from `seed` and mixes in every byte of the password.
    void InitPassword(const TSeedKeyRecord& seed, const std::string& password);

    const TSeedKeyRecord& Keys() const { return keys_; }
    TSeedKeyRecord& Keys() { return keys_; }

private:
    TSeedKeyRecord keys_;
};

enum class TSeedKind { skData, skHeader };

inline constexpr TSeedKeyRecord kDefaultDataSeed{0x12345678u, 0x23456789u, 0x34567890u};
inline constexpr TSeedKeyRecord kDefaultHeaderSeed{0x5A3C9E11u, 0x0C71D2B4u, 0x6E28F047u};

// The seed a key set starts from, and the current key state of that set. Both live per thread: the
// engine runs one operation at a time on its caller's thread.
TSeedKeyRecord& CipherSeed(TSeedKind kind);
TZipKeys& CipherKeys(TSeedKind kind);

// The published `SeedDataKeys` / `SeedHeaderKeys`: creating one loads the default seed of its kind; its
// keys read the current key state and write both state and seed, so a changed seed holds for the
// following entries.
class TSeedKeys : public TObject {
public:
    explicit TSeedKeys(TSeedKind kind);
    TSeedKind Kind() const { return kind_; }
    std::uint32_t Key0() const { return CipherKeys(kind_).Keys().Key0; }
    std::uint32_t Key1() const { return CipherKeys(kind_).Keys().Key1; }
    std::uint32_t Key2() const { return CipherKeys(kind_).Keys().Key2; }
    void SetKey0(std::uint32_t value);
    void SetKey1(std::uint32_t value);
    void SetKey2(std::uint32_t value);
    // Installs a whole seed (what an OnGetPassword handler returns).
    void Assign(const TSeedKeyRecord& seed);

private:
    void Store(std::uint32_t TSeedKeyRecord::*key, std::uint32_t value);
    TSeedKind kind_;
};

inline constexpr std::size_t kCipherHeaderSize = 12;
using TCipherHeader = std::array<std::uint8_t, kCipherHeaderSize>;

// Data keys from the data seed and the password.
void InitPasswordKeys(const std::string& password);
// A fresh enciphered 12-byte header for an entry with this CRC-32; leaves the data keys ready for its data.
TCipherHeader MakeCipherHeader(const std::string& password, std::uint32_t crc);
// Checks a 12-byte header against the password: its last byte must match the top byte of the MS-DOS
// time when flag bit 3 (data descriptor) is set, else the top byte of the CRC-32. On success the data
// keys stand right after the header. An empty password never verifies.
bool CheckCipherHeader(const TCipherHeader& header, std::uint16_t flags, std::uint32_t crc, const std::string& password,
                       std::uint32_t dos_time);

// Which ZIP record a "PL"/"PN" header hides; the value is how many bytes follow the 4-byte signature.
enum class TCipheredRecord : std::size_t { crLocal = 26, crCentral = 42, crEnd = 18, crWideEnd = 22 };
// Restarts the header keys from the header seed and deciphers the record behind its signature.
void DecipherHeader(std::uint8_t* record_with_signature, TCipheredRecord kind);
// Continues the header keys over the names and extra data behind an enciphered central header.
void DecipherHeaderContinuation(std::uint8_t* buffer, std::size_t size);

}  // namespace kv
