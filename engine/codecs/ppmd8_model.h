#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

namespace kv {

// The context model of PPMd variant I revision 1: contexts of up to `max_order` symbols, each with the
// symbols seen after it and their counts, kept in one block of memory with its own unit allocator.
// Encoder and decoder must make the same model from the same symbols, allocations included, since when
// the memory fills the model restarts or is cut down: every step below follows Shkarin's description.
//
// Places in the block are 32-bit offsets ("refs"), 0 meaning none. A state (6 bytes) is a symbol, its
// count and its successor (the next context, or a place in the text area); a context (12 bytes) is its
// number of states less one, flags, the sum of its counts (or its only state) and its states' ref, and
// the ref of its suffix (the context one symbol shorter).
class TPpmd8Model {
public:
    enum class TRestore { rsRestart, rsCutOff };
    static constexpr unsigned kIntBits = 7;
    static constexpr unsigned kPeriodBits = 7;
    static constexpr unsigned kMinOrder = 2;
    static constexpr unsigned kMaxOrder = 16;

    // Secondary escape estimation: an adaptive escape count per context class.
    struct TSee {
        std::uint16_t Summ = 0;
        std::uint8_t Shift = 0;
        std::uint8_t Count = 0;
        std::uint32_t Mean() {
            const std::uint32_t r = Summ >> Shift;
            Summ = static_cast<std::uint16_t>(Summ - r);
            return r + (r == 0);
        }
        void Update() {
            if (Shift < kPeriodBits && --Count == 0) {
                Summ = static_cast<std::uint16_t>(Summ << 1);
                Count = static_cast<std::uint8_t>(3u << Shift++);
            }
        }
    };

    // The memory is taken once; Init starts a model in it, as often as wanted.
    explicit TPpmd8Model(std::uint32_t memory_size);
    void Init(unsigned max_order, TRestore restore);
    std::uint32_t Size() const { return size_; }

    // The decoder's view of the current context.
    std::uint32_t MinContext() const { return min_context_; }
    unsigned NumStats(std::uint32_t context) const { return heap_[context]; }
    std::uint16_t SummFreq(std::uint32_t context) const { return Load16(context + 2); }
    std::uint32_t Stats(std::uint32_t context) const { return Load32(context + 4); }
    std::uint32_t Suffix(std::uint32_t context) const { return Load32(context + 8); }
    static std::uint32_t OneState(std::uint32_t context) { return context + 2; }
    std::uint8_t Symbol(std::uint32_t state) const { return heap_[state]; }
    std::uint8_t Freq(std::uint32_t state) const { return heap_[state + 1]; }
    // A state's bytes (symbol, then count) and back: scans over many states walk the bytes directly.
    const std::uint8_t* StateBytes(std::uint32_t state) const { return heap_ + state; }
    std::uint32_t StateOf(const std::uint8_t* bytes) const { return static_cast<std::uint32_t>(bytes - heap_); }
    static constexpr std::uint32_t kStateSize = 6;

    // The probability of the binary context's symbol, and what follows its outcome.
    std::uint16_t& BinSumm();
    void UpdateBin();       // the binary context's symbol came
    void EscapeBin(std::uint16_t probability);  // it did not; `probability` is its updated value
    // A symbol of the current context came: the first (most probable) one, or another.
    void Update1_0(std::uint32_t state);
    void Update1(std::uint32_t state);
    // The symbols of the current context all failed: the escape count of the next one to try, where
    // `masked` symbols are already excluded. Sets the order fall and moves to the suffix; false when no
    // suffix is left (the end marker).
    bool EscapeToSuffix(unsigned masked);
    TSee& MakeEscFreq(unsigned masked, std::uint32_t& escape);
    // A symbol came from a context reached by escaping.
    void Update2(std::uint32_t state);
    // A symbol failed in a context with several: no success to count.
    void ClearSuccess() { prev_success_ = 0; }

private:
    static constexpr std::uint32_t kUnitSize = 12;
    static constexpr unsigned kNumIndexes = 38;
    static constexpr unsigned kMaxFreq = 124;
    static constexpr std::uint8_t kFlagRescaled = 0x04;
    static constexpr std::uint8_t kFlagPrevHigh = 0x10;
    static constexpr std::array<std::uint8_t, 16> kExpEscape = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};
    // Flag bit 3: a symbol of the context is 0x40 or above; bit 4: the symbol that led to it is.
    static std::uint8_t HighFlag3(unsigned symbol) { return symbol >= 0x40 ? 0x08 : 0; }
    static std::uint8_t HighFlag4(unsigned symbol) { return symbol >= 0x40 ? 0x10 : 0; }

