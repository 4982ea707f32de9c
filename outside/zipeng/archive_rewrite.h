#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/stream32.h"
#include "engine/core/temp_archive.h"
#include "engine/writers/existing_zip.h"
#include "engine/writers/zip_archive_writer.h"
#include "outside/zipeng/job_reporter.h"

namespace kv::zipeng {

// The archive a job rewrites: its old content, read once, and the new one built in a temporary file that
// is put in its place only when complete. Until then the archive is not touched; a job that stops
// leaves it byte for byte as it was and the temporary file is removed.
class TArchiveRewrite {
public:
    TArchiveRewrite(std::string archive, TJobReporter& reporter) : archive_(std::move(archive)), reporter_(reporter) {}

    // Reads the existing archive's directory; a missing archive is an empty new one. False (reported)
    // when it cannot be read or is damaged.
    bool Open();
    bool Existed() const { return old_stream_ != nullptr; }
    const TExistingZip& Old() const { return old_; }

    // Creates the temporary file (in `temp_dir`, else beside the archive) and copies the stub and the
    // kept entries into it (step 2). False when it failed (reported) or the job was stopped.
    bool Begin(const std::string& temp_dir, const std::vector<const TKeptEntry*>& kept);
    TZipArchiveWriter& Writer() { return *writer_; }
    const TZipArchiveWriter& Writer() const { return *writer_; }
    // Copies one more entry of the old archive (an entry whose replacement failed); false when that failed.
    bool CopyKept(const TKeptEntry& entry);
    // Reports a failed write of the new archive.
    void ReportWriteError();
    // Writes the central directory (step 7) and moves the new archive over the old one. False when it
    // failed (reported) or the job was stopped; the archive is then unchanged.
    bool Finish(const std::string& comment);

private:
    std::string archive_;
    TJobReporter& reporter_;
    std::unique_ptr<TFileStream32> old_stream_;
    TExistingZip old_;
    std::unique_ptr<TTempFileStream> temp_;
    std::unique_ptr<TZipArchiveWriter> writer_;
};

}  // namespace kv::zipeng
