#include "engine/core/zip_cipher.h"

#include <random>

#include "engine/core/crc.h"

namespace kv {

void TZipKeys::UpdateKeys(std::uint8_t plain) {
    keys_.Key0 = Crc32Step(keys_.Key0, plain);
    keys_.Key1 = (keys_.Key1 + (keys_.Key0 & 0xFF)) * 134775813u + 1;
    keys_.Key2 = Crc32Step(keys_.Key2, static_cast<std::uint8_t>(keys_.Key1 >> 24));
}

std::uint8_t TZipKeys::KeystreamByte() const {
    const std::uint32_t t = (keys_.Key2 & 0xFFFF) | 2;
    return static_cast<std::uint8_t>((t * (t ^ 1)) >> 8);
}

void TZipKeys::Decipher(std::uint8_t* buffer, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        buffer[i] ^= KeystreamByte();
        UpdateKeys(buffer[i]);
    }
}

std::uint8_t TZipKeys::EncipherByte(std::uint8_t plain) {
    const std::uint8_t key = KeystreamByte();
    UpdateKeys(plain);
    return plain ^ key;
}

void TZipKeys::Encipher(std::uint8_t* buffer, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) buffer[i] = EncipherByte(buffer[i]);
}

void TZipKeys::InitPassword(const TSeedKeyRecord& seed, const std::string& password) {
    keys_ = seed;
    for (unsigned char c : password) UpdateKeys(c);
}

namespace {

struct CipherState {
    TSeedKeyRecord seed[2] = {kDefaultDataSeed, kDefaultHeaderSeed};
    TZipKeys keys[2] = {TZipKeys(kDefaultDataSeed), TZipKeys(kDefaultHeaderSeed)};
};

CipherState& State() {
    thread_local CipherState state;
    return state;
}

int Index(TSeedKind kind) { return kind == TSeedKind::skData ? 0 : 1; }

std::uint8_t RandomByte() {
    thread_local std::mt19937 generator{std::random_device{}()};
    return static_cast<std::uint8_t>(generator() >> 24);
}

}  // namespace

TSeedKeyRecord& CipherSeed(TSeedKind kind) { return State().seed[Index(kind)]; }
TZipKeys& CipherKeys(TSeedKind kind) { return State().keys[Index(kind)]; }

TSeedKeys::TSeedKeys(TSeedKind kind) : kind_(kind) {
    Assign(kind == TSeedKind::skData ? kDefaultDataSeed : kDefaultHeaderSeed);
}

void TSeedKeys::Store(std::uint32_t TSeedKeyRecord::*key, std::uint32_t value) {
    CipherKeys(kind_).Keys().*key = value;
    CipherSeed(kind_).*key = value;
}

void TSeedKeys::SetKey0(std::uint32_t value) { Store(&TSeedKeyRecord::Key0, value); }
void TSeedKeys::SetKey1(std::uint32_t value) { Store(&TSeedKeyRecord::Key1, value); }
void TSeedKeys::SetKey2(std::uint32_t value) { Store(&TSeedKeyRecord::Key2, value); }

void TSeedKeys::Assign(const TSeedKeyRecord& seed) {
    CipherSeed(kind_) = seed;
    CipherKeys(kind_).Keys() = seed;
}

void InitPasswordKeys(const std::string& password) {
    CipherKeys(TSeedKind::skData).InitPassword(CipherSeed(TSeedKind::skData), password);
}

TCipherHeader MakeCipherHeader(const std::string& password, std::uint32_t crc) {
    InitPasswordKeys(password);
    TZipKeys& keys = CipherKeys(TSeedKind::skData);
    TCipherHeader header{};
    for (std::size_t i = 0; i < 10; ++i) header[i] = keys.EncipherByte(RandomByte());
    header[10] = keys.EncipherByte(static_cast<std::uint8_t>(crc >> 16));
    header[11] = keys.EncipherByte(static_cast<std::uint8_t>(crc >> 24));
    return header;
}

bool CheckCipherHeader(const TCipherHeader& header, std::uint16_t flags, std::uint32_t crc, const std::string& password,
                       std::uint32_t dos_time) {
    if (password.empty()) return false;
    InitPasswordKeys(password);
    TCipherHeader plain = header;
    CipherKeys(TSeedKind::skData).Decipher(plain.data(), plain.size());
    const std::uint8_t expected = (flags & 0x0008) ? static_cast<std::uint8_t>(dos_time >> 8)
                                                   : static_cast<std::uint8_t>(crc >> 24);
    return plain[11] == expected;
}

void DecipherHeader(std::uint8_t* record_with_signature, TCipheredRecord kind) {
    TZipKeys& keys = CipherKeys(TSeedKind::skHeader);
    keys.Keys() = CipherSeed(TSeedKind::skHeader);
    keys.Decipher(record_with_signature + 4, static_cast<std::size_t>(kind));
}

void DecipherHeaderContinuation(std::uint8_t* buffer, std::size_t size) {
    CipherKeys(TSeedKind::skHeader).Decipher(buffer, size);
}

}  // namespace kv