    std::uint16_t Load16(std::uint32_t at) const {
        std::uint16_t value;
        std::memcpy(&value, heap_ + at, sizeof value);
        return value;
    }
    std::uint32_t Load32(std::uint32_t at) const {
        std::uint32_t value;
        std::memcpy(&value, heap_ + at, sizeof value);
        return value;
    }
    void Store16(std::uint32_t at, std::uint16_t value) { std::memcpy(heap_ + at, &value, sizeof value); }
    void Store32(std::uint32_t at, std::uint32_t value) { std::memcpy(heap_ + at, &value, sizeof value); }

    // Context and state fields.
    std::uint8_t& NumStatsRef(std::uint32_t context) { return heap_[context]; }
    std::uint8_t& Flags(std::uint32_t context) { return heap_[context + 1]; }
    void SetSummFreq(std::uint32_t context, unsigned value) { Store16(context + 2, static_cast<std::uint16_t>(value)); }
    void SetStats(std::uint32_t context, std::uint32_t stats) { Store32(context + 4, stats); }
    void SetSuffix(std::uint32_t context, std::uint32_t suffix) { Store32(context + 8, suffix); }
    std::uint8_t& SymbolRef(std::uint32_t state) { return heap_[state]; }
    std::uint8_t& FreqRef(std::uint32_t state) { return heap_[state + 1]; }
    std::uint32_t Successor(std::uint32_t state) const { return Load32(state + 2); }
    void SetSuccessor(std::uint32_t state, std::uint32_t successor) { Store32(state + 2, successor); }
    void CopyState(std::uint32_t to, std::uint32_t from) {
        // Through a copy held aside: the compiler then moves the six bytes itself instead of calling memmove.
        std::uint8_t held[kStateSize];
        std::memcpy(held, heap_ + from, kStateSize);
        std::memcpy(heap_ + to, held, kStateSize);
    }
    void SwapStates(std::uint32_t a, std::uint32_t b) {
        std::uint8_t held[kStateSize];
        std::memcpy(held, heap_ + a, kStateSize);
        std::memcpy(heap_ + a, heap_ + b, kStateSize);
        std::memcpy(heap_ + b, held, kStateSize);
    }
    void CopyUnits(std::uint32_t to, std::uint32_t from, unsigned units);
    // The state of `symbol` in a context with several; throws TPpmd8Damaged when it is not there.
    std::uint32_t FindState(std::uint32_t context, unsigned symbol) const {
        const std::uint8_t* at = StateBytes(Stats(context));
        for (const std::uint8_t* const end = at + (NumStats(context) + 1) * kStateSize; at != end; at += kStateSize)
            if (*at == symbol) return StateOf(at);
        Damaged();
    }
    [[noreturn]] static void Damaged();

    // The unit allocator: free blocks in lists by size class, each block a node (stamp, next, units).
    unsigned I2U(unsigned index) const { return indx2units_[index]; }
    unsigned U2I(unsigned units) const { return units2indx_[units - 1]; }
    static std::uint32_t U2B(unsigned units) { return units * kUnitSize; }
    void InsertNode(std::uint32_t node, unsigned index);
    std::uint32_t RemoveNode(unsigned index);
    void SplitBlock(std::uint32_t block, unsigned old_index, unsigned new_index);
    void GlueFreeBlocks();
    std::uint32_t AllocUnitsRare(unsigned index);
    std::uint32_t AllocUnits(unsigned index);
    std::uint32_t AllocContext();
    std::uint32_t ShrinkUnits(std::uint32_t block, unsigned old_units, unsigned new_units);
    void SpecialFreeUnit(std::uint32_t block);
    void ExpandTextArea();
    std::uint32_t UsedMemory() const;

    // Model maintenance.
    void RestartModel();
    void Refresh(std::uint32_t context, unsigned old_units, unsigned scale);
    void KeepOnlyState(std::uint32_t context, std::uint32_t stats);
    std::uint32_t CutOff(std::uint32_t context, unsigned order);
    void RestoreModel(std::uint32_t failed_context);
    std::uint32_t CreateSuccessors(bool skip, std::uint32_t s1, std::uint32_t context);
    std::uint32_t ReduceOrder(std::uint32_t s1, std::uint32_t context);
    void UpdateModel();
    void Rescale();
    void NextContext();

