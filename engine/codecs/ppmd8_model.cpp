#include "engine/codecs/ppmd8_model.h"

#include <algorithm>
#include <cstring>

#include "engine/codecs/ppmd8_damaged.h"

namespace kv {
namespace {

constexpr unsigned kBinScale = 1u << (TPpmd8Model::kIntBits + TPpmd8Model::kPeriodBits);
constexpr std::uint32_t kEmptyNode = 0xFFFFFFFFu;
// How many cut-down contexts of order up to this keep an empty successor rather than going.
constexpr unsigned kKeepOrder = 9;
constexpr std::array<std::uint16_t, 8> kInitBinEscape = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3,
                                                         0x64A1, 0x5ABC, 0x6632, 0x6051};


}  // namespace

TPpmd8Model::TPpmd8Model(std::uint32_t memory_size) : size_(memory_size) {
    // One spare unit before the text area keeps every real place away from ref 0, one after it keeps a
    // read of a whole unit inside the block.
    text_start_ = kUnitSize;
    storage_ = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t{size_} + 2 * kUnitSize);
    heap_ = storage_.get();
    std::memset(heap_, 0, kUnitSize);
    std::memset(heap_ + text_start_ + size_, 0, kUnitSize);

    for (unsigned i = 0, k = 0; i < kNumIndexes; ++i) {
        unsigned step = i >= 12 ? 4 : (i >> 2) + 1;
        while (step-- > 0) units2indx_[k++] = static_cast<std::uint8_t>(i);
        indx2units_[i] = static_cast<std::uint8_t>(k);
    }
    ns2bs_indx_[0] = 0;
    ns2bs_indx_[1] = 2;
    std::fill(ns2bs_indx_.begin() + 2, ns2bs_indx_.begin() + 11, 4);
    std::fill(ns2bs_indx_.begin() + 11, ns2bs_indx_.end(), 6);
    unsigned i = 0;
    for (; i < 5; ++i) ns2indx_[i] = static_cast<std::uint8_t>(i);
    for (unsigned m = i, k = 1; i < ns2indx_.size(); ++i) {
        ns2indx_[i] = static_cast<std::uint8_t>(m);
        if (--k == 0) k = ++m - 4;
    }
}

void TPpmd8Model::Init(unsigned max_order, TRestore restore) {
    max_order_ = max_order;
    restore_ = restore;
    RestartModel();
}

void TPpmd8Model::CopyUnits(std::uint32_t to, std::uint32_t from, unsigned units) {
    std::memmove(heap_ + to, heap_ + from, U2B(units));
}

void TPpmd8Model::Damaged() {
    // Every symbol of a context is in its suffix too; one missing means the model is not what it must be.
    throw TPpmd8Damaged();
}

// ---- the unit allocator ----

void TPpmd8Model::InsertNode(std::uint32_t node, unsigned index) {
    Store32(node, kEmptyNode);
    Store32(node + 4, free_list_[index]);
    Store32(node + 8, I2U(index));
    free_list_[index] = node;
    ++stamps_[index];
}

std::uint32_t TPpmd8Model::RemoveNode(unsigned index) {
    const std::uint32_t node = free_list_[index];
    free_list_[index] = Load32(node + 4);
    --stamps_[index];
    return node;
}

void TPpmd8Model::SplitBlock(std::uint32_t block, unsigned old_index, unsigned new_index) {
    const unsigned rest = I2U(old_index) - I2U(new_index);
    block += U2B(I2U(new_index));
    unsigned index = U2I(rest);
    if (I2U(index) != rest) {
        const unsigned head = I2U(--index);
        InsertNode(block + U2B(head), rest - head - 1);
    }
    InsertNode(block, index);
}

