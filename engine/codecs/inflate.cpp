#include "engine/codecs/inflate.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "engine/codecs/huffman_table.h"

namespace kv {
namespace {

using huffman::TEntry;

constexpr unsigned kLitLenBits = 11;  // primary table index bits: most codes resolve in one lookup
constexpr unsigned kDistanceBits = 8;
constexpr unsigned kCodeLengthBits = 7;
constexpr std::size_t kLitLenSymbols = 288;
constexpr std::size_t kDistanceSymbols = 32;
constexpr std::size_t kCodeLengthSymbols = 19;

constexpr std::size_t kInputSize = 64 * 1024;
// The fast loop runs while this many input bytes remain: one iteration loads at most two 8-byte words.
constexpr std::size_t kFastInputMargin = 16;
constexpr std::size_t kFillMargin = 64;
constexpr std::size_t kBlockSize = 256 * 1024;  // bytes handed to the sink per write, at least
// Room past the flush point for one match of the longest Deflate64 length, plus the overrun of word copies.
constexpr std::size_t kOutputSlack = 65538 + 64;

using TLitLenTable = std::array<TEntry, huffman::TableCapacity(kLitLenBits, kLitLenSymbols)>;
using TDistanceTable = std::array<TEntry, huffman::TableCapacity(kDistanceBits, kDistanceSymbols)>;

struct TSymbolTables {
    std::array<TEntry, kLitLenSymbols> litlen;
    std::array<TEntry, kDistanceSymbols> distance;
};

TSymbolTables MakeSymbolTables(bool deflate64) {
    static constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static constexpr std::uint16_t kDistanceBase[32] = {
        1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,    65,    97,    129,   193,
        257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
    static constexpr std::uint8_t kDistanceExtra[32] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,  6,
                                                        7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
    TSymbolTables tables;
    for (unsigned symbol = 0; symbol < 256; ++symbol) tables.litlen[symbol] = huffman::SymbolEntry(symbol, 0, huffman::kLiteral);
    tables.litlen[256] = huffman::SymbolEntry(0, 0, huffman::kEndOfBlock);
    for (unsigned code = 0; code < 29; ++code)
        tables.litlen[257 + code] = huffman::SymbolEntry(kLengthBase[code], kLengthExtra[code], 0);
    // Deflate64 turns the last length code into 3 + a 16-bit count.
    if (deflate64) tables.litlen[285] = huffman::SymbolEntry(3, 16, 0);
    tables.litlen[286] = tables.litlen[287] = huffman::kInvalid;
    for (unsigned code = 0; code < 32; ++code)
        tables.distance[code] = huffman::SymbolEntry(kDistanceBase[code], kDistanceExtra[code], 0);
    if (!deflate64) tables.distance[30] = tables.distance[31] = huffman::kInvalid;
    return tables;
}

// The decoder's bit position: `buffer` holds `count` unread bits, least significant first; bits above them
// are either zero or the stream's next bits. `overrun` counts zero bytes made up past the end of the input,
// so that a truncated stream is recognised once a decode used any of them.
struct TBits {
    std::uint64_t buffer = 0;
    unsigned count = 0;
    unsigned overrun = 0;
    const std::uint8_t* in = nullptr;

    std::uint32_t Peek() const { return static_cast<std::uint32_t>(buffer); }
    void Drop(unsigned bits) {
        buffer >>= bits;
        count -= bits;
    }
    std::uint32_t Take(unsigned bits) {
        const std::uint32_t value = static_cast<std::uint32_t>(buffer & ((std::uint64_t{1} << bits) - 1));
        Drop(bits);
        return value;
    }
    // Tops the buffer up to at least 56 bits from 8 readable bytes at `in`, without a branch.
    void RefillFast() {
        std::uint64_t word;
        std::memcpy(&word, in, sizeof word);
        buffer |= word << count;
        in += (63 - count) >> 3;
        count |= 56;
    }
    bool Overconsumed() const { return overrun * 8 > count; }
};

enum class TStep { stMore, stEndOfBlock, stBad, stTruncated };

class TInflater {
public:
    TInflater(TByteSource& source, TByteSink& sink, bool deflate64)
        : source_(source),
          sink_(sink),
          deflate64_(deflate64),
          window_size_(deflate64 ? 65536 : 32768),
          symbols_(MakeSymbolTables(deflate64)),
          input_(new std::uint8_t[kInputSize]),
          output_(new std::uint8_t[window_size_ + kBlockSize + kOutputSlack]),
          litlen_(new TLitLenTable),
          distance_(new TDistanceTable) {
        bits_.in = input_end_ = input_.get();
        out_ = flushed_ = output_.get();
        flush_at_ = output_.get() + window_size_ + kBlockSize;
    }

    TDecodeResult Run();
    // The bytes read from the source but not used by the stream: the buffered input and the whole bytes
    // still in the bit buffer, less those made up past the end.
    std::size_t UnreadInput() const {
        const std::size_t buffered = static_cast<std::size_t>(input_end_ - bits_.in) + bits_.count / 8;
        return buffered > bits_.overrun ? buffered - bits_.overrun : 0;
    }

private:
    TDecodeResult Failed(TDecodeResult result) const {
        return bits_.Overconsumed() ? TDecodeResult::drTruncated : result;
    }
    void Fill(TBits& bits);
    void RefillCareful(TBits& bits);
    void Need(unsigned count) {
        if (bits_.count < count) RefillCareful(bits_);
    }
    bool Flush();
    TDecodeResult StoredBlock();
    bool ReadDynamicTables();
    void UseFixedTables();
    TDecodeResult HuffmanBlock();
    template <bool kCareful>
    TStep DecodeSymbols();

    TByteSource& source_;
    TByteSink& sink_;
    const bool deflate64_;
    const std::size_t window_size_;
    const TSymbolTables symbols_;

    std::unique_ptr<std::uint8_t[]> input_;
    const std::uint8_t* input_end_;
    bool source_ended_ = false;
    TBits bits_;

    // Decoded bytes: the last window's worth kept at the front, then at least kBlockSize new bytes before a
    // flush, then slack so that a match starting before the flush point never needs a bounds check.
    std::unique_ptr<std::uint8_t[]> output_;
    std::uint8_t* out_;
    std::uint8_t* flushed_;
    std::uint8_t* flush_at_;

    std::unique_ptr<TLitLenTable> litlen_;
    std::unique_ptr<TDistanceTable> distance_;
    std::unique_ptr<TLitLenTable> fixed_litlen_;
    std::unique_ptr<TDistanceTable> fixed_distance_;
    const TEntry* litlen_table_ = nullptr;
    const TEntry* distance_table_ = nullptr;
};

// Keeps the unread input and reads behind it until the buffer is full or the source has ended, so that
// the fast loop gets long runs of contiguous input.
void TInflater::Fill(TBits& bits) {
    std::uint8_t* const start = input_.get();
    const std::size_t kept = static_cast<std::size_t>(input_end_ - bits.in);
    std::memmove(start, bits.in, kept);
    bits.in = start;
    std::uint8_t* end = start + kept;
    while (!source_ended_ && end < start + kInputSize) {
        const std::size_t got = source_.Read(end, static_cast<std::size_t>(start + kInputSize - end));
        if (got == 0) source_ended_ = true;
        end += got;
    }
    input_end_ = end;
}

void TInflater::RefillCareful(TBits& bits) {
    while (bits.count <= 56) {
        if (bits.in == input_end_ && !source_ended_) Fill(bits);
        if (bits.in < input_end_) {
            bits.buffer |= std::uint64_t{*bits.in++} << bits.count;
        } else {
            ++bits.overrun;
        }
        bits.count += 8;
    }
}

bool TInflater::Flush() {
    if (out_ > flushed_ && !sink_.Write(flushed_, static_cast<std::size_t>(out_ - flushed_))) return false;
    std::uint8_t* const start = output_.get();
    if (static_cast<std::size_t>(out_ - start) > window_size_) {
        std::memmove(start, out_ - window_size_, window_size_);
        out_ = start + window_size_;
    }
    flushed_ = out_;
    return true;
}

// Copies a match of `length` bytes from `distance` back. The caller guarantees room for the overrun of
// 16-byte copies past the end.
inline std::uint8_t* CopyMatch(std::uint8_t* out, std::size_t distance, std::size_t length) {
    const std::uint8_t* from = out - distance;
    std::uint8_t* const end = out + length;
    if (distance >= 16) {
        do {
            std::memcpy(out, from, 16);
            out += 16;
            from += 16;
        } while (out < end);
    } else if (distance >= 8) {
        do {
            std::memcpy(out, from, 8);
            out += 8;
            from += 8;
        } while (out < end);
    } else if (distance == 1) {
        std::memset(out, *from, length);
    } else {
        do *out++ = *from++;
        while (out < end);
    }
    return end;
}

template <bool kCareful>
TStep TInflater::DecodeSymbols() {
    TBits bits = bits_;
    std::uint8_t* out = out_;
    std::uint8_t* const out_start = output_.get();
    std::uint8_t* const out_limit = flush_at_;
    const std::uint8_t* const in_limit = kCareful ? input_end_ : input_end_ - kFastInputMargin;
    const TEntry* const litlen = litlen_table_;
    const TEntry* const distances = distance_table_;
    constexpr std::uint32_t kLitLenMask = (1u << kLitLenBits) - 1;
    constexpr std::uint32_t kDistanceMask = (1u << kDistanceBits) - 1;
    TStep step = TStep::stMore;

    while (out < out_limit) {
        if constexpr (kCareful) {
            RefillCareful(bits);
        } else {
            if (bits.in > in_limit) break;
            bits.RefillFast();
        }
        TEntry entry = litlen[bits.Peek() & kLitLenMask];
        if (entry & huffman::kSubTable) {
            bits.Drop(kLitLenBits);
            entry = litlen[huffman::EntryValue(entry) + (bits.Peek() & ((1u << huffman::DropBits(entry)) - 1))];
        }
        std::uint64_t saved = bits.buffer;
        bits.Drop(huffman::DropBits(entry));
        if constexpr (kCareful) {
            if (bits.Overconsumed()) {
                step = TStep::stTruncated;
                break;
            }
        }
        if (entry & huffman::kLiteral) {
            *out++ = static_cast<std::uint8_t>(huffman::EntryValue(entry));
            continue;
        }
        if (entry & (huffman::kEndOfBlock | huffman::kInvalid)) {
            step = (entry & huffman::kEndOfBlock) ? TStep::stEndOfBlock : TStep::stBad;
            break;
        }
        const std::size_t length =
            huffman::EntryValue(entry) +
            ((saved & ((std::uint64_t{1} << huffman::DropBits(entry)) - 1)) >> huffman::CodeBits(entry));

        // Deflate64's 16 extra length bits can leave too few bits for a distance.
        if constexpr (kCareful) {
            RefillCareful(bits);
        } else {
            if (bits.count < 32) bits.RefillFast();
        }
        entry = distances[bits.Peek() & kDistanceMask];
        if (entry & huffman::kSubTable) {
            bits.Drop(kDistanceBits);
            entry = distances[huffman::EntryValue(entry) + (bits.Peek() & ((1u << huffman::DropBits(entry)) - 1))];
        }
        saved = bits.buffer;
        bits.Drop(huffman::DropBits(entry));
        if constexpr (kCareful) {
            if (bits.Overconsumed()) {
                step = TStep::stTruncated;
                break;
            }
        }
        const std::size_t distance =
            huffman::EntryValue(entry) +
            ((saved & ((std::uint64_t{1} << huffman::DropBits(entry)) - 1)) >> huffman::CodeBits(entry));
        if ((entry & huffman::kInvalid) || distance > static_cast<std::size_t>(out - out_start)) {
            step = TStep::stBad;
            break;
        }
        out = CopyMatch(out, distance, length);
    }
    bits_ = bits;
    out_ = out;
    return step;
}

TDecodeResult TInflater::HuffmanBlock() {
    for (;;) {
        if (out_ >= flush_at_ && !Flush()) return TDecodeResult::drStopped;
        if (!source_ended_ && static_cast<std::size_t>(input_end_ - bits_.in) < kFillMargin) Fill(bits_);
        const TStep step = static_cast<std::size_t>(input_end_ - bits_.in) >= kFillMargin ? DecodeSymbols<false>()
                                                                                             : DecodeSymbols<true>();
        switch (step) {
            case TStep::stMore:
                break;
            case TStep::stEndOfBlock:
                return Failed(TDecodeResult::drOk);
            case TStep::stBad:
                return Failed(TDecodeResult::drDataError);
            case TStep::stTruncated:
                return TDecodeResult::drTruncated;
        }
    }
}

TDecodeResult TInflater::StoredBlock() {
    bits_.Drop(bits_.count & 7);
    Need(32);
    const std::uint32_t length = bits_.Take(16);
    const std::uint32_t complement = bits_.Take(16);
    if (bits_.Overconsumed()) return TDecodeResult::drTruncated;
    if (length != (~complement & 0xFFFF)) return TDecodeResult::drDataError;

    std::size_t left = length;
    // Whole bytes still in the bit buffer come first.
    for (; left > 0 && bits_.count >= 8; --left) {
        if (out_ >= flush_at_ && !Flush()) return TDecodeResult::drStopped;
        *out_++ = static_cast<std::uint8_t>(bits_.Take(8));
        if (bits_.Overconsumed()) return TDecodeResult::drTruncated;
    }
    if (left == 0) return TDecodeResult::drOk;
    // The bit buffer is empty now; its stale upper bits would not match the input once it is copied past.
    bits_.buffer = 0;
    while (left > 0) {
        if (bits_.in == input_end_) {
            if (source_ended_) return TDecodeResult::drTruncated;
            Fill(bits_);
            continue;
        }
        if (out_ >= flush_at_ && !Flush()) return TDecodeResult::drStopped;
        const std::size_t count = std::min({left, static_cast<std::size_t>(input_end_ - bits_.in),
                                            static_cast<std::size_t>(flush_at_ + kOutputSlack - out_)});
        std::memcpy(out_, bits_.in, count);
        out_ += count;
        bits_.in += count;
        left -= count;
    }
    return TDecodeResult::drOk;
}

void TInflater::UseFixedTables() {
    if (!fixed_litlen_) {
        std::array<std::uint8_t, kLitLenSymbols> litlen_lengths;
        std::fill_n(litlen_lengths.begin(), 144, 8);
        std::fill(litlen_lengths.begin() + 144, litlen_lengths.begin() + 256, 9);
        std::fill(litlen_lengths.begin() + 256, litlen_lengths.begin() + 280, 7);
        std::fill(litlen_lengths.begin() + 280, litlen_lengths.end(), 8);
        std::array<std::uint8_t, kDistanceSymbols> distance_lengths;
        distance_lengths.fill(5);
        fixed_litlen_ = std::make_unique<TLitLenTable>();
        fixed_distance_ = std::make_unique<TDistanceTable>();
        // The fixed code lengths are complete, so building cannot fail.
        huffman::BuildTable(litlen_lengths, symbols_.litlen, kLitLenBits, *fixed_litlen_);
        huffman::BuildTable(distance_lengths, symbols_.distance, kDistanceBits, *fixed_distance_);
    }
    litlen_table_ = fixed_litlen_->data();
    distance_table_ = fixed_distance_->data();
}

bool TInflater::ReadDynamicTables() {
    static constexpr std::uint8_t kCodeLengthOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                                          11, 4,  12, 3, 13, 2, 14, 1, 15};
    Need(14);
    const unsigned litlen_count = bits_.Take(5) + 257;
    const unsigned distance_count = bits_.Take(5) + 1;
    const unsigned code_length_count = bits_.Take(4) + 4;
    if (litlen_count > 286 || distance_count > (deflate64_ ? 32u : 30u)) return false;

    std::array<std::uint8_t, kCodeLengthSymbols> code_length_lengths{};
    for (unsigned i = 0; i < code_length_count; ++i) {
        Need(3);
        code_length_lengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(bits_.Take(3));
    }
    std::array<TEntry, kCodeLengthSymbols> code_length_symbols;
    for (unsigned symbol = 0; symbol < kCodeLengthSymbols; ++symbol)
        code_length_symbols[symbol] = huffman::SymbolEntry(symbol, 0, 0);
    std::array<TEntry, std::size_t{1} << kCodeLengthBits> code_length_table;
    if (!huffman::BuildTable(code_length_lengths, code_length_symbols, kCodeLengthBits, code_length_table))
        return false;

    // Literal/length and distance lengths form one sequence: a repeat may cross from one into the other.
    std::array<std::uint8_t, 286 + 32> lengths{};
    const unsigned total = litlen_count + distance_count;
    for (unsigned i = 0; i < total;) {
        Need(kCodeLengthBits + 7);
        const TEntry entry = code_length_table[bits_.Peek() & ((1u << kCodeLengthBits) - 1)];
        bits_.Drop(huffman::DropBits(entry));
        if (entry & huffman::kInvalid) return false;
        const unsigned symbol = huffman::EntryValue(entry);
        if (symbol < 16) {
            lengths[i++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        std::uint8_t value = 0;
        unsigned repeat;
        if (symbol == 16) {
            if (i == 0) return false;
            value = lengths[i - 1];
            repeat = 3 + bits_.Take(2);
        } else if (symbol == 17) {
            repeat = 3 + bits_.Take(3);
        } else {
            repeat = 11 + bits_.Take(7);
        }
        if (repeat > total - i) return false;
        std::fill_n(lengths.begin() + i, repeat, value);
        i += repeat;
    }
    if (bits_.Overconsumed()) return false;  // the caller tells truncation apart
    if (lengths[256] == 0) return false;     // no end-of-block code: the block could never end

    if (!huffman::BuildTable(std::span(lengths).first(litlen_count), symbols_.litlen, kLitLenBits, *litlen_) ||
        !huffman::BuildTable(std::span(lengths).subspan(litlen_count, distance_count), symbols_.distance,
                             kDistanceBits, *distance_))
        return false;
    litlen_table_ = litlen_->data();
    distance_table_ = distance_->data();
    return true;
}

TDecodeResult TInflater::Run() {
    bool final_block = false;
    while (!final_block) {
        Need(3);
        final_block = bits_.Take(1) != 0;
        const unsigned type = bits_.Take(2);
        TDecodeResult result;
        if (type == 0) {
            result = StoredBlock();
        } else if (type == 1) {
            UseFixedTables();
            result = HuffmanBlock();
        } else if (type == 2) {
            result = ReadDynamicTables() ? HuffmanBlock() : Failed(TDecodeResult::drDataError);
        } else {
            result = Failed(TDecodeResult::drDataError);
        }
        // What was decoded before the data ran out is handed on, as gzip does: a reader of a stream cut
        // short (a TAR in a .tar.gz) keeps what came before the cut.
        if (result == TDecodeResult::drTruncated && !Flush()) return TDecodeResult::drStopped;
        if (result != TDecodeResult::drOk) return result;
    }
    return Flush() ? TDecodeResult::drOk : TDecodeResult::drStopped;
}

}  // namespace

TDecodeResult Inflate(TByteSource& source, TByteSink& sink, bool deflate64, std::size_t* unread_input) {
    TInflater inflater(source, sink, deflate64);
    const TDecodeResult result = inflater.Run();
    if (unread_input != nullptr) *unread_input = result == TDecodeResult::drOk ? inflater.UnreadInput() : 0;
    return result;
}

}  // namespace kv