    std::unique_ptr<std::uint8_t[]> storage_;
    std::uint8_t* heap_ = nullptr;
    std::uint32_t size_ = 0;
    std::uint32_t text_start_ = 0;
    std::uint32_t lo_unit_ = 0, hi_unit_ = 0, text_ = 0, units_start_ = 0;
    std::uint32_t glue_count_ = 0;
    std::uint32_t min_context_ = 0, max_context_ = 0, found_state_ = 0;
    unsigned order_fall_ = 0, init_esc_ = 0, prev_success_ = 0, max_order_ = 0;
    TRestore restore_ = TRestore::rsRestart;
    std::int32_t run_length_ = 0, init_rl_ = 0;

    std::array<std::uint8_t, kNumIndexes> indx2units_{};
    std::array<std::uint8_t, 128> units2indx_{};
    std::array<std::uint32_t, kNumIndexes> free_list_{};
    std::array<std::uint32_t, kNumIndexes> stamps_{};
    std::array<std::uint8_t, 256> ns2bs_indx_{};
    std::array<std::uint8_t, 260> ns2indx_{};
    TSee dummy_see_;
    std::array<std::array<TSee, 32>, 24> see_{};
    std::array<std::array<std::uint16_t, 64>, 25> bin_summ_{};
};

// The steps taken for every symbol, here so that the decoder's loop has them at hand.

inline void TPpmd8Model::NextContext() {
    const std::uint32_t successor = Successor(found_state_);
    if (order_fall_ == 0 && successor >= units_start_) max_context_ = min_context_ = successor;
    else UpdateModel();
}

inline std::uint16_t& TPpmd8Model::BinSumm() {
    const std::uint32_t one = OneState(min_context_);
    return bin_summ_[ns2indx_[Freq(one) - 1u]]
                    [prev_success_ + ((run_length_ >> 26) & 0x20) + ns2bs_indx_[NumStats(Suffix(min_context_))] +
                     Flags(min_context_)];
}

inline void TPpmd8Model::UpdateBin() {
    found_state_ = OneState(min_context_);
    const unsigned freq = Freq(found_state_);
    FreqRef(found_state_) = static_cast<std::uint8_t>(freq + (freq < 196));
    prev_success_ = 1;
    ++run_length_;
    NextContext();
}

inline void TPpmd8Model::EscapeBin(std::uint16_t probability) {
    init_esc_ = kExpEscape[probability >> 10];
    prev_success_ = 0;
}

inline void TPpmd8Model::Update1_0(std::uint32_t state) {
    found_state_ = state;
    const unsigned freq = Freq(state);
    const unsigned summ = SummFreq(min_context_);
    prev_success_ = 2 * freq >= summ;
    run_length_ += static_cast<std::int32_t>(prev_success_);
    SetSummFreq(min_context_, summ + 4);
    FreqRef(state) = static_cast<std::uint8_t>(freq + 4);
    if (freq + 4 > kMaxFreq) Rescale();
    NextContext();
}

inline void TPpmd8Model::Update1(std::uint32_t state) {
    found_state_ = state;
    const unsigned freq = Freq(state) + 4u;
    SetSummFreq(min_context_, SummFreq(min_context_) + 4u);
    FreqRef(state) = static_cast<std::uint8_t>(freq);
    if (freq > Freq(state - kStateSize)) {
        SwapStates(state, state - kStateSize);
        found_state_ = state - kStateSize;
        if (freq > kMaxFreq) Rescale();
    }
    NextContext();
}

inline void TPpmd8Model::Update2(std::uint32_t state) {
    found_state_ = state;
    const unsigned freq = Freq(state) + 4u;
    run_length_ = init_rl_;
    SetSummFreq(min_context_, SummFreq(min_context_) + 4u);
    FreqRef(state) = static_cast<std::uint8_t>(freq);
    if (freq > kMaxFreq) Rescale();
    UpdateModel();
}

inline bool TPpmd8Model::EscapeToSuffix(unsigned masked) {
    do {
        ++order_fall_;
        if (Suffix(min_context_) == 0) return false;
        min_context_ = Suffix(min_context_);
    } while (NumStats(min_context_) == masked);
    return true;
}

inline TPpmd8Model::TSee& TPpmd8Model::MakeEscFreq(unsigned masked, std::uint32_t& escape) {
    const unsigned ns = NumStats(min_context_);
    if (ns == 0xFF) {
        escape = 1;
        return dummy_see_;
    }
    const unsigned column = (SummFreq(min_context_) > 11 * (ns + 1)) +
                            2 * (2 * ns < NumStats(Suffix(min_context_)) + masked) + Flags(min_context_);
    TSee& see = see_[ns2indx_[ns + 2] - 3u][column & 31];
    escape = see.Mean();
    return see;
}


}  // namespace kv