void TPpmd8Model::GlueFreeBlocks() {
    glue_count_ = 1u << 13;
    stamps_.fill(0);
    // A guard at LoUnit stops a free block below it from swallowing the unused gap; the top unit always
    // holds the order-0 context, so no guard is needed at the end.
    if (lo_unit_ != hi_unit_) Store32(lo_unit_, 0);

    // Every free block in one chain, each swallowing the free blocks that follow it in memory.
    std::uint32_t head = 0;
    std::uint32_t link_from = 0;  // the node whose next field links the chain on; 0: the head
    const auto link = [&](std::uint32_t next) {
        if (link_from == 0) head = next;
        else Store32(link_from + 4, next);
    };
    for (unsigned i = 0; i < kNumIndexes; ++i) {
        std::uint32_t next = free_list_[i];
        free_list_[i] = 0;
        while (next != 0) {
            const std::uint32_t node = next;
            std::uint32_t units = Load32(node + 8);
            link(next);
            next = Load32(node + 4);
            if (units == 0) continue;
            link_from = node;
            for (std::uint32_t after; Load32(after = node + U2B(units)) == kEmptyNode;) {
                units += Load32(after + 8);
                Store32(after + 8, 0);
                Store32(node + 8, units);
            }
        }
    }
    link(0);

    // The chain back into the lists, large blocks cut into the largest class.
    while (head != 0) {
        std::uint32_t node = head;
        head = Load32(node + 4);
        unsigned units = Load32(node + 8);
        if (units == 0) continue;
        for (; units > 128; units -= 128, node += U2B(128)) InsertNode(node, kNumIndexes - 1);
        unsigned index = U2I(units);
        if (I2U(index) != units) {
            const unsigned first = I2U(--index);
            InsertNode(node + U2B(first), units - first - 1);
        }
        InsertNode(node, index);
    }
}

std::uint32_t TPpmd8Model::AllocUnitsRare(unsigned index) {
    if (glue_count_ == 0) {
        GlueFreeBlocks();
        if (free_list_[index] != 0) return RemoveNode(index);
    }
    unsigned larger = index;
    do {
        if (++larger == kNumIndexes) {
            // No larger block is free: take the units from the top of the text area.
            const std::uint32_t bytes = U2B(I2U(index));
            --glue_count_;
            if (units_start_ - text_ > bytes) return units_start_ -= bytes;
            return 0;
        }
    } while (free_list_[larger] == 0);
    const std::uint32_t block = RemoveNode(larger);
    SplitBlock(block, larger, index);
    return block;
}

std::uint32_t TPpmd8Model::AllocUnits(unsigned index) {
    if (free_list_[index] != 0) return RemoveNode(index);
    const std::uint32_t bytes = U2B(I2U(index));
    if (hi_unit_ - lo_unit_ >= bytes) {
        const std::uint32_t block = lo_unit_;
        lo_unit_ += bytes;
        return block;
    }
    return AllocUnitsRare(index);
}

std::uint32_t TPpmd8Model::AllocContext() {
    if (hi_unit_ != lo_unit_) return hi_unit_ -= kUnitSize;
    if (free_list_[0] != 0) return RemoveNode(0);
    return AllocUnitsRare(0);
}

std::uint32_t TPpmd8Model::ShrinkUnits(std::uint32_t block, unsigned old_units, unsigned new_units) {
    const unsigned old_index = U2I(old_units);
    const unsigned new_index = U2I(new_units);
    if (old_index == new_index) return block;
    if (free_list_[new_index] != 0) {
        const std::uint32_t moved = RemoveNode(new_index);
        CopyUnits(moved, block, new_units);
        InsertNode(block, old_index);
        return moved;
    }
    SplitBlock(block, old_index, new_index);
    return block;
}

void TPpmd8Model::SpecialFreeUnit(std::uint32_t block) {
    if (block != units_start_) InsertNode(block, 0);
    else units_start_ += kUnitSize;
}

void TPpmd8Model::ExpandTextArea() {
    std::array<std::uint32_t, kNumIndexes> count{};
    if (lo_unit_ != hi_unit_) Store32(lo_unit_, 0);
    // Free blocks at the bottom of the units give their room back to the text; they are marked, then
    // taken out of their lists.
    std::uint32_t node = units_start_;
    while (Load32(node) == kEmptyNode) {
        const std::uint32_t units = Load32(node + 8);
        Store32(node, 0);
        ++count[U2I(units)];
        node += U2B(units);
    }
    units_start_ = node;
    for (unsigned i = 0; i < kNumIndexes; ++i) {
        std::uint32_t left = count[i];
        if (left == 0) continue;
        stamps_[i] -= left;
        std::uint32_t link_from = 0;  // 0: the list's head
        for (std::uint32_t next = free_list_[i];;) {
            const std::uint32_t at = next;
            next = Load32(at + 4);
            if (Load32(at) != 0) {
                link_from = at;
                continue;
            }
            if (link_from == 0) free_list_[i] = next;
            else Store32(link_from + 4, next);
            if (--left == 0) break;
        }
    }
}

