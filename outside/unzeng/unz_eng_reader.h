#pragma once

#include <cstdint>
#include <string>

#include "engine/readers/un_zip.h"
#include "outside/unzeng/unz_eng_requests.h"

namespace kv {

// What a job asks of the reader, read from its record.
struct TUnzEngOptions {
    bool Test = false;
    bool OverWrite = false;   // replace existing files without asking
    bool Freshen = false;     // only files that exist and are older than the entry
    bool Update = false;      // new files, and existing ones older than the entry (wins over Freshen)
    int PasswordRequests = 0; // how often a password may be asked for one entry
};

// The engine's ZIP reader running one job of the engine library: it turns what happens to each entry into
// the job's requests and decides about existing files and passwords through them.
//
// Per file entry: zrNewItem; when writing zrExtractName, then zrOverwrite for an existing file the flags do
// not decide; zrPassword for an enciphered entry no known password opens; zrBytesDone for each block
// written or tested; at its end nothing when it passed, zrCrcError when its data failed the check (the
// answer keeps or drops the output; an older file of its name is never replaced by it), else zrSkipped. Errors are also told by zrMessage. Folder entries are
// made (with stored folders) but neither reported nor counted.
class TUnzEngReader final : public TUnZip {
public:
    TUnzEngReader(TRequestChannel& requests, const TUnzEngOptions& options);

    // Runs the job over the archive already set; returns the files extracted (or tested) without fault.
    int Run();

protected:
    void EntriesSelected(int files, std::int64_t unpacked_bytes) override;
    void EntryStarts(int index, const std::string& name, const TZipEntryHeader& header, bool directory) override;
    std::int64_t WriteBlock(TStream32* output, std::uint8_t* buffer, bool to_output, std::int64_t count, int crc_kind,
                            bool enciphered) override;

private:
    // The entry being extracted, from EntryStarts until its verdict is told.
    struct TCurrentEntry {
        bool Open = false;
        bool Directory = false;
        int Index = 0;
        std::string Name;
        std::uint32_t Crc = 0;
        std::uint32_t DosDateTime = 0;
        int Error = 0;          // the first engine error it met
        int SkipType = -1;      // UnZipSkipTypes, when a decision left it out
        bool Ended = false;     // its check ran
        bool Passed = false;
        std::uint32_t FoundCrc = 0;
        int PasswordRequests = 0;
    };

    // The request's answer; a caller asking to stop cancels the operation.
    const ZipCallbackRecord& Request(ZipEngRequest code, std::int32_t arg1, std::int32_t arg2, std::string_view text,
                                     std::int64_t size = 0);
    // Tells the current entry's verdict.
    void FinishEntry();
    void Error(const std::string& file, const std::string& extended, int code);
    bool Begins(const std::string& path);
    bool Overwrites(const std::string& path);
    std::string Renamed(const std::string& path);
    bool AskPassword(std::string& password);

    TRequestChannel& requests_;
    TUnzEngOptions options_;
    TCurrentEntry current_;
    int succeeded_ = 0;
    bool no_more_passwords_ = false;  // the caller chose "cancel all"
};

}  // namespace kv
