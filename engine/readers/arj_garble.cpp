#include "engine/readers/arj_garble.h"

namespace kv {

TArjGarbleSource::TArjGarbleSource(TByteSource& source, const std::string& password, std::uint8_t modifier)
    : source_(source), key_(password) {
    for (char& byte : key_) byte = static_cast<char>(static_cast<std::uint8_t>(byte) + modifier);
}

std::size_t TArjGarbleSource::Read(std::uint8_t* buffer, std::size_t size) {
    const std::size_t got = source_.Read(buffer, size);
    if (key_.empty()) return got;
    for (std::size_t i = 0; i < got; ++i) {
        buffer[i] ^= static_cast<std::uint8_t>(key_[at_]);
        if (++at_ == key_.size()) at_ = 0;
    }
    return got;
}

}  // namespace kv
