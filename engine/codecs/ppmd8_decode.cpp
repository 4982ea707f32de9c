#include "engine/codecs/ppmd8_decode.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <vector>

#include "engine/codecs/codec_limits.h"
#include "engine/codecs/ppmd8_damaged.h"
#include "engine/codecs/ppmd8_model.h"

namespace kv {
namespace {

constexpr std::size_t kInputStep = 64 * 1024;
constexpr std::size_t kOutputStep = 256 * 1024;
constexpr unsigned kIntBits = TPpmd8Model::kIntBits;
constexpr unsigned kPeriodBits = TPpmd8Model::kPeriodBits;
constexpr unsigned kBinTotalBits = kIntBits + kPeriodBits;
constexpr std::uint32_t kTop = 1u << 24;
constexpr std::uint32_t kBottom = 1u << 15;
constexpr int kEndMark = -1;
constexpr int kDataError = -2;

// Subbotin's carry-less range decoder over the entry's packed bytes.
class TRangeDecoder {
public:
    // The buffer is not cleared: entries are often small and many, and it is filled before it is read.
    explicit TRangeDecoder(TByteSource& source)
        : source_(source), buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(kInputStep)) {}

    // False when the first four bytes cannot start a stream.
    bool Init() {
        for (int i = 0; i < 4; ++i) code_ = (code_ << 8) | NextByte();
        return code_ < 0xFFFFFFFFu;
    }
    std::uint32_t Threshold(std::uint32_t total) { return code_ / (range_ /= total); }
    // Binary contexts code against a fixed total.
    std::uint32_t BinThreshold() { return code_ / (range_ >>= kBinTotalBits); }
    void Decode(std::uint32_t start, std::uint32_t size) {
        start *= range_;
        low_ += start;
        code_ -= start;
        range_ *= size;
        for (;;) {
            if ((low_ ^ (low_ + range_)) >= kTop) {
                if (range_ >= kBottom) break;
                range_ = (0 - low_) & (kBottom - 1);
            }
            code_ = (code_ << 8) | NextByte();
            range_ <<= 8;
            low_ <<= 8;
        }
    }
    // A total larger than the range would leave nothing to divide; writers limit it the same way.
    std::uint32_t Fit(std::uint32_t total) const { return std::min(total, range_); }
    // The coder wanted bytes past the end of the packed data.
    bool RanOut() const { return ran_out_; }

private:
    std::uint8_t NextByte() {
        if (at_ == filled_) {
            filled_ = source_.Read(buffer_.get(), kInputStep);
            at_ = 0;
            if (filled_ == 0) {
                ran_out_ = true;
                return 0;
            }
        }
        return buffer_[at_++];
    }

    TByteSource& source_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t at_ = 0;
    std::size_t filled_ = 0;
    bool ran_out_ = false;
    std::uint32_t range_ = 0xFFFFFFFFu;
    std::uint32_t code_ = 0;
    std::uint32_t low_ = 0;
};

// One symbol: tried in the current context, then, escaping, in ever shorter ones with the symbols
// already ruled out masked. A byte, kEndMark or kDataError.
int DecodeSymbol(TPpmd8Model& model, TRangeDecoder& coder) {
    using TState = std::uint32_t;
    // Per symbol: all ones while it may still come, 0 once ruled out; read sign-extended, it masks a count
    // and counts a candidate without a branch (which symbols are ruled out is too random to predict).
    std::array<std::int8_t, 256> open;
    constexpr std::int8_t kRuledOut = 0;
    std::uint32_t context = model.MinContext();
    if (model.NumStats(context) != 0) {
        TState state = model.Stats(context);
        const std::uint32_t summ = coder.Fit(model.SummFreq(context));
        const std::uint32_t count = coder.Threshold(summ);
        std::uint32_t high = model.Freq(state);
        if (count < high) {
            coder.Decode(0, high);
            const int symbol = model.Symbol(state);
            model.Update1_0(state);
            return symbol;
        }
        model.ClearSuccess();
        for (unsigned left = model.NumStats(context); left > 0; --left) {
            state += TPpmd8Model::kStateSize;
            high += model.Freq(state);
            if (high > count) {
                coder.Decode(high - model.Freq(state), model.Freq(state));
                const int symbol = model.Symbol(state);
                model.Update1(state);
                return symbol;
            }
        }
        if (count >= summ) return kDataError;
        coder.Decode(high, summ - high);
        open.fill(-1);
        const std::uint8_t* last = model.StateBytes(state);
        for (const std::uint8_t* at = model.StateBytes(model.Stats(context)); at <= last; at += TPpmd8Model::kStateSize)
            open[at[0]] = kRuledOut;
    } else {
        std::uint16_t& probability = model.BinSumm();
        const std::uint32_t one = TPpmd8Model::OneState(context);
        if (coder.BinThreshold() < probability) {
            coder.Decode(0, probability);
            probability = static_cast<std::uint16_t>(probability + (1u << kIntBits) -
                                                     ((probability + (1u << (kPeriodBits - 2))) >> kPeriodBits));
            const int symbol = model.Symbol(one);
            model.UpdateBin();
            return symbol;
        }
        coder.Decode(probability, (1u << kBinTotalBits) - probability);
        probability = static_cast<std::uint16_t>(probability -
                                                 ((probability + (1u << (kPeriodBits - 2))) >> kPeriodBits));
        model.EscapeBin(probability);
        open.fill(-1);
        open[model.Symbol(one)] = kRuledOut;
    }

    // The states not yet ruled out, as their bytes (symbol, count).
    std::array<const std::uint8_t*, 256> candidates;
    for (;;) {
        const unsigned masked_count = model.NumStats(model.MinContext());
        if (!model.EscapeToSuffix(masked_count)) return kEndMark;
        context = model.MinContext();
        // The symbols not yet ruled out, with their total count.
        const std::size_t wanted = model.NumStats(context) - masked_count;
        std::size_t found = 0;
        std::uint32_t high = 0;
        const std::uint8_t* at = model.StateBytes(model.Stats(context));
        for (const std::uint8_t* const end = at + (model.NumStats(context) + 1) * TPpmd8Model::kStateSize;
             at != end && found != wanted; at += TPpmd8Model::kStateSize) {
            const auto mask = static_cast<std::size_t>(std::int64_t{open[at[0]]});
            high += at[1] & static_cast<std::uint32_t>(mask);
            candidates[found] = at;
            found -= mask;
        }
        if (found != wanted) throw TPpmd8Damaged();
        std::uint32_t escape = 0;
        TPpmd8Model::TSee& see = model.MakeEscFreq(masked_count, escape);
        const std::uint32_t total = coder.Fit(escape + high);
        const std::uint32_t count = coder.Threshold(total);
        if (count < high) {
            const std::uint8_t* const* pick = candidates.data();
            std::uint32_t upto = (*pick)[1];
            while (upto <= count) upto += (*++pick)[1];
            coder.Decode(upto - (*pick)[1], (*pick)[1]);
            see.Update();
            const int symbol = (*pick)[0];
            model.Update2(model.StateOf(*pick));
            return symbol;
        }
        if (count >= total) return kDataError;
        coder.Decode(high, total - high);
        see.Summ = static_cast<std::uint16_t>(see.Summ + total);
        for (std::size_t i = 0; i < found; ++i) open[candidates[i][0]] = kRuledOut;
    }
}

}  // namespace

