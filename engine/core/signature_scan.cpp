// The bounded search for a known archive signature anywhere in the first few hundred kilobytes.
#include <cstring>
#include <vector>

#include "engine/core/arc_detector.h"
#include "engine/core/formats.h"

namespace kv {
namespace {

constexpr int kScanBlocks = 11;
// Bytes read past each block so that tests at its last positions see the bytes they compare.
constexpr std::int64_t kLookahead = 16;

bool Equals(const std::uint8_t* p, std::int64_t available, const char* signature, std::size_t size) {
    return available >= static_cast<std::int64_t>(size) && std::memcmp(p, signature, size) == 0;
}

}  // namespace

std::int64_t TArcDetector::ScanForSignature(std::int64_t start) {
    if (start >= size_) return 0;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(kDetectBlockSize + kLookahead));
    // The self-extracting form is the one whose archive does not start the file.
    const auto found = [this](std::int64_t offset, TArcType plain) {
        state_.ArcType = offset > 0 ? FormatOf(plain).SelfExtractingForm : plain;
        return offset;
    };

    for (int index = 0; index < kScanBlocks; ++index) {
        const std::int64_t block_start = start + index * kDetectBlockSize;
        const std::int64_t got = ReadAt(block_start, block.data(), static_cast<std::int64_t>(block.size()));
        if (got <= 0) break;
        const std::int64_t positions = std::min(got, kDetectBlockSize);
        for (std::int64_t q = 0; q < positions; ++q) {
            const std::uint8_t* b = &block[static_cast<std::size_t>(q)];
            const std::int64_t available = got - q;
            const std::int64_t p = block_start + q;

            // "**ACE**" stands 7 bytes into the ACE main header.
            if (Equals(b, available, "**ACE", 5) && p + 5 < size_ && p >= 7) return found(p - 7, atAce);
            if (Equals(b, available, "MSCF\0\0\0\0", 8) && p + 5 < size_) {
                // Cabinets inside ordinary files (installers, documents) are not what the user opened.
                if (start == 0) break;
                return found(p, atCab);
            }
            // An LHA method name ("-lh5-") stands 2 bytes into the header.
            if (available >= 5 && b[0] == '-' && b[1] == 'l' && b[2] == 'h' && b[4] == '-' && p + 5 < size_ && p >= 2) {
                return found(p - 2, atLha);
            }
            if (Equals(b, available, "BH\x05\x07", 4) && !Equals(b + 4, available - 4, "\x0F\x94\xC3\x84", 4)) {
                return found(p, atBh);
            }
            if (Equals(b, available, "PK\x03\x04", 4) && !Equals(b + 4, available - 4, "\x74\x0B\x3D\x00", 4)) {
                state_.ArcType = start > 0 ? FormatOf(atZip).SelfExtractingForm : atZip;
                if (CentralDir() == -1) state_.ArcType = atUnsupported;
                return p;
            }
            if (Equals(b, available, "Rar!", 4)) return found(p, atRar);
            // ARJ: a main header whose first file header follows right behind its CRC and empty extension.
            if (available >= 4 && b[0] == 0x60 && b[1] == 0xEA) {
                const std::int64_t next = q + LoadLE16(b + 2) + 10;
                if (next < kDetectBlockSize && next + 1 < got && block[static_cast<std::size_t>(next)] == 0x60 &&
                    block[static_cast<std::size_t>(next + 1)] == 0xEA) {
                    return found(p, atArj);
                }
            }
        }
    }
    return 0;
}

}  // namespace kv
