#include "engine/core/temp_archive.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "engine/core/error_codes.h"
#include "platform/paths.h"

namespace kv {
namespace {

using platform::TReplaceStage;

// The engine code of a failed move and the file it concerns.
std::pair<int, std::string> DescribeFailure(const platform::TReplaceResult& result, const std::string& archive,
                                            const std::string& temp_file) {
    if (result.DiskFull()) return {ecode::kDiskFull, archive};
    switch (result.Stage) {
        case TReplaceStage::rsOpenSource: return {ecode::kErrorOpeningFile, temp_file};
        case TReplaceStage::rsReadSource: return {ecode::kErrorReadingFile, temp_file};
        case TReplaceStage::rsCreateTarget: return {ecode::kErrorCreatingFile, archive};
        case TReplaceStage::rsWriteTarget: return {ecode::kErrorWritingToFile, archive};
        case TReplaceStage::rsRename: return {ecode::kErrorUpdatingArchive, archive};
        case TReplaceStage::rsNone: break;
    }
    return {ecode::kUnknownError, archive};
}

}  // namespace

int TTempArchive::MoveOverArchive(const std::string& archive) {
    TStream32& stream = Stream();
    if (stream.CancelFlag != nullptr && *stream.CancelFlag) return ecode::kUserCanceled;
    bool cancel = false;
    if (OnTmpFileMoveBegin) OnTmpFileMoveBegin(archive, TempFileName(), cancel);
    if (cancel) return ecode::kUserCanceled;

    const platform::TReplaceResult result = Replace(archive, [this](std::int64_t done, std::int64_t total) {
        if (OnTmpFileProgress) OnTmpFileProgress(done, total);
    });
    if (!result.Ok()) {
        const auto [code, file] = DescribeFailure(result, archive, TempFileName());
        if (OnMoveError) OnMoveError(code, file);
        return code;
    }
    moved_ = true;
    if (OnTmpFileMoveEnd) OnTmpFileMoveEnd(archive);
    return 0;
}

TTempFileStream::TTempFileStream(const std::string& temp_dir)
    : TTempFileStream([&temp_dir] {
          const std::string folder = temp_dir.empty() ? platform::SystemTempDirectory() : temp_dir;
          std::string name = platform::IncludeTrailingDelimiter(folder) + "kvXXXXXX.tmp";
          const int handle = ::mkostemps(name.data(), 4, O_CLOEXEC);
          const int error = errno;
          if (handle < 0) name.clear();
          errno = error;
          return TCreatedFile{handle, std::move(name)};
      }()) {}

TTempFileStream::TTempFileStream(TCreatedFile file)
    : THandleStream32(file.Handle, true), temp_file_name_(std::move(file.Name)) {
    if (!IsValid()) SetLastError(errno);
}

TTempFileStream::~TTempFileStream() {
    Close();
    if (!Moved() && !temp_file_name_.empty()) ::unlink(temp_file_name_.c_str());
}

platform::TReplaceResult TTempFileStream::Replace(const std::string& archive,
                                                  const platform::TCopyProgress& progress) {
    if (!IsValid()) return {TReplaceStage::rsOpenSource, EBADF};
    // Whatever happens next, the writer is done with the file.
    Close();
    return platform::MoveFileOver(temp_file_name_, archive, progress, FileOps);
}

platform::TReplaceResult TTempMemStream::Replace(const std::string& archive, const platform::TCopyProgress& progress) {
    const std::uint8_t* data = Memory();
    const std::int64_t size = Size();
    std::int64_t offset = 0;
    const auto read = [&](void* buffer, std::int64_t count) -> std::int64_t {
        const std::int64_t n = std::min(count, size - offset);
        if (n > 0) std::memcpy(buffer, data + offset, static_cast<std::size_t>(n));
        offset += n;
        return n;
    };
    return platform::WriteFileOver(archive, read, size, progress, FileOps);
}

std::unique_ptr<TTempArchive> CreateTempArchive(TCompressionMethod method, const std::string& temp_dir) {
    if (method == cmInMemory) return std::make_unique<TTempMemStream>();
    return std::make_unique<TTempFileStream>(temp_dir);
}

}  // namespace kv
