#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/entry_record.h"
#include "engine/core/zip_common.h"

namespace kv {

// How an offered entry counts: plain files always; directories only with ShowEmptyDirs, and then only
// the formats whose directory entries are real members (ZIP, TAR) add them to the totals.
enum class TListedKind { lkFile, lkDirectory, lkCountedDirectory };

// Walks the headers of an archive of any detected type and reports every entry through events,
// without extracting anything.
class TArcLister : public TZipCommon {
public:
    TArcLister();

    // Lists the archive: true when the walk ran (also when it found nothing), false when it could not
    // start. A call from inside one of its own handlers returns at once.
    bool Activate();

    bool ShowEmptyDirs = false;
    // GZIP, compress and BZIP2 files are decoded for what they hold: a TAR's entries, or the size and
    // CRC-32 of all members of a GZIP file. Otherwise their headers and trailers alone are read.
    bool ListDecoded = false;
    // When set, accepted entry names are collected here instead of being reported through OnRead.
    std::vector<std::string>* NameList = nullptr;

    TOnRead OnRead;  // required
    TNotifyEvent OnReadBegin;
    TNotifyEvent OnReadEnd;
    TOnReadFile OnReadFile;
    TOnTotals OnTotals;
    TOnExcludeFile OnExcludeFile;
    TOnCorruptZipHeader OnCorruptZipHeader;
    TOnGetZipFirstDisk OnGetZipFirstDisk;
    TOnGetZipNextDisk OnGetZipNextDisk;
    TOnGetZipLastDisk OnGetZipLastDisk;
    TOnInsertDisk OnInsertDisk;

    // The entry being reported; valid inside OnRead and kept after Activate returns.
    const TEntryRecord& Entry() const { return entry_; }

    // Only converts the stored name; the lister builds no output path.
    void SetOutputName(const std::string& stored_name) override;

    // ---- for the format walks ----
    TStream32& Archive() { return *ArchiveStream; }
    bool ArchiveOpen() const { return ArchiveStream != nullptr; }
    std::int64_t ArchiveSize() const { return Detection().ArcSize; }
    // Reads `size` bytes at `offset`; false unless all of them arrived.
    bool ReadExact(std::int64_t offset, void* buffer, std::int64_t size);
    // Offers one entry whose record the walk filled (name converted, without the trailing delimiter of
    // a directory): OnReadFile, selection, totals and the report.
    void OfferEntry(TEntryRecord record, std::int64_t offset, TListedKind kind);
    // Moves on to the next volume of the archive (Archive() is then the new file, when it could be
    // opened); false when there is none or the user cancelled. `proposed` names it where the format
    // stores the name.
    bool NextVolume(const std::string& proposed = {}) { return ChangeReadVolume(proposed); }
    // Reports an error against the archive and the current volume.
    void ReportError(int code, const std::string& extended = {});
    // The archive's file name without folder and without its last extension (single-file formats).
    std::string ArchiveBaseName() const;
    int ReportedCount() const { return reported_count_; }
    // The archive proved unlistable after all (a damaged ZIP nobody agreed to walk): its type becomes atNA.
    void MarkUnlisted() { MutableDetection().ArcType = atNA; }
    // The volume the following entries lie on (errors and events name it).
    void SetVolumeName(const std::string& name) { CurrentVolumeName = name; }

protected:
    // Lists the open archive by its type; each format has its own walk.
    virtual void Walk();

private:
    bool Selected(const std::string& name);

    bool busy_ = false;
    TEntryRecord entry_;
    int reported_count_ = 0;
    std::int64_t total_packed_ = 0;
    std::int64_t total_unpacked_ = 0;
};

}  // namespace kv