std::uint32_t TPpmd8Model::UsedMemory() const {
    std::uint32_t free_units = 0;
    for (unsigned i = 0; i < kNumIndexes; ++i) free_units += stamps_[i] * I2U(i);
    return size_ - (hi_unit_ - lo_unit_) - (units_start_ - text_) - U2B(free_units);
}

// ---- the model ----

void TPpmd8Model::RestartModel() {
    free_list_.fill(0);
    stamps_.fill(0);
    text_ = text_start_;
    hi_unit_ = text_ + size_;
    lo_unit_ = units_start_ = hi_unit_ - size_ / 8 / kUnitSize * 7 * kUnitSize;
    glue_count_ = 0;
    order_fall_ = max_order_;
    run_length_ = init_rl_ = -static_cast<std::int32_t>(std::min(max_order_, 12u)) - 1;
    prev_success_ = 0;

    // The order-0 context with every symbol once.
    hi_unit_ -= kUnitSize;
    const std::uint32_t root = hi_unit_;
    const std::uint32_t stats = lo_unit_;
    lo_unit_ += U2B(256 / 2);
    max_context_ = min_context_ = root;
    found_state_ = stats;
    NumStatsRef(root) = 255;
    Flags(root) = 0;
    SetSummFreq(root, 256 + 1);
    SetStats(root, stats);
    SetSuffix(root, 0);
    for (unsigned symbol = 0; symbol < 256; ++symbol) {
        const std::uint32_t state = stats + symbol * kStateSize;
        SymbolRef(state) = static_cast<std::uint8_t>(symbol);
        FreqRef(state) = 1;
        SetSuccessor(state, 0);
    }

    for (unsigned i = 0, m = 0; m < 25; ++m) {
        while (ns2indx_[i] == m) ++i;
        for (unsigned k = 0; k < 8; ++k) {
            const auto value = static_cast<std::uint16_t>(kBinScale - kInitBinEscape[k] / (i + 1));
            for (unsigned r = 0; r < 64; r += 8) bin_summ_[m][k + r] = value;
        }
    }
    for (unsigned i = 0, m = 0; m < 24; ++m) {
        while (ns2indx_[i + 3] == m + 3) ++i;
        for (TSee& see : see_[m]) {
            see.Shift = kPeriodBits - 4;
            see.Summ = static_cast<std::uint16_t>((2 * i + 5) << see.Shift);
            see.Count = 7;
        }
    }
    dummy_see_.Summ = 0;
    dummy_see_.Shift = kPeriodBits;
    dummy_see_.Count = 64;
}

void TPpmd8Model::Refresh(std::uint32_t context, unsigned old_units, unsigned scale) {
    unsigned left = NumStats(context);
    std::uint32_t state = ShrinkUnits(Stats(context), old_units, (left + 2) >> 1);
    SetStats(context, state);
    scale |= SummFreq(context) >= (1u << 15);
    unsigned high = Symbol(state) + 0xC0;
    unsigned freq = Freq(state);
    unsigned escape = SummFreq(context) - freq;
    freq = (freq + scale) >> scale;
    unsigned sum = freq;
    FreqRef(state) = static_cast<std::uint8_t>(freq);
    do {
        state += kStateSize;
        freq = Freq(state);
        escape -= freq;
        freq = (freq + scale) >> scale;
        sum += freq;
        FreqRef(state) = static_cast<std::uint8_t>(freq);
        high |= Symbol(state) + 0xC0;
    } while (--left);
    SetSummFreq(context, sum + ((escape + scale) >> scale));
    Flags(context) = static_cast<std::uint8_t>((Flags(context) & (kFlagPrevHigh + kFlagRescaled * scale)) +
                                               ((high >> 5) & 0x08));
}

