#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/core/arc_detect.h"
#include "engine/core/signature_table.h"
#include "platform/byte_order.h"

namespace kv {

// Detection reads in blocks of this size: the head of the file, the window searched for the ZIP end
// record, and each block of the signature scan.
inline constexpr std::int64_t kDetectBlockSize = 32768;

using platform::LoadLE16;
using platform::LoadLE32;
using platform::LoadLE64;

// One run of detection over an open stream. Reads only bounded windows of the file, whatever its size.
class TArcDetector {
public:
    TArcDetector(TStream32& stream, TArcDetection& state, const TDetectionContext& context);
    TArcType Run();

    // The signature table with what its ZIP rows still need (volume rule, directory check); atNA is no match.
    TArcType GetSignatureType(TSignatureMode mode, const std::uint8_t* bytes);
    // The bounded scan for a known signature from `start`; sets the type and returns the start offset.
    std::int64_t ScanForSignature(std::int64_t start);

private:
    void DetectExecutable();
    bool ProbeFixedOffsets();
    bool ProbeResourceOffsets();
    bool ProbeDosImageEnd();
    void DetectPlain();
    bool TarRule();
    TArcType ZipVolumeType();
    // FindCentralDir over the whole file. Its outcome cannot change within one detection, so later calls
    // replay the first one instead of reading (and reporting a bad directory) again.
    std::int64_t CentralDir();
    // Takes a directory search result as start offset unless it verified nothing.
    void TakeCentralDirUnlessUnverified(std::int64_t fallback_offset);
    std::int64_t ReadAt(std::int64_t offset, void* buffer, std::int64_t count);

    TStream32& stream_;
    TArcDetection& state_;
    const TDetectionContext& context_;
    std::int64_t size_ = 0;
    std::vector<std::uint8_t> head_;  // the first block of the file

    struct CentralDirOutcome {
        std::int64_t Result;
        THeaderTypeState Flags;
        std::uint32_t PrefixSize;
    };
    std::optional<CentralDirOutcome> central_dir_;
};

}  // namespace kv
