// The main flow of archive type detection and its two branches: executables ("MZ") and plain files.
#include "engine/core/arc_detect.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

#include "engine/core/arc_detector.h"
#include "engine/core/content_rules.h"
#include "engine/core/formats.h"
#include "engine/core/stream_signatures.h"
#include "engine/core/zip_end_records.h"
#include "engine/core/zip_volume_rule.h"
#include "platform/paths.h"
#include "platform/pe_resources.h"

namespace kv {
namespace {

// Self-extractor builds that keep their archive at a fixed offset behind the stub.
constexpr std::int64_t kArcSfxProbes[] = {6674, 6867, 7716, 8601, 13138};
constexpr std::int64_t kLhaSfxMethodAt = 1947;  // the method name, two bytes into the LHA header
constexpr std::int64_t kZipSfxProbes[] = {7612, 25661};
// Where the scan of an executable starts: behind the code of the smallest known stubs.
constexpr std::int64_t kExecutableScanStart = 17000;
// String resources 1 to 7 may name the offset of the appended archive.
constexpr std::uint32_t kLastOffsetResource = 7;
constexpr std::size_t kOffsetResourceChars = 5;
constexpr std::int64_t kMacBinaryHeaderSize = 128;

bool IsLocalHeaderSignature(const std::uint8_t* p) { return p[0] == 'P' && p[1] == 'K' && p[2] == 3 && p[3] == 4; }

// A resource string that holds a whole decimal number.
std::optional<std::int64_t> ParseOffset(const std::u16string& text) {
    std::size_t at = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == u'-' || text[0] == u'+')) negative = text[at++] == u'-';
    if (at == text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; at < text.size(); ++at) {
        if (text[at] < u'0' || text[at] > u'9') return std::nullopt;
        value = value * 10 + (text[at] - u'0');
    }
    return negative ? -value : value;
}

// Keeps the stream's progress callback away from detection's reads.
class TProgressDetach {
public:
    explicit TProgressDetach(TStream32& stream) : stream_(stream), saved_(std::move(stream.OnProgress)) {
        stream_.OnProgress = nullptr;
    }
    ~TProgressDetach() { stream_.OnProgress = std::move(saved_); }
    TProgressDetach(const TProgressDetach&) = delete;
    TProgressDetach& operator=(const TProgressDetach&) = delete;

private:
    TStream32& stream_;
    std::function<void(std::int64_t)> saved_;
};

}  // namespace

TArcType DetectArcType(TStream32& stream, TArcDetection& state, const TDetectionContext& context) {
    TProgressDetach detach(stream);
    return TArcDetector(stream, state, context).Run();
}

TArcDetector::TArcDetector(TStream32& stream, TArcDetection& state, const TDetectionContext& context)
    : stream_(stream), state_(state), context_(context) {}

std::int64_t TArcDetector::ReadAt(std::int64_t offset, void* buffer, std::int64_t count) {
    return offset < 0 ? 0 : stream_.ReadAt(offset, buffer, count);
}

TArcType TArcDetector::Run() {
    const std::uint32_t date = state_.ArcDate;  // the engine object keeps the file's date itself
    state_ = TArcDetection{};
    state_.ArcDate = date;
    size_ = std::max<std::int64_t>(stream_.Size(), 0);
    state_.ArcSize = size_;
    constexpr std::int64_t kLargestUnknownSize = 19;

    head_.resize(static_cast<std::size_t>(std::min(size_, kDetectBlockSize)));
    head_.resize(static_cast<std::size_t>(ReadAt(0, head_.data(), static_cast<std::int64_t>(head_.size()))));
    if (head_.size() <= kLargestUnknownSize) {
        // A Zstandard file of a tiny or empty file is shorter than any archive; its magic is sure enough.
        if (ClassifyCompressedStream(head_, {}) != atZstd) return atNA;
        state_.ArcStartOffset = 0;
        return state_.ArcType = atZstd;
    }

    if (head_[0] == 'M' && head_[1] == 'Z') {
        DetectExecutable();
    } else {
        DetectPlain();
    }

    if (IsKnownType(state_.ArcType) && state_.ArcStartOffset == -1) state_.ArcStartOffset = 0;
    // A ZIP named as another member of its family (a JAR) is taken as that.
    if (state_.ArcType == atZip) {
        const auto named = TypeOfFileName(context_.ArchiveFile);
        if (named && FormatOf(*named).Has(ftZipFamily)) state_.ArcType = *named;
    }
    return state_.ArcType;
}

TArcType TArcDetector::ZipVolumeType() {
    const platform::DriveInfo drive = context_.QueryDrive ? context_.QueryDrive(context_.ArchiveFile)
                                                          : platform::QueryDriveInfo(context_.ArchiveFile);
    return kv::ZipVolumeType(drive);
}

