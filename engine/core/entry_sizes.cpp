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
    if (type == atBh || type == atBhExe) return true;
    return FormatOf(type).Has(ftZipEntries) && method != kZipAesMethod;
}

}  // namespace

std::int64_t ReportedPackedSize(TArcType type, int method, bool encrypted, std::int64_t storedPackedSize,
                                std::int64_t unpackedSize) {
    if (CarriesCipherHeader(type, method, encrypted))
        return storedPackedSize >= kHeaderSize ? storedPackedSize - kHeaderSize : storedPackedSize;
    if (type == atLha || type == atLhaExe || type == atLzh || type == atLzhExe)
        return std::min(storedPackedSize, unpackedSize);
    return storedPackedSize;
}

}  // namespace kv
