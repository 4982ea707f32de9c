#pragma once

#include <cstdint>
#include <functional>
#include <limits>

#include "engine/codecs/codec_io.h"
#include "engine/core/zip_common.h"

namespace kv {

// An entry's packed bytes for a codec: at most `packed_size` of them from the archive, deciphered with the
// data keys when the entry is enciphered.
class TEntrySource : public TByteSource {
public:
    TEntrySource(TZipCommon& engine, TStream32& archive, std::int64_t packed_size, bool decipher)
        : engine_(engine), archive_(archive), remaining_(packed_size), decipher_(decipher) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t size) override;

private:
    TZipCommon& engine_;
    TStream32& archive_;
    std::int64_t remaining_;
    bool decipher_;
};

// A codec's output for the current entry: written through the engine's WriteBlock (checksum, test mode,
// line ends, a full disk); `progress` hears each block's size. Refuses more once the operation is cancelled,
// and refuses a block that would take the output past `limit` bytes (the size the entry declares).
// `crc_kind` is the checksum the format keeps.
class TEntrySink : public TByteSink {
public:
    TEntrySink(TZipCommon& engine, TStream32* output, std::function<void(std::int64_t size)> progress,
               std::int64_t limit = std::numeric_limits<std::int64_t>::max(), int crc_kind = kCrc32)
        : engine_(engine), output_(output), progress_(std::move(progress)), room_(limit), crc_kind_(crc_kind) {}
    bool Write(const std::uint8_t* data, std::size_t size) override;
    // The data ran on past the limit.
    bool Overflowed() const { return overflowed_; }

private:
    TZipCommon& engine_;
    TStream32* output_;
    std::function<void(std::int64_t size)> progress_;
    std::int64_t room_;
    int crc_kind_;
    bool overflowed_ = false;
};

}  // namespace kv
