#include "engine/writers/entry_cipher.h"

#include <openssl/rand.h>

#include <algorithm>
#include <stdexcept>

namespace kv {
namespace {

class TClassicEncryptor : public TEntryEncryptor {
public:
    TClassicEncryptor(const TSeedKeyRecord& seed, const std::string& password, std::uint8_t check_byte)
        : check_byte_(check_byte) {
        keys_.InitPassword(seed, password);
    }
    std::vector<std::uint8_t> Header() override {
        std::vector<std::uint8_t> header(kCipherHeaderSize);
        if (RAND_bytes(header.data(), static_cast<int>(header.size() - 1)) != 1) {
            throw std::runtime_error("no random bytes for the cipher header");
        }
        header.back() = check_byte_;
        keys_.Encipher(header.data(), header.size());
        return header;
    }
    void Encrypt(std::uint8_t* data, std::size_t size) override { keys_.Encipher(data, size); }
    std::vector<std::uint8_t> Trailer() override { return {}; }

private:
    TZipKeys keys_;
    std::uint8_t check_byte_;
};

class TAesEncryptor : public TEntryEncryptor {
public:
    TAesEncryptor(const std::string& password, int strength)
        : salt_(MakeAesSalt(strength)), cipher_(password, salt_.data(), strength) {}
    std::vector<std::uint8_t> Header() override {
        std::vector<std::uint8_t> header = salt_;
        header.insert(header.end(), cipher_.Verifier().begin(), cipher_.Verifier().end());
        return header;
    }
    void Encrypt(std::uint8_t* data, std::size_t size) override { cipher_.Encrypt(data, size); }
    std::vector<std::uint8_t> Trailer() override {
        const auto code = cipher_.AuthCode();
        return {code.begin(), code.end()};
    }

private:
    std::vector<std::uint8_t> salt_;
    TZipAesCipher cipher_;
};

}  // namespace

std::unique_ptr<TEntryEncryptor> MakeEntryEncryptor(const TEntryCipherOptions& options, std::uint32_t crc,
                                                    std::uint32_t dos_date_time, bool descriptor) {
    switch (options.Kind) {
        case TEntryCipherKind::ecNone: return nullptr;
        case TEntryCipherKind::ecZipCrypto: {
            const auto check = static_cast<std::uint8_t>(descriptor ? dos_date_time >> 8 : crc >> 24);
            return std::make_unique<TClassicEncryptor>(options.Seed, options.Password, check);
        }
        case TEntryCipherKind::ecAes: return std::make_unique<TAesEncryptor>(options.Password, options.AesStrength);
    }
    return nullptr;
}

std::size_t CipherOverhead(const TEntryCipherOptions& options) {
    switch (options.Kind) {
        case TEntryCipherKind::ecNone: return 0;
        case TEntryCipherKind::ecZipCrypto: return kCipherHeaderSize;
        case TEntryCipherKind::ecAes: return AesOverhead(options.AesStrength);
    }
    return 0;
}

void ApplyCipherFields(const TEntryCipherOptions& options, TZipRecordEntry& entry) {
    if (options.Kind == TEntryCipherKind::ecNone) return;
    entry.Flags |= 0x0001;
    if (options.Kind != TEntryCipherKind::ecAes) return;
    TAesExtra aes;
    aes.Version = 2;
    aes.Strength = options.AesStrength;
    aes.Method = entry.Method;
    const auto extra = MakeAesExtra(aes);
    entry.LocalExtra.insert(entry.LocalExtra.end(), extra.begin(), extra.end());
    entry.CentralExtra.insert(entry.CentralExtra.end(), extra.begin(), extra.end());
    entry.Method = kAesMethod;
    entry.Crc = 0;
    entry.VersionNeeded = std::max(entry.VersionNeeded, kZipVersionAes);
    entry.VersionMadeBy = static_cast<std::uint16_t>((entry.VersionMadeBy & 0xFF00) | kZipVersionAes);
}

}  // namespace kv
