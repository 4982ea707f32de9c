#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/entry_enums.h"
#include "engine/core/zip_cipher.h"

namespace kv {

// The filter streams carry an entry's data through the classic cipher when its method is emZip_V2; the
// data keys must already stand right after the entry's 12-byte header.
inline void DecipherData(TEncryptionMethod method, std::uint8_t* buffer, std::size_t size) {
    if (method == emZip_V2) CipherKeys(TSeedKind::skData).Decipher(buffer, size);
}

inline void EncipherData(TEncryptionMethod method, std::uint8_t* buffer, std::size_t size) {
    if (method == emZip_V2) CipherKeys(TSeedKind::skData).Encipher(buffer, size);
}

}  // namespace kv
