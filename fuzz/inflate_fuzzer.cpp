// Inflates arbitrary bytes as Deflate or Deflate64 (first byte, bit 0), handed over in chunks of 1 to 256
// bytes (second byte), into a sink that refuses more than 8 MiB so that the sink's refusal is fuzzed too.
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/codecs/inflate.h"
#include "engine/codecs/memory_byte_io.h"

namespace {

class TBoundedSink : public kv::TByteSink {
public:
    bool Write(const std::uint8_t* data, std::size_t size) override {
        if (size == 0 || data == nullptr) __builtin_trap();  // the decoder never hands over empty blocks
        total_ += size;
        return total_ <= 8u << 20;
    }

private:
    std::size_t total_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const bool deflate64 = (data[0] & 1) != 0;
    const std::size_t chunk = std::size_t{data[1]} + 1;
    kv::TMemorySource source(std::span(data + 2, size - 2), chunk);
    TBoundedSink sink;
    kv::Inflate(source, sink, deflate64);
    return 0;
}
