#pragma once

#include <cstdint>
#include <vector>

namespace kv::test {

// Packs values most significant bit first, as the LZH family of methods reads them.
class MsbBitWriter {
public:
    MsbBitWriter& Put(std::uint32_t value, unsigned count) {
        for (unsigned bit = count; bit-- > 0;) {
            if (used_ == 0) bytes_.push_back(0);
            if ((value >> bit) & 1) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> used_);
            used_ = (used_ + 1) & 7;
        }
        return *this;
    }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    unsigned used_ = 0;
};

}  // namespace kv::test