TDecodeResult UnPpmdZip(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size,
                        std::uint32_t memory_limit) {
    std::array<std::uint8_t, 2> head{};
    for (std::size_t got = 0; got < head.size();) {
        const std::size_t read = source.Read(head.data() + got, head.size() - got);
        if (read == 0) return TDecodeResult::drTruncated;
        got += read;
    }
    const unsigned fields = head[0] | (head[1] << 8);
    const unsigned order = (fields & 0x0F) + 1;
    const std::uint64_t memory = std::uint64_t{((fields >> 4) & 0xFF) + 1} << 20;
    const unsigned restore = fields >> 12;
    if (order < TPpmd8Model::kMinOrder || restore > 1 || memory > memory_limit) return TDecodeResult::drUnsupported;
    // Nothing to decode: writers differ in what, if anything, they put after the head.
    if (unpacked_size == 0) return TDecodeResult::drOk;

    // The model's memory is kept for the thread's next entry: taking it afresh costs a page fault for every
    // page the model touches, which on a small entry is more than decoding it.
    thread_local std::unique_ptr<TPpmd8Model> kept;
    if (!kept || kept->Size() != memory) {
        kept.reset();
        try {
            kept = std::make_unique<TPpmd8Model>(static_cast<std::uint32_t>(memory));
        } catch (const std::bad_alloc&) {
            return TDecodeResult::drUnsupported;
        }
    }
    TPpmd8Model* const model = kept.get();
    model->Init(order, restore == 0 ? TPpmd8Model::TRestore::rsRestart : TPpmd8Model::TRestore::rsCutOff);
    TRangeDecoder coder(source);
    if (!coder.Init()) return coder.RanOut() ? TDecodeResult::drTruncated : TDecodeResult::drDataError;

    // A large model is not kept for the next entry, however this one ends.
    struct TTrim {
        std::unique_ptr<TPpmd8Model>& model;
        ~TTrim() {
            if (model && model->Size() > kMaxKeptDecoderMemory) model.reset();
        }
    } trim{kept};
    // No larger than the entry: clearing a buffer a small entry does not use would cost more than decoding it.
    std::vector<std::uint8_t> output(static_cast<std::size_t>(std::min<std::uint64_t>(unpacked_size, kOutputStep)));
    try {
        for (std::uint64_t left = unpacked_size; left > 0;) {
            const std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(left, output.size()));
            for (std::size_t i = 0; i < step; ++i) {
                const int symbol = DecodeSymbol(*model, coder);
                if (symbol < 0) {
                    // What came is kept for the verdict's sake; the entry then fails on its size.
                    if (i > 0 && !sink.Write(output.data(), i)) return TDecodeResult::drStopped;
                    return coder.RanOut() ? TDecodeResult::drTruncated : TDecodeResult::drDataError;
                }
                output[i] = static_cast<std::uint8_t>(symbol);
            }
            if (!sink.Write(output.data(), step)) return TDecodeResult::drStopped;
            left -= step;
        }
    } catch (const TPpmd8Damaged&) {
        return TDecodeResult::drDataError;
    }
    return coder.RanOut() ? TDecodeResult::drTruncated : TDecodeResult::drOk;
}

}  // namespace kv
