#include "engine/codecs/lzh_dynamic.h"

#include <algorithm>
#include <array>
#include <memory>

#include "engine/codecs/lzh_output.h"
#include "engine/codecs/lzh_table.h"
#include "engine/codecs/msb_bit_reader.h"

namespace kv {
namespace {

constexpr unsigned kWindowBits = 12;
constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 60;
constexpr unsigned kSymbols = 256 + kMaxMatch - kMinMatch + 1;  // 314 literals and lengths
constexpr unsigned kNodes = 2 * kSymbols - 1;
constexpr unsigned kRoot = kNodes - 1;
constexpr std::uint16_t kMaxFrequency = 0x8000;  // the root's count at which all counts are halved
constexpr unsigned kPositionSymbols = 64;        // the upper 6 bits of a position
constexpr unsigned kPositionLowBits = 6;
constexpr std::uint8_t kInitialFill = ' ';

// The adaptive code: nodes ordered by count, the root last. A node's children are child_[node] (bit 0)
// and child_[node] + 1 (bit 1); a leaf's child_ is its symbol plus kNodes.
class TAdaptiveTree {
public:
    TAdaptiveTree() {
        for (unsigned i = 0; i < kSymbols; ++i) {
            count_[i] = 1;
            child_[i] = static_cast<std::uint16_t>(i + kNodes);
            parent_[i + kNodes] = static_cast<std::uint16_t>(i);
        }
        for (unsigned i = 0, j = kSymbols; j <= kRoot; i += 2, ++j) {
            count_[j] = count_[i] + count_[i + 1];
            child_[j] = static_cast<std::uint16_t>(i);
            parent_[i] = parent_[i + 1] = static_cast<std::uint16_t>(j);
        }
        count_[kNodes] = 0xFFFF;  // a guard above every count, which ends the search in Update
        parent_[kRoot] = 0;
    }

    unsigned Decode(TMsbBitReader& bits) {
        unsigned node = child_[kRoot];
        while (node < kNodes) node = child_[node + bits.Read(1)];
        const unsigned symbol = node - kNodes;
        Update(symbol);
        return symbol;
    }

private:
    // Counts the symbol and moves each node on its path up past the nodes its count now exceeds.
    void Update(unsigned symbol) {
        if (count_[kRoot] == kMaxFrequency) Rebuild();
        unsigned node = parent_[symbol + kNodes];
        do {
            const unsigned count = ++count_[node];
            unsigned swap = node + 1;
            if (count > count_[swap]) {
                while (count > count_[++swap]) {
                }
                --swap;
                count_[node] = count_[swap];
                count_[swap] = static_cast<std::uint16_t>(count);
                const unsigned moved = child_[node];
                parent_[moved] = static_cast<std::uint16_t>(swap);
                if (moved < kNodes) parent_[moved + 1] = static_cast<std::uint16_t>(swap);
                const unsigned other = child_[swap];
                child_[swap] = static_cast<std::uint16_t>(moved);
                parent_[other] = static_cast<std::uint16_t>(node);
                if (other < kNodes) parent_[other + 1] = static_cast<std::uint16_t>(node);
                child_[node] = static_cast<std::uint16_t>(other);
                node = swap;
            }
            node = parent_[node];
        } while (node != 0);
    }

    // Halves the leaves' counts and builds the tree again from them.
    void Rebuild() {
        unsigned leaves = 0;
        for (unsigned i = 0; i < kNodes; ++i) {
            if (child_[i] >= kNodes) {
                count_[leaves] = static_cast<std::uint16_t>((count_[i] + 1) / 2);
                child_[leaves] = child_[i];
                ++leaves;
            }
        }
        for (unsigned i = 0, j = kSymbols; j < kNodes; i += 2, ++j) {
            const unsigned count = count_[i] + count_[i + 1];
            unsigned at = j;
            while (count < count_[at - 1]) --at;
            std::copy_backward(count_.begin() + at, count_.begin() + j, count_.begin() + j + 1);
            std::copy_backward(child_.begin() + at, child_.begin() + j, child_.begin() + j + 1);
            count_[at] = static_cast<std::uint16_t>(count);
            child_[at] = static_cast<std::uint16_t>(i);
        }
        for (unsigned i = 0; i < kNodes; ++i) {
            const unsigned child = child_[i];
            parent_[child] = static_cast<std::uint16_t>(i);
            if (child < kNodes) parent_[child + 1] = static_cast<std::uint16_t>(i);
        }
    }

    std::array<std::uint16_t, kNodes + 1> count_{};
    std::array<std::uint16_t, kNodes> child_{};
    std::array<std::uint16_t, kNodes + kSymbols> parent_{};  // of nodes, then of leaves by symbol
};

// The fixed code of a position's upper 6 bits: 1 code of 3 bits, 3 of 4, 8 of 5, 12 of 6, 24 of 7, 16 of 8.
const TLzhTable& PositionCode() {
    static const TLzhTable table = [] {
        std::array<std::uint8_t, kPositionSymbols> lengths{};
        constexpr std::array<std::pair<unsigned, std::uint8_t>, 6> kRuns{{{1, 3}, {3, 4}, {8, 5}, {12, 6}, {24, 7}, {16, 8}}};
        unsigned symbol = 0;
        for (const auto& [count, length] : kRuns) {
            for (unsigned i = 0; i < count; ++i) lengths[symbol++] = length;
        }
        TLzhTable code(kPositionSymbols, 8);
        code.Build(lengths);
        return code;
    }();
    return table;
}

}  // namespace

TDecodeResult UnLzhDynamic(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size) {
    if (unpacked_size == 0) return TDecodeResult::drOk;
    TMsbBitReader bits(source);
    TLzhOutput output(sink, unpacked_size, std::size_t{1} << kWindowBits, kInitialFill);
    const auto tree = std::make_unique<TAdaptiveTree>();
    const TLzhTable& positions = PositionCode();
    while (!output.Full()) {
        bits.Fill();
        const unsigned symbol = tree->Decode(bits);
        if (symbol < 256) {
            output.Put(static_cast<std::uint8_t>(symbol));
        } else {
            bits.Fill();
            const unsigned high = positions.Decode(bits);
            const std::size_t distance = (high << kPositionLowBits | bits.Read(kPositionLowBits)) + 1;
            output.Copy(distance, symbol - 256 + kMinMatch);
        }
        if (bits.Overrun()) return TDecodeResult::drTruncated;
        if (!output.Flush(false)) return TDecodeResult::drStopped;
    }
    return output.Flush(true) ? TDecodeResult::drOk : TDecodeResult::drStopped;
}

}  // namespace kv
