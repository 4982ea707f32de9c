#include "engine/codecs/arj_fastest.h"

#include "engine/codecs/lzh_output.h"
#include "engine/codecs/msb_bit_reader.h"

namespace kv {
namespace {

// A value sent as up to `max_steps` one-bits (each adding the next power of two from 2^first_width)
// ended by a zero-bit, then as many bits as the width reached.
std::uint32_t ReadStepped(TMsbBitReader& bits, unsigned first_width, unsigned max_steps) {
    std::uint32_t base = 0;
    unsigned width = first_width;
    for (unsigned step = 0; step < max_steps && bits.Read(1) != 0; ++step) base += 1u << width++;
    return base + bits.Read(width);
}

constexpr unsigned kLengthFirstWidth = 0;
constexpr unsigned kLengthSteps = 7;
constexpr unsigned kDistanceFirstWidth = 9;
constexpr unsigned kDistanceSteps = 4;
constexpr unsigned kMinMatch = 3;  // a length code n > 0 copies n + 2 bytes
// Distances reach 15 872 bytes back, lengths 256 bytes (TLzhOutput's longest match).
constexpr std::size_t kWindow = 16384;

}  // namespace

TDecodeResult UnArjFastest(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size) {
    TMsbBitReader bits(source);
    TLzhOutput output(sink, unpacked_size, kWindow);
    while (!output.Full()) {
        const std::uint32_t length_code = ReadStepped(bits, kLengthFirstWidth, kLengthSteps);
        if (length_code == 0) {
            output.Put(static_cast<std::uint8_t>(bits.Read(8)));
        } else {
            const std::uint32_t distance = ReadStepped(bits, kDistanceFirstWidth, kDistanceSteps) + 1;
            output.Copy(distance, length_code + kMinMatch - 1);
        }
        if (bits.Overrun()) return TDecodeResult::drTruncated;
        if (!output.Flush(false)) return TDecodeResult::drStopped;
    }
    return output.Flush(true) ? TDecodeResult::drOk : TDecodeResult::drStopped;
}

}  // namespace kv
