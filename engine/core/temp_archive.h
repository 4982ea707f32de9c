#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/core/entry_enums.h"
#include "engine/core/memory_stream.h"
#include "engine/core/stream32.h"
#include "platform/replace_file.h"

namespace kv {

// A writer's new archive while it is being built, and its final move over the archive file. The move is
// an explicit call so that its failures can be reported; until it succeeds the archive file is left
// byte for byte as it was, and dropping an unmoved temporary archive removes its temporary file.
class TTempArchive {
public:
    virtual ~TTempArchive() = default;

    virtual TStream32& Stream() = 0;
    // The temporary file's name; empty while the archive is built in memory.
    virtual const std::string& TempFileName() const = 0;

    // Hooks for the writers' events.
    std::function<void(const std::string& Archive, const std::string& TempFileName, bool& Cancel)> OnTmpFileMoveBegin;
    std::function<void(std::int64_t Copied, std::int64_t Total)> OnTmpFileProgress;
    std::function<void(const std::string& Archive)> OnTmpFileMoveEnd;
    std::function<void(int ECode, const std::string& FileName)> OnMoveError;
    // The file-system calls of the move (tests make them fail).
    platform::TFileOps FileOps;

    // Puts the finished archive in place of `archive` (created when it does not exist). Nothing moves when
    // the stream's cancel flag is set or OnTmpFileMoveBegin cancels: the result is then "User canceled",
    // not reported. A failure is reported through OnMoveError ("Disk full" when the disk filled up) and
    // returned. Returns 0 when the archive was replaced.
    int MoveOverArchive(const std::string& archive);
    bool Moved() const { return moved_; }

protected:
    virtual platform::TReplaceResult Replace(const std::string& archive, const platform::TCopyProgress& progress) = 0;

private:
    bool moved_ = false;
};

// The new archive in a temporary file created in a folder (the system's temporary folder when empty).
// When the file cannot be created the handle is invalid, as with TFileStream32.
class TTempFileStream : public THandleStream32, public TTempArchive {
public:
    explicit TTempFileStream(const std::string& temp_dir);
    ~TTempFileStream() override;

    TStream32& Stream() override { return *this; }
    const std::string& TempFileName() const override { return temp_file_name_; }

protected:
    platform::TReplaceResult Replace(const std::string& archive, const platform::TCopyProgress& progress) override;

private:
    struct TCreatedFile {
        int Handle;
        std::string Name;
    };
    explicit TTempFileStream(TCreatedFile file);

    std::string temp_file_name_;
};

// The new archive in memory.
class TTempMemStream : public TMemoryStream32, public TTempArchive {
public:
    TStream32& Stream() override { return *this; }
    const std::string& TempFileName() const override { return no_file_name_; }

protected:
    platform::TReplaceResult Replace(const std::string& archive, const platform::TCopyProgress& progress) override;

private:
    std::string no_file_name_;
};

// The temporary archive `method` asks for: a file in temp_dir (cmTempFile) or memory (cmInMemory).
std::unique_ptr<TTempArchive> CreateTempArchive(TCompressionMethod method, const std::string& temp_dir);

}  // namespace kv
