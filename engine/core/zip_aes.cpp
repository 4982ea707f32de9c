#include "engine/core/zip_aes.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <stdexcept>

namespace kv {

namespace {

constexpr int kPbkdf2Rounds = 1000;
constexpr std::size_t kBlock = 16;
constexpr std::size_t kKeyStreamBlocks = 256;  // key stream made 4 KiB at a time

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

const EVP_CIPHER* EcbCipher(int strength) {
    switch (strength) {
        case 1: return EVP_aes_128_ecb();
        case 2: return EVP_aes_192_ecb();
        default: return EVP_aes_256_ecb();
    }
}

}  // namespace

std::optional<TAesExtra> FindAesExtra(const std::uint8_t* extra, std::size_t size) {
    std::size_t at = 0;
    while (at + 4 <= size) {
        const std::uint16_t id = Get16(extra + at);
        const std::size_t length = Get16(extra + at + 2);
        if (at + 4 + length > size) break;
        if (id == kAesExtraId && length >= 7) {
            const std::uint8_t* field = extra + at + 4;
            TAesExtra aes;
            aes.Version = Get16(field);
            aes.Strength = field[4];
            aes.Method = Get16(field + 5);
            if (field[2] != 'A' || field[3] != 'E' || !IsAesStrength(aes.Strength) ||
                (aes.Version != 1 && aes.Version != 2))
                return std::nullopt;
            return aes;
        }
        at += 4 + length;
    }
    return std::nullopt;
}

std::array<std::uint8_t, 11> MakeAesExtra(const TAesExtra& aes) {
    return {0x01, 0x99, 7, 0, static_cast<std::uint8_t>(aes.Version), static_cast<std::uint8_t>(aes.Version >> 8),
            'A',  'E',  static_cast<std::uint8_t>(aes.Strength), static_cast<std::uint8_t>(aes.Method),
            static_cast<std::uint8_t>(aes.Method >> 8)};
}

std::vector<std::uint8_t> MakeAesSalt(int strength) {
    std::vector<std::uint8_t> salt(AesSaltLength(strength));
    if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1) throw std::runtime_error("no random salt");
    return salt;
}

struct TZipAesCipher::TState {
    EVP_CIPHER_CTX* cipher = nullptr;
    EVP_MAC* mac = nullptr;
    EVP_MAC_CTX* mac_context = nullptr;
    std::array<std::uint8_t, kBlock> counter{};
    std::array<std::uint8_t, kBlock * kKeyStreamBlocks> key_stream{};
    std::size_t key_stream_used = key_stream.size();

    ~TState() {
        EVP_MAC_CTX_free(mac_context);
        EVP_MAC_free(mac);
        EVP_CIPHER_CTX_free(cipher);
    }
};

TZipAesCipher::TZipAesCipher(const std::string& password, const std::uint8_t* salt, int strength)
    : state_(std::make_unique<TState>()) {
    const std::size_t key_length = AesKeyLength(strength);
    std::vector<std::uint8_t> keys(2 * key_length + kAesVerifierLength);
    if (PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), salt,
                               static_cast<int>(AesSaltLength(strength)), kPbkdf2Rounds, static_cast<int>(keys.size()),
                               keys.data()) != 1)
        throw std::runtime_error("key derivation failed");
    std::copy_n(keys.data() + 2 * key_length, kAesVerifierLength, verifier_.begin());

    state_->cipher = EVP_CIPHER_CTX_new();
    if (!state_->cipher || EVP_EncryptInit_ex(state_->cipher, EcbCipher(strength), nullptr, keys.data(), nullptr) != 1)
        throw std::runtime_error("AES set-up failed");
    EVP_CIPHER_CTX_set_padding(state_->cipher, 0);

    state_->mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    state_->mac_context = state_->mac ? EVP_MAC_CTX_new(state_->mac) : nullptr;
    char digest[] = "SHA1";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_construct_end()};
    if (!state_->mac_context || EVP_MAC_init(state_->mac_context, keys.data() + key_length, key_length, params) != 1)
        throw std::runtime_error("HMAC set-up failed");
}

TZipAesCipher::~TZipAesCipher() = default;

void TZipAesCipher::ApplyKeyStream(std::uint8_t* data, std::size_t size) {
    TState& s = *state_;
    while (size > 0) {
        if (s.key_stream_used == s.key_stream.size()) {
            // Counter blocks: a 128-bit little-endian number, the first one 1.
            for (std::size_t b = 0; b < kKeyStreamBlocks; ++b) {
                for (std::size_t i = 0; i < kBlock && ++s.counter[i] == 0; ++i) {
                }
                std::copy(s.counter.begin(), s.counter.end(), s.key_stream.begin() + b * kBlock);
            }
            int produced = 0;
            EVP_EncryptUpdate(s.cipher, s.key_stream.data(), &produced, s.key_stream.data(),
                              static_cast<int>(s.key_stream.size()));
            s.key_stream_used = 0;
        }
        const std::size_t n = std::min(size, s.key_stream.size() - s.key_stream_used);
        for (std::size_t i = 0; i < n; ++i) data[i] ^= s.key_stream[s.key_stream_used + i];
        s.key_stream_used += n;
        data += n;
        size -= n;
    }
}

void TZipAesCipher::Authenticate(const std::uint8_t* data, std::size_t size) {
    EVP_MAC_update(state_->mac_context, data, size);
}

void TZipAesCipher::Encrypt(std::uint8_t* data, std::size_t size) {
    ApplyKeyStream(data, size);
    Authenticate(data, size);
}

void TZipAesCipher::Decrypt(std::uint8_t* data, std::size_t size) {
    Authenticate(data, size);
    ApplyKeyStream(data, size);
}

std::array<std::uint8_t, kAesAuthCodeLength> TZipAesCipher::AuthCode() {
    std::array<std::uint8_t, EVP_MAX_MD_SIZE> full{};
    std::size_t length = 0;
    EVP_MAC_final(state_->mac_context, full.data(), &length, full.size());
    std::array<std::uint8_t, kAesAuthCodeLength> code{};
    std::copy_n(full.begin(), code.size(), code.begin());
    return code;
}

}  // namespace kv
