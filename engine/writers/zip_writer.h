#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/writers/comp_base.h"
#include "engine/writers/entry_encoder.h"
#include "engine/writers/existing_zip.h"
#include "engine/writers/ordered_encoder.h"
#include "engine/writers/zip_archive_writer.h"

namespace kv {

// The ZIP manager has a base of the same name; the engine's lives in a namespace of its own.
namespace writers {

// The ZIP format of the compression run: kept entries are copied as raw bytes, new files are stored,
// deflated or BZIP2-compressed (in memory up to a budget, streamed beyond it), enciphered with the classic
// cipher when there is a password, and the archive ends with its central directory.
class TZipBase : public TCompBase {
public:
    // Replaces the archive comment and the comments of the named entries (names compared case-insensitively)
    // without recompressing anything. The new archive is built beside the old one from its raw entries and
    // then put in its place; false (reported) leaves the archive as it was.
    bool SetComments(const std::string& archive_comment, const std::map<std::string, std::string>& entry_comments);

protected:
    using TCompBase::TCompBase;

    bool ReadArchive(TStream32& archive, TCompressHeaderObj& headers) override;
    bool BeginArchive(TStream32& out, TStream32* old_archive, const TCompressHeaderObj& headers) override;
    TItemOutcome CompressItem(std::size_t index, const TCompressHeader& item) override;
    void SkipItem(std::size_t index) override;
    bool CopyItem(const TCompressHeader& item) override;
    bool FinishArchive() override;
    void EndRun() override;

private:
    // How one file to add is written.
    struct TPlannedFile {
        TZipRecordEntry Header;
        TEntryEncoding Encoding;
        bool Folder = false;
        bool Link = false;      // data: the link's target text, stored
        bool Supported = true;  // the method is one this writer has
        bool Streamed = false;  // too large to be encoded in memory
        // Read and encoded ahead by the ordered encoder.
        bool Encoded() const { return !Folder && Supported && !Streamed; }
    };
    TPlannedFile Plan(const TCompressHeader& item) const;
    bool StoredByType(const std::string& stored_name) const;
    TItemOutcome Stream(const TCompressHeader& item, const TPlannedFile& plan);

    std::optional<TExistingZip> old_;
    TStream32* old_stream_ = nullptr;
    std::unique_ptr<TZipArchiveWriter> writer_;
    std::vector<std::optional<TPlannedFile>> planned_;  // by list index
    std::unique_ptr<TOrderedEncoder> encoder_;
};

}  // namespace writers

// The ZIP writer: store, deflate or BZIP2 (the default).
class TZip : public writers::TZipBase {
public:
    TZip();

protected:
    bool AcceptsMethod(TCompressMethod method) const override;
    TArcType WriterArcType() const override { return atZip; }
};

// The JAR writer: store or deflate (the default).
class TJar : public writers::TZipBase {
public:
    TJar();

protected:
    bool AcceptsMethod(TCompressMethod method) const override;
    TArcType WriterArcType() const override { return atJar; }
};

}  // namespace kv
