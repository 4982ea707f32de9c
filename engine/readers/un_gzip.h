#pragma once

#include <cstdint>

#include "engine/readers/gzip_member_header.h"
#include "engine/readers/un_single_file.h"

namespace kv {

// Extracts the file of a GZIP archive (also the old 1F 9E magic) with the engine's inflate, every member
// of a concatenated file into the one output, and the file of a Unix compress (.Z) archive.
class TUnGZip : public TUnSingleFile {
protected:
    TMemberStart ReadStart(TMemberInput& input) override;
    bool DecodeMember(TMemberInput& input, TByteSink& sink) override;
    bool ChecksOutputCrc32() const override { return !compress_; }

private:
    // The error code that keeps a member from being extracted, or 0.
    static int Refusal(const TGzipMemberHeader& header);
    // Inflates one member and checks its CRC-32 and size against its trailer.
    bool InflateMember(TMemberInput& input, TByteSink& sink);

    TGzipMemberHeader header_;
    bool compress_ = false;          // Unix compress rather than GZIP
    std::uint8_t lzw_settings_ = 0;  // compress: the byte after the magic
};

}  // namespace kv
