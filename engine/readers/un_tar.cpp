#include "engine/readers/un_tar.h"

#include <algorithm>
#include <optional>

#include "engine/core/dates.h"
#include "engine/core/error_codes.h"
#include "engine/core/header_reader.h"
#include "engine/core/link_target.h"
#include "engine/core/oem_names.h"
#include "engine/core/output_path.h"
#include "engine/core/read_ahead_stream.h"
#include "platform/file_attributes_linux.h"
#include "platform/paths.h"

namespace kv {
namespace {

// Headers lie behind each member's data; small refills keep a walk over large members cheap.
constexpr std::size_t kTarReadChunk = THeaderReader::kSmallChunk;
// A size field may claim anything; only the last member of a file can claim more than the file holds.
constexpr std::int64_t kMaxCountedSize = INT64_MAX / 4;
constexpr std::int64_t kFileCopyChunk = 64 * 1024;

std::int64_t CountedSize(const TTarMember& member) { return std::clamp<std::int64_t>(member.Size, 0, kMaxCountedSize); }

TDateTime MemberDate(const TTarMember& member) {
    return member.ModificationTime ? UnixTimeToDateTime(*member.ModificationTime) : kFallbackFileDate;
}

std::optional<TPreciseTime> MemberTime(const TTarMember& member) {
    if (!member.ModificationTime) return std::nullopt;
    return TPreciseTime{*member.ModificationTime, member.ModificationNanoseconds};
}

// The member's permissions go on to the output as a Unix ZIP writer's do: in the high half (the pipeline
// decides about the set-id and sticky bits), and no write permission at all reads as read-only.
std::uint32_t OutputAttributes(const TTarMember& member) {
    const std::uint32_t mode = member.Mode & 07777;
    if ((mode & 0777) == 0) return platform::kFaArchive;
    return platform::UnixModeAttributes(mode, false);
}

}  // namespace

TUnTar::TKind TUnTar::KindOf(const TTarMember& member) {
    switch (member.TypeFlag) {
        case '\0':
        case '0':
        case '7':
        case 'S':  // old GNU sparse file
            // Old archives mark folders only by the trailing "/" of the name.
            return !member.Name.empty() && member.Name.back() == '/' ? TKind::kFolder : TKind::kFile;
        case '5': return TKind::kFolder;
        case '1': return TKind::kHardLink;
        case '2': return TKind::kSymbolicLink;
        default: return TKind::kOther;  // devices, FIFOs and the like
    }
}

std::string TUnTar::MemberName(const TTarMember& member) const {
    return ConvertName(member.Name, member.NameOrigin());
}

void TUnTar::ExtractIt(TStream32* archive, TObject*) {
    if (archive == nullptr) return;
    written_.clear();
    const std::int64_t size = archive->Size();
    // A stream read once holds the TAR from its first byte; a file may have a volume header first.
    const std::int64_t start = ReadOnce ? 0 : std::max<std::int64_t>(Detection().ArcStartOffset, 0);
    THeaderReader reader(*archive, size, kTarReadChunk);
    TReadAheadStream data(*archive);
    const auto chosen = [&](const TTarMember& member) {
        return KindOf(member) != TKind::kOther && SelectEntry(MemberName(member));
    };
    if (ReadOnce) {
        // No second pass: the totals stay unknown, and each member is extracted as the walk meets it.
        WalkTar(reader, start, [&](const TTarMember& member) {
            if (GetCancel()) return false;
            if (chosen(member)) ExtractMember(data, member, KindOf(member));
            return true;
        });
        return;
    }
    std::vector<std::int64_t> selected;  // the header offsets of the chosen members, in archive order
    WalkTar(reader, start, [&](const TTarMember& member) {
        if (GetCancel()) return false;
        if (!chosen(member)) return true;
        if (KindOf(member) == TKind::kFile) {
            TotalPackedSize += CountedSize(member);
            TotalUnpackedSize += CountedSize(member);
        }
        NewestFileDate = std::max(NewestFileDate, MemberDate(member));
        selected.push_back(member.HeaderAt);
        return true;
    });
    ArchiveTotalBytes = BytesToProcess = TotalUnpackedSize;
    if (selected.empty()) return;
    // The extraction pass walks again rather than starting at each member: pax global records apply to
    // every member behind them.
    auto next = selected.begin();
    WalkTar(reader, start, [&](const TTarMember& member) {
        if (GetCancel()) return false;
        if (member.HeaderAt != *next) return true;
        ExtractMember(data, member, KindOf(member));
        return ++next != selected.end();
    });
}

void TUnTar::ExtractMember(TStream32& data, const TTarMember& member, TKind kind) {
    const std::string name = MemberName(member);
    SetOutputName(name);
    switch (kind) {
        case TKind::kFolder:
            CreateStoredDirectory(name, OutputAttributes(member), DateTimeToDosDateTime(MemberDate(member)),
                                  MemberTime(member));
            ++ProcessedCount;
            ReportCheck(true);
            return;
        case TKind::kFile: ExtractFile(data, member); return;
        case TKind::kHardLink:
        case TKind::kSymbolicLink: ExtractLink(member, kind); return;
        case TKind::kOther: return;
    }
}

void TUnTar::ExtractFile(TStream32& data, const TTarMember& member) {
    const std::string named = CurrentOutputPath;
    TEntryRecord record;
    record.FileName = CurrentStoredName;
    record.PackedSize = record.UnpackedSize = CountedSize(member);
    if (!BeginFile()) {
        SkipEntry(record);
        return;
    }
    // A map that leads outside the file or its data would write what the archive does not hold.
    if (member.Sparse && !member.SparseMapSound) {
        DoError(CurrentStoredName, {}, "0", ecode::kDecompressionError);
        SkipEntry(record);
        written_.erase(named);
        ReportCheck(false);
        return;
    }
    if (!OpenEntryOutput(record)) return;
    data.Seek(member.Sparse ? member.SparseDataAt : member.DataAt, TSeekOrigin::soBeginning);
    const bool copied = member.Sparse ? CopySparse(data, member) : CopyStored(data, Output.get(), record, kNoCrc) == 0;
    // Without a checksum, data cut short is the one fault the entry can show.
    const bool complete = copied && !GetCancel();
    if (!complete && !GetCancel()) DoError(CurrentStoredName, {}, "0", ecode::kErrorReadingFile);
    CloseOutput(OutputAttributes(member), DateTimeToDosDateTime(MemberDate(member)), MemberTime(member));
    if (ReportCheck(complete) && OutputMode == TOutputMode::omFiles) written_[named] = CurrentOutputPath;
    else written_.erase(named);
}

bool TUnTar::CopySparse(TStream32& data, const TTarMember& member) {
    for (const TSparseRegion& region : member.SparseMap) {
        // The holes are left unwritten, so that they stay holes on disk.
        if (Output && Output->Seek(region.Offset, TSeekOrigin::soBeginning) != region.Offset) return false;
        TEntryRecord stretch;
        stretch.PackedSize = stretch.UnpackedSize = region.Length;
        if (CopyStored(data, Output.get(), stretch, kNoCrc) != 0 || GetCancel()) return false;
    }
    // A hole at the end has no data to be written: the size makes it.
    return !Output || Output->SetSize(member.RealSize);
}

void TUnTar::ExtractLink(const TTarMember& member, TKind kind) {
    const std::string named = CurrentOutputPath;
    if (!BeginFile()) return;
    if (OutputMode == TOutputMode::omFiles) {
        written_.erase(named);
        if (!MakeLink(member, kind)) {
            --ProcessedCount;
            return;
        }
    }
    // A second name of a file can be linked to in turn.
    if (ReportCheck(true) && kind == TKind::kHardLink && OutputMode == TOutputMode::omFiles)
        written_[named] = CurrentOutputPath;
}

bool TUnTar::MakeLink(const TTarMember& member, TKind kind) {
    const std::string target = ConvertName(member.LinkName, member.LinkNameOrigin());
    if (kind == TKind::kSymbolicLink)
        return RestoreSymbolicLink(target, DateTimeToDosDateTime(MemberDate(member)), MemberTime(member));
    const std::string source = HardLinkSource(target);
    if (!OutputTree.Contains(CurrentOutputPath) || source.empty()) {
        // The link would lead out of the extraction folder, or to nothing this run wrote.
        DoError(CurrentStoredName, target, "0", ecode::kInvalidFileName);
        return false;
    }
    if (source == CurrentOutputPath) return true;  // the member names itself: the file is already there
    const bool made = RestoreHardLink(source) || CopyExtractedFile(source, member);
    if (!made) DoError(CurrentOutputPath, {}, "0", ecode::kErrorOpeningFile);
    return made;
}

bool TUnTar::CopyExtractedFile(const std::string& source, const TTarMember& member) {
    TFileStream32 input(source, TFileOpenMode::fmOpenRead);
    if (!input.IsValid() || !OpenOutput()) return false;
    std::vector<std::uint8_t> buffer(kFileCopyChunk);
    bool copied = true;
    for (std::int64_t got; copied && (got = input.Read(buffer.data(), kFileCopyChunk)) > 0;)
        copied = Output->Write(buffer.data(), got) == got;
    CloseOutput(OutputAttributes(member), DateTimeToDosDateTime(MemberDate(member)), MemberTime(member));
    return copied;
}

std::string TUnTar::HardLinkSource(const std::string& target) const {
    // The target is a member's name, and leads where that member was written: a leading "/" or ".." is
    // dropped from it as from the names.
    const std::optional<std::string> named = BuildOutputPath(OutputTree.Base(), target, UseStoredDirs);
    if (!named) return {};
    const auto found = written_.find(*named);
    // Only a plain file inside the destination: a renamed output may lie anywhere, and a file may have
    // been replaced by a link since.
    if (found == written_.end() || OutputTree.Inspect(found->second) != platform::TOutputPathState::opsFile) return {};
    return found->second;
}

}  // namespace kv
