#include "engine/core/signature_table.h"

#include <cstring>

namespace kv {
namespace {

struct TWholeRow {
    std::uint8_t Bytes[4];
    TArcType Start;
    TArcType Embedded;
    std::int64_t EmbeddedStart;
};

// ARC self-extractors of one known build keep their archive at this fixed offset.
constexpr std::int64_t kArcSfxOffset = 7716;

constexpr TWholeRow kWholeRows[] = {
    {{0x42, 0x48, 0x05, 0x07}, atBh, atBhExe, -1},
    {{0x52, 0x61, 0x72, 0x21}, atRar, atRarExe, -1},
    {{0x50, 0x4B, 0x47, 0x35}, atUnknown, atUnknown, -1},
    {{0x4D, 0x53, 0x43, 0x46}, atCab, atCabExe, -1},
    {{0xB7, 0xDF, 0x54, 0x57}, atArc, atArcExe, kArcSfxOffset},
    {{0x13, 0x5D, 0x65, 0x8C}, atMsGZ, atUnsupported, -1},
};

struct TPairRow {
    std::uint8_t First;
    std::uint8_t Second;
    TArcType Start;
    TArcType Embedded;
    std::int64_t StartOffset;
};

constexpr TPairRow kPairRows[] = {
    // ARC entries of the methods before crunching (1 to 7) begin an archive as well; without these rows
    // an archive whose first entry is packed or squeezed would go unrecognised.
    {0x1A, 0x01, atArc, atUnsupported, -1},
    {0x1A, 0x02, atArc, atUnsupported, -1},
    {0x1A, 0x03, atArc, atUnsupported, -1},
    {0x1A, 0x04, atArc, atUnsupported, -1},
    {0x1A, 0x05, atArc, atUnsupported, -1},
    {0x1A, 0x06, atArc, atUnsupported, -1},
    {0x1A, 0x07, atArc, atUnsupported, -1},
    {0x1A, 0x1E, atArc, atUnsupported, -1},
    {0x1A, 0x08, atArc, atArcExe, -1},
    {0x1A, 0x09, atArc, atArcExe, -1},
    {0x1A, 0x0A, atPak, atPakExe, -1},
    {0x1A, 0x0B, atPak, atPakExe, -1},
    {0x1F, 0x1E, atGZip, atUnsupported, -1},
    {0x25, 0x21, atGZip, atUnsupported, -1},
    {0x1F, 0x8B, atGZip, atUnsupported, -1},
    {0x1F, 0x9D, atGZip, atUnsupported, -1},
    {0x1F, 0x9E, atGZip, atUnsupported, -1},
    {0x1F, 0xA0, atGZip, atUnsupported, -1},
    {0x48, 0x41, atHA, atUnsupported, -1},
    {0x5A, 0x4F, atZoo, atUnsupported, -1},
    {0xB7, 0x92, atArcExe, atArcExe, kArcSfxOffset},
    {0xB7, 0xDF, atArcExe, atArcExe, kArcSfxOffset},
    {0x60, 0xEA, atArj, atArjExe, -1},
};

bool IsZipPair(const std::uint8_t* b) {
    return b[0] == 'P' && (b[1] == 'K' || b[1] == 'L' || b[1] == 'M' || b[1] == 'N');
}

}  // namespace

TSignatureEntry LookUpSignature(TSignatureMode mode, const std::uint8_t* bytes) {
    const bool embedded = mode == TSignatureMode::smEmbedded;
    for (const TWholeRow& row : kWholeRows) {
        if (std::memcmp(row.Bytes, bytes, 4) == 0) {
            return embedded ? TSignatureEntry{row.Embedded, row.EmbeddedStart} : TSignatureEntry{row.Start};
        }
    }
    if (bytes[2] == '-' && bytes[3] == 'l') return {embedded ? atLhaExe : atLha};
    for (const TPairRow& row : kPairRows) {
        if (row.First == bytes[0] && row.Second == bytes[1]) {
            return {embedded ? row.Embedded : row.Start, row.StartOffset};
        }
    }
    if (IsZipPair(bytes)) {
        if (bytes[2] == 0x01 && bytes[3] == 0x02) return {atNA, -1, TZipVolumeCheck::zvWithCentralDir};
        if (bytes[2] == 0x07 && bytes[3] == 0x08) return {atNA, -1, TZipVolumeCheck::zvAlone};
        if ((bytes[2] == 'G' && bytes[3] == '4') || (bytes[2] == 'C' && bytes[3] == 'I')) return {};
        return {embedded ? atZipExe : atZip};
    }
    return {};
}

}  // namespace kv
