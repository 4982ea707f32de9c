#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/codecs/codec_io.h"

namespace kv {

// What an LHA entry decodes to, on its way to the output: every byte counts in the CRC-16, and where the
// entry may hold a MacBinary wrapper (MacLHA's files), a wrapper found at its start is taken off so that
// only the data fork reaches the output.
class TLhaEntrySink : public TByteSink {
public:
    TLhaEntrySink(TByteSink& output, std::uint16_t& crc16, std::uint64_t unpacked_size, bool may_wrap)
        : output_(output), crc16_(crc16), unpacked_size_(unpacked_size), may_wrap_(may_wrap) {}
    bool Write(const std::uint8_t* data, std::size_t size) override;
    // Hands on what is still held back (an entry shorter than a wrapper); false when the output refused it.
    bool Finish();

private:
    static constexpr std::size_t kWrapperSize = 128;

    // Whether the held bytes are a MacBinary header that accounts for the entry's whole size; sets the
    // data fork's size.
    bool IsWrapper();
    bool Pass(const std::uint8_t* data, std::size_t size);

    TByteSink& output_;
    std::uint16_t& crc16_;
    std::uint64_t unpacked_size_;
    bool may_wrap_;
    std::array<std::uint8_t, kWrapperSize> held_{};
    std::size_t held_size_ = 0;
    bool decided_ = false;
    std::uint64_t fork_left_ = UINT64_MAX;  // data fork bytes still to pass on
};

}  // namespace kv
