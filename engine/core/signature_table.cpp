#include "engine/core/signature_table.h"

namespace kv {
namespace {

bool IsZipPair(const std::uint8_t* b) {
    return b[0] == 'P' && (b[1] == 'K' || b[1] == 'L' || b[1] == 'M' || b[1] == 'N');
}

// The first row signature that matches, the longer signatures and those further in tried first.
std::optional<TSignatureEntry> RowSignature(TSignatureMode mode, const std::uint8_t* bytes) {
    struct TShape {
        std::uint8_t Length;
        std::uint8_t At;
    };
    constexpr TShape kShapes[] = {{4, 0}, {2, 2}, {2, 0}};
    for (const TShape shape : kShapes) {
        for (const TFormat& format : Formats()) {
            for (const TSignature& sig : format.Signatures) {
                if (sig.Mode != mode || sig.Length != shape.Length || sig.At != shape.At || !sig.Matches(bytes))
                    continue;
                return TSignatureEntry{sig.Refused ? atUnsupported : format.Type, sig.StartOffset};
            }
        }
    }
    return std::nullopt;
}

}  // namespace

TSignatureEntry LookUpSignature(TSignatureMode mode, const std::uint8_t* bytes) {
    if (const auto entry = RowSignature(mode, bytes)) return *entry;
    // The ZIP rule looks at the record kind behind "PK" (and the variants of a few old builds).
    if (IsZipPair(bytes)) {
        const bool embedded = mode == TSignatureMode::smEmbedded;
        if (bytes[2] == 0x01 && bytes[3] == 0x02) return {atNA, -1, TZipVolumeCheck::zvWithCentralDir};
        if (bytes[2] == 0x07 && bytes[3] == 0x08) return {atNA, -1, TZipVolumeCheck::zvAlone};
        if ((bytes[2] == 'G' && bytes[3] == '4') || (bytes[2] == 'C' && bytes[3] == 'I')) return {};
        return {embedded ? atZipExe : atZip};
    }
    return {};
}

}  // namespace kv
