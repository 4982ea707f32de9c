#include "engine/readers/lha_methods.h"

#include <algorithm>
#include <array>
#include <optional>

#include "engine/codecs/lzh_static.h"

namespace kv {
namespace {

// The static-Huffman methods and their windows.
std::optional<TLzhStaticParams> StaticParams(std::string_view method) {
    if (method == "-lh4-") return TLzhStaticParams{12, 4};
    if (method == "-lh5-") return TLzhStaticParams{13, 4};
    if (method == "-lh6-") return TLzhStaticParams{15, 5};
    if (method == "-lh7-") return TLzhStaticParams{16, 5};
    return std::nullopt;
}

bool IsStored(std::string_view method) { return method == "-lh0-" || method == "-lz4-"; }

// Stored data: as many bytes as the entry declares, no more.
TDecodeResult CopyStoredData(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size) {
    std::array<std::uint8_t, 65536> buffer;
    while (unpacked_size > 0) {
        const std::size_t got = source.Read(buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(unpacked_size, buffer.size())));
        if (got == 0) return TDecodeResult::drTruncated;
        if (!sink.Write(buffer.data(), got)) return TDecodeResult::drStopped;
        unpacked_size -= got;
    }
    return TDecodeResult::drOk;
}

}  // namespace

bool IsKnownLhaMethod(std::string_view method) { return IsStored(method) || StaticParams(method).has_value(); }

TDecodeResult DecodeLhaMethod(std::string_view method, TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size) {
    if (IsStored(method)) return CopyStoredData(source, sink, unpacked_size);
    if (const auto params = StaticParams(method)) return UnLzhStatic(source, sink, unpacked_size, *params);
    return TDecodeResult::drUnsupported;
}

}  // namespace kv