TArcType TArcDetector::GetSignatureType(TSignatureMode mode, const std::uint8_t* bytes) {
    const TSignatureEntry entry = LookUpSignature(mode, bytes);
    if (entry.StartOffset >= size_) return atNA;  // the archive the row promises cannot be there
    if (entry.StartOffset >= 0) state_.ArcStartOffset = entry.StartOffset;
    switch (entry.ZipVolume) {
        case TZipVolumeCheck::zvNone:
            return entry.Type;
        case TZipVolumeCheck::zvAlone:
            return ZipVolumeType();
        case TZipVolumeCheck::zvWithCentralDir: {
            const TArcType volume_type = ZipVolumeType();
            std::int64_t central = 0;
            try {
                central = CentralDir();
            } catch (...) {
                state_.ArcType = atUnsupported;  // the owner's error handler may raise; the type must say why
                throw;
            }
            return central == -1 ? atUnsupported : volume_type;
        }
    }
    return atNA;
}

std::int64_t TArcDetector::CentralDir() {
    if (central_dir_) {
        state_.ZipLayoutFlags = central_dir_->Flags;
        state_.ZipPrefixSize = central_dir_->PrefixSize;
        return central_dir_->Result;
    }
    const std::int64_t result = FindCentralDir(stream_, size_, 0, state_, context_);
    central_dir_ = CentralDirOutcome{result, state_.ZipLayoutFlags, state_.ZipPrefixSize};
    return result;
}

void TArcDetector::TakeCentralDirUnlessUnverified(std::int64_t fallback_offset) {
    const std::int64_t central = CentralDir();
    if (central == -1) {
        state_.ArcType = atUnsupported;  // the directory contradicts itself (already reported)
        return;
    }
    state_.ArcStartOffset = state_.ZipLayoutFlags.VerifiesNothing() ? fallback_offset : central;
}

// ---- executables ----

void TArcDetector::DetectExecutable() {
    state_.ZipLayoutFlags.Include(htSfx);
    if (ProbeFixedOffsets() || ProbeResourceOffsets() || ProbeDosImageEnd()) return;
    if (const std::int64_t central = CentralDir(); central > 0) {
        state_.ArcType = atZipExe;
        state_.ArcStartOffset = central;
        return;
    }
    state_.ArcStartOffset = ScanForSignature(kExecutableScanStart);
}

bool TArcDetector::ProbeFixedOffsets() {
    TArcType type = atNA;
    std::int64_t offset = -1;
    for (const std::int64_t probe : kArcSfxProbes) {
        std::array<std::uint8_t, 2> b{};
        if (size_ <= probe + 2 || ReadAt(probe, b.data(), 2) != 2) break;
        if (b[0] == 0x1A && (b[1] == 0x08 || b[1] == 0x09)) type = atArcExe;
        if (b[0] == 0x1A && (b[1] == 0x0A || b[1] == 0x0B)) type = atPakExe;
        if (type != atNA) {
            offset = probe;
            break;
        }
    }
    if (type == atNA && size_ > kLhaSfxMethodAt + 2) {
        std::array<std::uint8_t, 6> b{};
        if (ReadAt(kLhaSfxMethodAt, b.data(), 6) >= 5 && b[0] == '-' && b[1] == 'l' && b[2] == 'h' && b[4] == '-') {
            type = atLhaExe;
            offset = kLhaSfxMethodAt - 2;
        }
    }
    for (const std::int64_t probe : kZipSfxProbes) {
        std::array<std::uint8_t, 4> b{};
        if (type != atNA || size_ <= probe + 4) break;
        if (ReadAt(probe, b.data(), 4) == 4 && IsLocalHeaderSignature(b.data())) {
            type = atZipExe;
            offset = probe;
        }
    }
    if (type == atNA) return false;

    state_.ArcType = type;
    state_.ArcStartOffset = offset;
    if (type == atZipExe) TakeCentralDirUnlessUnverified(offset);
    return true;
}

bool TArcDetector::ProbeResourceOffsets() {
    const auto resources = platform::TPeResources::Open(
        [this](std::int64_t offset, void* buffer, std::int64_t count) { return ReadAt(offset, buffer, count); }, size_);
    if (!resources) return false;
    for (std::uint32_t id = 1; id <= kLastOffsetResource; ++id) {
        const auto text = resources->LoadString(id, kOffsetResourceChars);
        if (!text || text->empty()) break;
        const auto offset = ParseOffset(*text);
        if (!offset || *offset < 0 || *offset >= size_) break;

        std::array<std::uint8_t, 14> record{};
        const auto got = static_cast<std::size_t>(ReadAt(*offset, record.data(), 14));
        if (HasAceMarker(std::span(record.data(), got))) {
            state_.ArcType = atAceExe;
            state_.ArcStartOffset = *offset;
            return true;
        }
        if (got < record.size()) continue;
        const TArcType type = GetSignatureType(TSignatureMode::smEmbedded, record.data());
        if (type == atNA) continue;
        state_.ArcType = type;
        state_.ArcStartOffset = *offset;
        if (FormatOf(type).Has(ftZipFamily)) TakeCentralDirUnlessUnverified(*offset);
        return true;
    }
    return false;
}

