#include "engine/core/entry_sizes.h"

#include <algorithm>

#include "engine/core/formats.h"
#include "engine/core/zip_cipher.h"

namespace kv {
namespace {

constexpr int kZipAesMethod = 99;
constexpr auto kHeaderSize = static_cast<std::int64_t>(kCipherHeaderSize);

bool CarriesCipherHeader(TArcType type, int method, bool encrypted) {
    if (!encrypted) return false;
    // The classic cipher puts its header before the data; AES entries of the ZIP types carry their own.
    const TFormat& format = FormatOf(type);
    return format.Has(ftCipherCapable) && !(format.Has(ftZipEntries) && method == kZipAesMethod);
}

}  // namespace

std::int64_t ReportedPackedSize(TArcType type, int method, bool encrypted, std::int64_t storedPackedSize,
                                std::int64_t unpackedSize) {
    if (CarriesCipherHeader(type, method, encrypted))
        return storedPackedSize >= kHeaderSize ? storedPackedSize - kHeaderSize : storedPackedSize;
    if (FormatOf(type).Has(ftPackedCapped)) return std::min(storedPackedSize, unpackedSize);
    return storedPackedSize;
}

}  // namespace kv