// A context left with one symbol keeps it in its own record; `stats` was its list of states.
void TPpmd8Model::KeepOnlyState(std::uint32_t context, std::uint32_t stats) {
    const std::uint8_t symbol = Symbol(stats);
    const auto freq = static_cast<std::uint8_t>((Freq(stats) + 11u) >> 3);
    const std::uint32_t successor = Successor(stats);
    Flags(context) = static_cast<std::uint8_t>((Flags(context) & kFlagPrevHigh) + HighFlag3(symbol));
    const std::uint32_t one = OneState(context);
    SymbolRef(one) = symbol;
    FreqRef(one) = freq;
    SetSuccessor(one, successor);
}

// Keeps the part of the tree under `context` that is still reachable through contexts, freeing the rest.
std::uint32_t TPpmd8Model::CutOff(std::uint32_t context, unsigned order) {
    int count = NumStats(context);
    if (count == 0) {
        const std::uint32_t state = OneState(context);
        std::uint32_t successor = Successor(state);
        if (successor >= units_start_) {
            successor = order < max_order_ ? CutOff(successor, order + 1) : 0;
            SetSuccessor(state, successor);
            if (successor != 0 || order <= kKeepOrder) return context;
        }
        SpecialFreeUnit(context);
        return 0;
    }

    const unsigned units = (static_cast<unsigned>(count) + 2) >> 1;
    std::uint32_t stats = Stats(context);
    // States lying low are moved up into a free block, so that the text area can grow into their place.
    const unsigned index = U2I(units);
    if (stats - units_start_ <= (1u << 14) && stats <= free_list_[index]) {
        const std::uint32_t moved = RemoveNode(index);
        SetStats(context, moved);
        CopyUnits(moved, stats, units);
        if (stats != units_start_) InsertNode(stats, index);
        else units_start_ += U2B(I2U(index));
        stats = moved;
    }

    for (int at = count; at >= 0; --at) {
        const std::uint32_t state = stats + static_cast<std::uint32_t>(at) * kStateSize;
        const std::uint32_t successor = Successor(state);
        if (successor < units_start_) {
            const std::uint32_t last = stats + static_cast<std::uint32_t>(count--) * kStateSize;
            if (order != 0) {
                if (state != last) CopyState(state, last);
            } else {
                SwapStates(state, last);
                SetSuccessor(last, 0);
            }
        } else {
            SetSuccessor(state, order < max_order_ ? CutOff(successor, order + 1) : 0);
        }
    }

    if (count != static_cast<int>(NumStats(context)) && order != 0) {
        if (count < 0) {
            InsertNode(stats, U2I(units));
            SpecialFreeUnit(context);
            return 0;
        }
        NumStatsRef(context) = static_cast<std::uint8_t>(count);
        if (count == 0) {
            KeepOnlyState(context, stats);
            InsertNode(stats, U2I(units));
        } else {
            Refresh(context, units, SummFreq(context) > 16u * static_cast<unsigned>(count));
        }
    }
    return context;
}

// The memory ran out while `failed` and its longer contexts were being given a new symbol.
void TPpmd8Model::RestoreModel(std::uint32_t failed) {
    text_ = text_start_;
    std::uint32_t context = max_context_;
    // Contexts that already took the symbol give it back.
    for (; context != failed; context = Suffix(context)) {
        if (--NumStatsRef(context) == 0) {
            const std::uint32_t stats = Stats(context);
            KeepOnlyState(context, stats);
            SpecialFreeUnit(stats);
        } else {
            Refresh(context, (NumStats(context) + 3u) >> 1, 0);
        }
    }
    // The others count one more escape.
    for (; context != min_context_; context = Suffix(context)) {
        if (NumStats(context) == 0) {
            const std::uint32_t one = OneState(context);
            FreqRef(one) = static_cast<std::uint8_t>((Freq(one) + 1u) >> 1);
        } else {
            const auto summ = static_cast<std::uint16_t>(SummFreq(context) + 4);
            SetSummFreq(context, summ);
            if (summ > 128u + 4u * NumStats(context)) Refresh(context, (NumStats(context) + 2u) >> 1, 1);
        }
    }
    if (restore_ == TRestore::rsRestart || UsedMemory() < (size_ >> 1)) {
        RestartModel();
    } else {
        while (Suffix(max_context_) != 0) max_context_ = Suffix(max_context_);
        do {
            CutOff(max_context_, 0);
            ExpandTextArea();
        } while (UsedMemory() > 3 * (size_ >> 2));
        glue_count_ = 0;
        order_fall_ = max_order_;
    }
    min_context_ = max_context_;
}

