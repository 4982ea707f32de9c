#include "engine/writers/zip_writer.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/core/error_codes.h"
#include "engine/core/text_case.h"
#include "engine/core/zip_cipher.h"
#include "engine/core/zip_headers.h"
#include "engine/writers/whole_file.h"
#include "engine/writers/zip_stored_name.h"
#include "platform/byte_order.h"
#include "platform/paths.h"

namespace kv {
namespace {

constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::uint16_t kFlagFast = 0x0004;     // bits 2-1 = 10
constexpr std::uint16_t kFlagMaximum = 0x0002;  // bits 2-1 = 01

// The stored name's bytes and its UTF-8 flag in `flags`.
std::string EncodeName(const std::string& name, std::uint16_t& flags) {
    TZipStoredName stored = MakeZipStoredName(name, TZipNameEncoding::znUtf8);
    flags = static_cast<std::uint16_t>(stored.Utf8 ? flags | kZipFlagUtf8 : flags & ~kZipFlagUtf8);
    return std::move(stored.Bytes);
}

}  // namespace

// ---------------------------------------------------------------- old archive

namespace writers {

bool TZipBase::ReadArchive(TStream32& archive, TCompressHeaderObj& headers) {
    std::optional<TExistingZip> zip = ReadExistingZip(archive, ArchiveFile());
    if (!zip) return false;
    for (std::size_t i = 0; i < zip->Entries.size(); ++i) {
        const TKeptEntry& kept = zip->Entries[i];
        TCompressHeader header;
        header.StoredName = kept.Name;
        header.FormatIndex = i;
        header.Offset = kept.Offset;
        header.Size = kept.Length;
        header.DosDateTime = kept.Central.DosDateTime;
        header.UnpackedSize = kept.Central.UnpackedSize;
        header.Attributes = kept.Central.ExternalAttr & 0xFF;
        headers.Add(std::move(header));
    }
    old_ = std::move(zip);
    return true;
}

bool TZipBase::CopyItem(const TCompressHeader& item) {
    const TKeptEntry& kept = old_->Entries[item.FormatIndex];
    if (item.Action != caRename) return writer_->CopyEntry(*old_stream_, kept.Offset, kept.Length, kept.Central, {});

    // A renamed entry gets local and central headers with the new name (a hidden local header comes out
    // plain); its data is copied as it is.
    std::vector<std::uint8_t> local(kLocalHeaderSize);
    if (old_stream_->ReadAt(kept.Offset, local.data(), kLocalHeaderSize) != static_cast<std::int64_t>(kLocalHeaderSize)) {
        return false;
    }
    const bool hidden = IsEncipheredZipRecord(local.data());
    if (hidden) DecipherHeader(local.data(), TCipheredRecord::crLocal);
    const std::size_t old_name = platform::LoadLE16(&local[26]);
    const std::size_t extra = platform::LoadLE16(&local[28]);
    std::vector<std::uint8_t> name_and_extra(old_name + extra);
    const auto variable_at = kept.Offset + static_cast<std::int64_t>(kLocalHeaderSize);
    if (!name_and_extra.empty() &&
        old_stream_->ReadAt(variable_at, name_and_extra.data(), static_cast<std::int64_t>(name_and_extra.size())) !=
            static_cast<std::int64_t>(name_and_extra.size())) {
        return false;
    }
    if (hidden) {
        DecipherHeaderContinuation(name_and_extra.data(), name_and_extra.size());
        local[1] = 'K';
    }
    const std::vector<std::uint8_t> extra_bytes(name_and_extra.begin() + static_cast<std::ptrdiff_t>(old_name),
                                                name_and_extra.end());
    TZipRecordEntry central = kept.Central;
    central.StoredName = EncodeName(item.StoredName, central.Flags);
    if (central.StoredName.size() > kZip16Limit) return false;
    std::uint16_t local_flags = platform::LoadLE16(&local[6]);
    EncodeName(item.StoredName, local_flags);
    local[6] = static_cast<std::uint8_t>(local_flags);
    local[7] = static_cast<std::uint8_t>(local_flags >> 8);
    local[26] = static_cast<std::uint8_t>(central.StoredName.size());
    local[27] = static_cast<std::uint8_t>(central.StoredName.size() >> 8);
    local.insert(local.end(), central.StoredName.begin(), central.StoredName.end());
    local.insert(local.end(), extra_bytes.begin(), extra_bytes.end());
    return writer_->CopyEntryWithHeader(local, *old_stream_, kept.Offset,
                                        static_cast<std::int64_t>(kLocalHeaderSize + old_name + extra), kept.Length,
                                        std::move(central), {});
}

// ---------------------------------------------------------------- new entries

bool TZipBase::StoredByType(const std::string& stored_name) const {
    const std::string ext = platform::ExtractFileExt(stored_name);
    if (ext.empty()) return false;
    return std::any_of(StoreFilesOfType.begin(), StoreFilesOfType.end(),
                       [&](const std::string& listed) { return SameText(listed, ext); });
}

TZipBase::TPlannedFile TZipBase::Plan(const TCompressHeader& item) const {
    TPlannedFile plan;
    TZipRecordEntry& header = plan.Header;
    header.StoredName = EncodeName(item.StoredName, header.Flags);
    header.DosDateTime = item.DosDateTime;
    struct stat st{};
    const int found = item.IsLink ? ::lstat(item.DiskPath.c_str(), &st) : ::stat(item.DiskPath.c_str(), &st);
    const mode_t mode = found == 0 ? st.st_mode : (item.IsDirectory ? S_IFDIR | 0755 : S_IFREG | 0644);
    header.ExternalAttr = static_cast<std::uint32_t>(mode & 0xFFFF) << 16 | (item.Attributes & 0xFF);
    plan.Folder = item.IsDirectory;
    if (plan.Folder) return plan;
    // A link is its target's text, stored plain: readers that restore links read it as the target.
    plan.Link = item.IsLink;
    if (plan.Link) {
        plan.Encoding.Level = 0;
        return plan;
    }

    TEntryEncoding& encoding = plan.Encoding;
    if (!EntryPassword().empty()) {
        encoding.Cipher.Kind = TEntryCipherKind::ecZipCrypto;
        encoding.Cipher.Password = EntryPassword();
        encoding.Cipher.Seed = CipherSeed(TSeedKind::skData);
    }
    plan.Streamed = static_cast<std::int64_t>(item.UnpackedSize) > kWholeEntryBudget;
    if (DeflateType == dtDeflateS || compress_method_ == cmStore || StoredByType(item.StoredName)) {
        encoding.Level = 0;
        return plan;
    }
    switch (compress_method_) {
        case cmDeflate:
            encoding.Level = DeflateType == dtDeflateF ? 1 : DeflateType == dtDeflateX ? 9 : 6;
            encoding.DeflateFlags = DeflateType == dtDeflateF ? kFlagFast : DeflateType == dtDeflateX ? kFlagMaximum : 0;
            break;
        case cmBZip2:
            encoding.Codec = TEntryCodec::ecBzip2;
            encoding.Level = 1;
            encoding.Bzip2BlockSize = DeflateType == dtDeflateF ? 2 : DeflateType == dtDeflateN ? 6 : 9;
            break;
        default: plan.Supported = false; break;
    }
    return plan;
}

bool TZipBase::BeginArchive(TStream32& out, TStream32* old_archive, const TCompressHeaderObj& headers) {
    old_stream_ = old_archive;
    writer_ = std::make_unique<TZipArchiveWriter>(out);
    if (EncryptHeaders) writer_->EncipherHeaders(CipherSeed(TSeedKind::skHeader));
    if (old_ && old_->PrefixSize > 0 && !writer_->WritePrefix(*old_archive, old_->PrefixSize, {})) return false;

    planned_.assign(headers.Count(), std::nullopt);
    for (std::size_t i = 0; i < headers.Count(); ++i) {
        if (headers[i].Action == caCompress) planned_[i] = Plan(headers[i]);
    }
    // Files that fit the budget are read and encoded ahead on worker threads, in list order.
    const auto cost = [this, &headers](std::size_t i) -> std::int64_t {
        const auto& plan = planned_[i];
        if (!plan || !plan->Encoded()) return -1;
        return static_cast<std::int64_t>(headers[i].UnpackedSize);
    };
    const auto work = [this, &headers](std::size_t i, TBufferEncoder& encoder) {
        TEncodedEntry encoded;
        const TReadResult read =
            planned_[i]->Link ? ReadLinkTarget(headers[i].DiskPath, encoder)
                              : ReadWholeFile(headers[i].DiskPath, static_cast<std::int64_t>(headers[i].UnpackedSize), encoder);
        encoded.Error = read.Error;
        if (read.Error != 0) return encoded;
        encoded.Entry = planned_[i]->Header;
        encoded.Packed = encoder.Encode(encoder.InputBuffer().data(), read.Size, planned_[i]->Encoding, encoded.Entry);
        return encoded;
    };
    encoder_ = std::make_unique<TOrderedEncoder>(headers.Count(), cost, work, EncoderThreads(0), kWholeEntryBudget);
    return true;
}

TZipBase::TItemOutcome TZipBase::Stream(const TCompressHeader& item, const TPlannedFile& plan) {
    TFileStream32 source(item.DiskPath, TFileOpenMode::fmOpenRead);
    if (!source.IsValid()) {
        DoError(item.DiskPath, std::strerror(source.LastError()), "0", ecode::kErrorOpeningFile);
        return TItemOutcome::ioFileFailed;
    }
    const auto total = static_cast<std::int64_t>(item.UnpackedSize);
    std::int64_t done = 0;
    const TEncodeProgress progress = [&](std::int64_t bytes) { return FileBytesDone(total, done, bytes); };
    switch (writer_->AddStreamed(plan.Header, item.UnpackedSize, source, plan.Encoding, progress)) {
        case TStreamOutcome::soDone: return TItemOutcome::ioDone;
        case TStreamOutcome::soReadError:
            DoError(item.DiskPath, std::strerror(source.LastError() != 0 ? source.LastError() : EIO), "0",
                    ecode::kErrorReadingFile);
            return TItemOutcome::ioFileFailed;
        case TStreamOutcome::soWriteError: return TItemOutcome::ioArchiveFailed;
        case TStreamOutcome::soCancelled: return TItemOutcome::ioCancelled;
    }
    return TItemOutcome::ioArchiveFailed;
}

TZipBase::TItemOutcome TZipBase::CompressItem(std::size_t index, const TCompressHeader& item) {
    const TPlannedFile& plan = *planned_[index];
    if (item.IsDirectory) return writer_->AddEncoded(plan.Header, {}) ? TItemOutcome::ioDone : TItemOutcome::ioArchiveFailed;
    if (!plan.Supported) {
        DoError(item.DiskPath, {}, "0", ecode::kUnsupportedMethod);
        return TItemOutcome::ioFileFailed;
    }
    if (plan.Streamed) return Stream(item, plan);

    TEncodedEntry encoded = encoder_->Take(index);
    if (encoded.Error != 0) {
        DoError(item.DiskPath, std::strerror(encoded.Error), "0", ecode::kErrorOpeningFile);
        return TItemOutcome::ioFileFailed;
    }
    if (!writer_->AddEncoded(std::move(encoded.Entry), encoded.Packed)) return TItemOutcome::ioArchiveFailed;
    const auto total = static_cast<std::int64_t>(item.UnpackedSize);
    std::int64_t done = 0;
    return FileBytesDone(total, done, total) ? TItemOutcome::ioDone : TItemOutcome::ioCancelled;
}

void TZipBase::SkipItem(std::size_t index) {
    if (planned_[index] && planned_[index]->Encoded()) encoder_->Take(index);
}

bool TZipBase::FinishArchive() { return writer_->Finish(old_ ? old_->Comment : std::string(), {}); }

void TZipBase::EndRun() {
    encoder_.reset();
    writer_.reset();
    planned_.clear();
    old_.reset();
    old_stream_ = nullptr;
}

// ---------------------------------------------------------------- comments

bool TZipBase::SetComments(const std::string& archive_comment,
                           const std::map<std::string, std::string>& entry_comments) {
    ResetOperationState();
    std::map<std::string, std::string> by_name;
    for (const auto& [name, comment] : entry_comments) by_name[UpperCaseText(platform::ToNativeDelimiters(name))] = comment;
    TFileStream32 old(ArchiveFile(), TFileOpenMode::fmOpenRead);
    if (!old.IsValid()) {
        DoError(ArchiveFile(), {}, "0", ecode::kErrorOpeningFile);
        return false;
    }
    const std::optional<TExistingZip> zip = ReadExistingZip(old, ArchiveFile());
    if (!zip) {
        DoError(ArchiveFile(), {}, "0", ecode::kHeaderNotFound);
        return false;
    }
    const std::unique_ptr<TTempArchive> temp = CreateTempArchive(CompressionMethod, TempDir());
    if (CompressionMethod == cmTempFile && temp->TempFileName().empty()) {
        DoError(TempDir(), {}, "0", ecode::kErrorCreatingFile);
        return false;
    }
    TZipArchiveWriter writer(temp->Stream());
    bool ok = zip->PrefixSize == 0 || writer.WritePrefix(old, zip->PrefixSize, {});
    for (const TKeptEntry& kept : zip->Entries) {
        if (!ok) break;
        TZipRecordEntry central = kept.Central;
        const auto comment = by_name.find(UpperCaseText(kept.Name));
        if (comment != by_name.end()) central.Comment = comment->second;
        ok = writer.CopyEntry(old, kept.Offset, kept.Length, std::move(central), {});
    }
    if (!ok || !writer.Finish(archive_comment, {})) {
        DoError(ArchiveFile(), {}, "0", ecode::kErrorWritingToFile);
        return false;
    }
    old.Close();
    return PutInPlace(*temp);
}

// ---------------------------------------------------------------- the writers

}  // namespace writers

TZip::TZip() : TZipBase(cmBZip2) { InitDefaultExt(".zip"); }

bool TZip::AcceptsMethod(TCompressMethod method) const {
    return method == cmStore || method == cmDeflate || method == cmBZip2;
}

TJar::TJar() : TZipBase(cmDeflate) { InitDefaultExt(".JAR"); }

bool TJar::AcceptsMethod(TCompressMethod method) const { return method == cmStore || method == cmDeflate; }

}  // namespace kv