bool TArcDetector::ProbeDosImageEnd() {
    // The DOS header counts the image in 512-byte pages, the last one holding e_cblp bytes.
    const std::int64_t last_page_bytes = LoadLE16(&head_[2]);
    const std::int64_t pages = LoadLE16(&head_[4]);
    const std::int64_t image_end = (pages - 1) * 512 + last_page_bytes;
    std::array<std::uint8_t, 4> b{};
    if (image_end <= 0 || image_end + 4 >= size_ || ReadAt(image_end, b.data(), 4) != 4) return false;

    // An ARJ stub may leave two bytes between its image and the archive.
    const std::int64_t start = image_end + (b[2] == 0x60 && b[3] == 0xEA ? 2 : 0);
    state_.ArcStartOffset = start;
    if (start + 4 >= size_ || ReadAt(start, b.data(), 4) != 4 || IsLocalHeaderSignature(b.data())) return false;
    const TArcType type = GetSignatureType(TSignatureMode::smEmbedded, b.data());
    if (!IsKnownType(type)) return false;
    state_.ArcType = type;
    return true;
}

// ---- plain files ----

void TArcDetector::DetectPlain() {
    std::size_t zeros = 0;
    if (head_[0] == 0) {
        while (zeros < head_.size() && head_[zeros] == 0) ++zeros;
        // A MacBinary header (128 bytes, starting with a zero) in front of an LHA archive.
        if (head_.size() - zeros > 132 && head_[130] == '-' && head_[131] == 'l') {
            state_.ArcType = atLha;
            state_.ArcStartOffset = kMacBinaryHeaderSize;
            return;
        }
    }
    if (head_.size() - zeros >= 4) state_.ArcType = GetSignatureType(TSignatureMode::smStart, &head_[zeros]);
    if (state_.ArcType == atNA && zeros == 0) state_.ArcType = ClassifyCompressedStream(head_, context_.ArchiveFile);

    if (state_.ArcType == atNA) {
        if (TarRule()) {
            state_.ArcType = atTar;
        } else {
            if (const std::int64_t central = CentralDir(); central > 0) {
                state_.ArcType = ZipEndValuesOf(state_).ThisDisk == 0 ? atZip : ZipVolumeType();
                state_.ArcStartOffset = central;
            }
            if (!IsKnownType(state_.ArcType)) state_.ArcStartOffset = ScanForSignature(0);
        }
    }

    if (state_.ArcType == atFileOpenErr || state_.ArcType == atUnknown) return;
    const TFormat& format = FormatOf(state_.ArcType);
    if (format.Has(ftZipFamily)) {
        if (const std::int64_t central = CentralDir(); central == -1) {
            state_.ArcType = atUnsupported;
        } else if (central == 0 && !state_.ZipLayoutFlags.Has(htLocal)) {
            // Nothing better is known than the local header the signature test saw.
            if (state_.ArcStartOffset == -1) state_.ArcStartOffset = static_cast<std::int64_t>(zeros);
            state_.ZipLayoutFlags.Include(htLocal);
        }
    } else if (format.Has(ftDiskVolumes)) {
        if (CentralDir() == -1) {
            state_.ArcType = atUnsupported;
        } else if (state_.ZipLayoutFlags.VerifiesNothing()) {
            state_.ZipLayoutFlags = THeaderTypeState(1u << htLocal);
        }
    }

    if (IsKnownType(state_.ArcType) || state_.ArcType == atUnsupported) return;
    if (IsBzip2Header(head_)) {
        state_.ArcType = atBz2;
    } else if (HasAceMarker(head_)) {
        state_.ArcType = atAce;
    } else if (const TArcType text = ClassifyEncodedText(head_); text != atNA) {
        state_.ArcType = text;
    }
}

bool TArcDetector::TarRule() {
    std::array<std::uint8_t, kTarBlockSize> block{};
    constexpr auto kBlock = static_cast<std::int64_t>(kTarBlockSize);
    if (size_ <= kBlock || ReadAt(0, block.data(), kBlock) != kBlock) return false;
    if (IsTarVolumeLabel(block)) {
        state_.ArcStartOffset = kBlock;
        if (2 * kBlock < size_ && ReadAt(kBlock, block.data(), kBlock) != kBlock) {
            state_.ArcStartOffset = -1;
            return false;
        }
    }
    if (TarChecksumMatches(block)) return true;
    state_.ArcStartOffset = -1;
    return false;
}

}  // namespace kv
