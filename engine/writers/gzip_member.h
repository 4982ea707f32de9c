#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/entry_enums.h"
#include "engine/writers/chunk_compressor.h"
#include "engine/writers/chunk_pipeline.h"

namespace kv {

// What the header of a GZIP member says.
struct TGzipMemberInfo {
    std::string Name;  // of the packed file, without folders; none when empty
    std::uint32_t ModificationTime = 0;  // Unix seconds
    int Level = 6;  // deflate level, 0 to 9
};

// The deflate level a DeflateType asks for (dtDeflateS: stored deflate blocks).
int DeflateLevelFor(TDeflateType type);

// Writes `size` bytes of `input` as one GZIP member: header, deflate data, CRC-32 and size. The data is
// deflated in parallel chunks that form a single deflate stream (each chunk primed with the 32 KiB before
// it, ended on a byte boundary by a sync flush), so any GZIP reader takes it.
TChunkResult WriteGzipMember(TStream32& input, std::int64_t size, const TGzipMemberInfo& info, TStream32& out,
                             const TChunkProgress& progress);

// The input size of a member of NewGzipMembers.
inline constexpr std::size_t kGzipMemberChunk = 1024 * 1024;

// Writes the first member's header to `out` and returns where the input goes, in pieces of up to
// kGzipMemberChunk: each becomes a GZIP member of its own, deflated in parallel by libdeflate, which is
// several times faster than zlib but cannot carry a window across pieces; the first member holds the name.
// GZIP readers (gzip, pigz, tar, ours) take the members one after another as one file. Each trailer holds
// only its member's CRC-32 and size, so `gzip -l` shows the last member's size. Null when `out` refused the
// header.
std::unique_ptr<TChunkSink> NewGzipMembers(const TGzipMemberInfo& info, TStream32& out);

}  // namespace kv