std::uint32_t TPpmd8Model::CreateSuccessors(bool skip, std::uint32_t s1, std::uint32_t context) {
    std::uint32_t up_branch = Successor(found_state_);
    std::array<std::uint32_t, kMaxOrder + 1> pending;  // filled up to count
    unsigned count = 0;
    const auto push = [&](std::uint32_t state) {
        if (count == pending.size()) Damaged();
        pending[count++] = state;
    };
    if (!skip) push(found_state_);
    const unsigned found_symbol = Symbol(found_state_);
    while (Suffix(context) != 0) {
        context = Suffix(context);
        std::uint32_t state;
        if (s1 != 0) {
            state = s1;
            s1 = 0;
        } else if (NumStats(context) != 0) {
            state = FindState(context, found_symbol);
            if (Freq(state) < kMaxFreq - 9) {
                ++FreqRef(state);
                SetSummFreq(context, SummFreq(context) + 1u);
            }
        } else {
            state = OneState(context);
            FreqRef(state) = static_cast<std::uint8_t>(Freq(state) + (NumStats(Suffix(context)) == 0 && Freq(state) < 24));
        }
        const std::uint32_t successor = Successor(state);
        if (successor != up_branch) {
            context = successor;
            if (count == 0) return context;
            break;
        }
        push(state);
    }

    const std::uint8_t new_symbol = heap_[up_branch++];
    const auto flags = static_cast<std::uint8_t>(HighFlag4(found_symbol) + HighFlag3(new_symbol));
    unsigned new_freq;
    if (NumStats(context) == 0) {
        new_freq = Freq(OneState(context));
    } else {
        const std::uint32_t state = FindState(context, new_symbol);
        const std::uint32_t cf = Freq(state) - 1u;
        const std::uint32_t s0 = SummFreq(context) - NumStats(context) - cf;
        if (s0 == 0) Damaged();
        new_freq = 1 + ((2 * cf <= s0) ? (5 * cf > s0) : ((cf + 2 * s0 - 3) / s0));
    }
    do {
        const std::uint32_t made = AllocContext();
        if (made == 0) return 0;
        Flags(made) = flags;
        NumStatsRef(made) = 0;
        const std::uint32_t one = OneState(made);
        SymbolRef(one) = new_symbol;
        FreqRef(one) = static_cast<std::uint8_t>(new_freq);
        SetSuccessor(one, up_branch);
        SetSuffix(made, context);
        SetSuccessor(pending[--count], made);
        context = made;
    } while (count != 0);
    return context;
}

std::uint32_t TPpmd8Model::ReduceOrder(std::uint32_t s1, std::uint32_t context) {
    const std::uint32_t start = context;
    const std::uint32_t up_branch = text_;
    const unsigned found_symbol = Symbol(found_state_);
    SetSuccessor(found_state_, up_branch);
    ++order_fall_;
    std::uint32_t state = 0;
    for (;;) {
        if (s1 != 0) {
            context = Suffix(context);
            state = s1;
            s1 = 0;
        } else {
            if (Suffix(context) == 0) return context;
            context = Suffix(context);
            if (NumStats(context) != 0) {
                state = FindState(context, found_symbol);
                if (Freq(state) < kMaxFreq - 9) {
                    FreqRef(state) = static_cast<std::uint8_t>(Freq(state) + 2);
                    SetSummFreq(context, SummFreq(context) + 2u);
                }
            } else {
                state = OneState(context);
                FreqRef(state) = static_cast<std::uint8_t>(Freq(state) + (Freq(state) < 32));
            }
        }
        if (Successor(state) != 0) break;
        SetSuccessor(state, up_branch);
        ++order_fall_;
    }
    if (Successor(state) <= up_branch) {
        const std::uint32_t kept = found_state_;
        found_state_ = state;
        SetSuccessor(state, CreateSuccessors(false, 0, context));
        found_state_ = kept;
    }
    const std::uint32_t successor = Successor(state);
    if (order_fall_ == 1 && start == max_context_) {
        SetSuccessor(found_state_, successor);
        --text_;
    }
    return successor;
}

