#pragma once

#include <cstdint>
#include <string>

#include "engine/codecs/codec_io.h"

namespace kv {

// A garbled ARJ piece's packed bytes in the clear: each byte was XORed with the next password byte plus
// the header's password modifier, the password starting over at each piece. ARJ keeps no check value, so
// only the decoded data's CRC tells a wrong password.
class TArjGarbleSource : public TByteSource {
public:
    TArjGarbleSource(TByteSource& source, const std::string& password, std::uint8_t modifier);
    std::size_t Read(std::uint8_t* buffer, std::size_t size) override;

private:
    TByteSource& source_;
    std::string key_;  // the password with the modifier added to each byte
    std::size_t at_ = 0;
};

}  // namespace kv