void TPpmd8Model::UpdateModel() {
    std::uint32_t min_successor = Successor(found_state_);
    const unsigned found_freq = Freq(found_state_);
    const std::uint8_t found_symbol = Symbol(found_state_);
    std::uint32_t suffix_state = 0;
    if (found_freq < kMaxFreq / 4 && Suffix(min_context_) != 0) {
        // The symbol gains in the suffix context too.
        const std::uint32_t context = Suffix(min_context_);
        if (NumStats(context) == 0) {
            suffix_state = OneState(context);
            if (Freq(suffix_state) < 32) ++FreqRef(suffix_state);
        } else {
            suffix_state = Stats(context);
            if (Symbol(suffix_state) != found_symbol) {
                suffix_state = FindState(context, found_symbol);
                if (Freq(suffix_state) >= Freq(suffix_state - kStateSize)) {
                    SwapStates(suffix_state, suffix_state - kStateSize);
                    suffix_state -= kStateSize;
                }
            }
            if (Freq(suffix_state) < kMaxFreq - 9) {
                FreqRef(suffix_state) = static_cast<std::uint8_t>(Freq(suffix_state) + 2);
                SetSummFreq(context, SummFreq(context) + 2u);
            }
        }
    }

    std::uint32_t context = max_context_;
    if (order_fall_ == 0 && min_successor != 0) {
        const std::uint32_t made = CreateSuccessors(true, suffix_state, min_context_);
        if (made == 0) {
            SetSuccessor(found_state_, 0);
            RestoreModel(context);
            return;
        }
        SetSuccessor(found_state_, made);
        min_context_ = max_context_ = made;
        return;
    }

    heap_[text_++] = found_symbol;
    if (text_ >= units_start_) {
        RestoreModel(context);
        return;
    }
    std::uint32_t max_successor = text_;
    if (min_successor == 0) {
        const std::uint32_t reduced = ReduceOrder(suffix_state, min_context_);
        if (reduced == 0) {
            RestoreModel(context);
            return;
        }
        min_successor = reduced;
    } else if (min_successor < units_start_) {
        const std::uint32_t made = CreateSuccessors(false, suffix_state, min_context_);
        if (made == 0) {
            RestoreModel(context);
            return;
        }
        min_successor = made;
    }
    if (--order_fall_ == 0) {
        max_successor = min_successor;
        text_ -= (max_context_ != min_context_);
    }

    // Every longer context from the longest down to the current one learns the symbol.
    const std::uint8_t flag = HighFlag3(found_symbol);
    const unsigned ns = NumStats(min_context_);
    const std::uint32_t s0 = SummFreq(min_context_) - ns - found_freq;
    for (; context != min_context_; context = Suffix(context)) {
        const unsigned ns1 = NumStats(context);
        std::uint32_t sum;
        if (ns1 != 0) {
            if ((ns1 & 1) != 0) {
                // The states fill their units: one more unit.
                const unsigned old_units = (ns1 + 1) >> 1;
                const unsigned index = U2I(old_units);
                if (index != U2I(old_units + 1)) {
                    const std::uint32_t grown = AllocUnits(index + 1);
                    if (grown == 0) {
                        RestoreModel(context);
                        return;
                    }
                    const std::uint32_t old = Stats(context);
                    CopyUnits(grown, old, old_units);
                    InsertNode(old, index);
                    SetStats(context, grown);
                }
            }
            sum = SummFreq(context);
            sum += (3 * ns1 + 1 < ns);
        } else {
            const std::uint32_t state = AllocUnits(0);
            if (state == 0) {
                RestoreModel(context);
                return;
            }
            const std::uint32_t one = OneState(context);
            unsigned freq = Freq(one);
            SymbolRef(state) = Symbol(one);
            SetSuccessor(state, Successor(one));
            SetStats(context, state);
            freq = freq < kMaxFreq / 4 - 1 ? freq << 1 : kMaxFreq - 4;
            FreqRef(state) = static_cast<std::uint8_t>(freq);
            sum = freq + init_esc_ + (ns > 2);
        }
        const std::uint32_t state = Stats(context) + (ns1 + 1) * kStateSize;
        std::uint32_t cf = 2 * (sum + 6) * found_freq;
        const std::uint32_t sf = s0 + sum;
        SymbolRef(state) = found_symbol;
        NumStatsRef(context) = static_cast<std::uint8_t>(ns1 + 1);
        SetSuccessor(state, max_successor);
        Flags(context) |= flag;
        if (cf < 6 * sf) {
            cf = 1 + (cf > sf) + (cf >= 4 * sf);
            sum += 4;
        } else {
            cf = 4 + (cf > 9 * sf) + (cf > 12 * sf) + (cf > 15 * sf);
            sum += cf;
        }
        SetSummFreq(context, sum);
        FreqRef(state) = static_cast<std::uint8_t>(cf);
    }
    max_context_ = min_context_ = min_successor;
}

void TPpmd8Model::Rescale() {
    const std::uint32_t stats = Stats(min_context_);
    std::uint32_t state = found_state_;
    // The found state moves to the front.
    if (state != stats) {
        std::uint8_t held[kStateSize];
        std::memcpy(held, heap_ + state, kStateSize);
        for (; state != stats; state -= kStateSize) CopyState(state, state - kStateSize);
        std::memcpy(heap_ + state, held, kStateSize);
    }
    unsigned escape = SummFreq(min_context_) - Freq(state);
    const unsigned adder = order_fall_ != 0;
    unsigned sum = (Freq(state) + 4 + adder) >> 1;
    FreqRef(state) = static_cast<std::uint8_t>(sum);
    for (unsigned left = NumStats(min_context_); left > 0; --left) {
        state += kStateSize;
        unsigned freq = Freq(state);
        escape -= freq;
        freq = (freq + adder) >> 1;
        sum += freq;
        FreqRef(state) = static_cast<std::uint8_t>(freq);
        if (freq > Freq(state - kStateSize)) {
            // Kept sorted by count, largest first.
            std::uint8_t held[kStateSize];
            std::memcpy(held, heap_ + state, kStateSize);
            std::uint32_t to = state;
            do {
                CopyState(to, to - kStateSize);
                to -= kStateSize;
            } while (to != stats && freq > Freq(to - kStateSize));
            std::memcpy(heap_ + to, held, kStateSize);
        }
    }

    if (Freq(state) == 0) {
        // States whose count fell to 0 go.
        unsigned gone = 0;
        do {
            ++gone;
            state -= kStateSize;
        } while (Freq(state) == 0);
        escape += gone;
        const std::uint32_t context = min_context_;
        const unsigned count = NumStats(context);
        const unsigned left = count - gone;
        NumStatsRef(context) = static_cast<std::uint8_t>(left);
        const unsigned old_units = (count + 2) >> 1;
        if (left == 0) {
            const unsigned freq = std::min((2 * Freq(stats) + escape - 1) / escape, kMaxFreq / 3);
            Flags(context) = static_cast<std::uint8_t>((Flags(context) & kFlagPrevHigh) + HighFlag3(Symbol(stats)));
            const std::uint32_t one = OneState(context);
            CopyState(one, stats);
            FreqRef(one) = static_cast<std::uint8_t>(freq);
            found_state_ = one;
            InsertNode(stats, U2I(old_units));
            return;
        }
        const unsigned new_units = (left + 2) >> 1;
        if (old_units != new_units) SetStats(context, ShrinkUnits(stats, old_units, new_units));
    }
    SetSummFreq(min_context_, sum + escape - (escape >> 1));
    Flags(min_context_) |= kFlagRescaled;
    found_state_ = Stats(min_context_);
}

}  // namespace kv
