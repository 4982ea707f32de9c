#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/error_codes.h"
#include "engine/core/temp_archive.h"
#include "support/folder_contents.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

constexpr char kOriginal[] = "ORIGINAL ARCHIVE CONTENT";

std::string NewContent(std::size_t size) {
    std::string content(size, '\0');
    for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>('a' + i % 23);
    return content;
}

struct Recorder {
    std::vector<std::string> events;
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    std::vector<std::pair<int, std::string>> errors;

    void Attach(TTempArchive& temp) {
        temp.OnTmpFileMoveBegin = [this](const std::string& archive, const std::string& temp_name, bool&) {
            events.push_back("begin " + fs::path(archive).filename().string() + (temp_name.empty() ? "" : " file"));
        };
        temp.OnTmpFileProgress = [this](std::int64_t done, std::int64_t total) { progress.emplace_back(done, total); };
        temp.OnTmpFileMoveEnd = [this](const std::string&) { events.push_back("end"); };
        temp.OnMoveError = [this](int code, const std::string& file) { errors.emplace_back(code, file); };
    }
};

class TempArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(temp_dir_);
        test::WriteFile(archive_, kOriginal);
        ::chmod(archive_.c_str(), 0640);
    }

    std::unique_ptr<TTempArchive> Build(TCompressionMethod method, const std::string& content) {
        auto temp = CreateTempArchive(method, temp_dir_.string());
        EXPECT_EQ(temp->Stream().WriteFull(content.data(), static_cast<std::int64_t>(content.size())),
                  static_cast<std::int64_t>(content.size()));
        recorder_.Attach(*temp);
        return temp;
    }

    void ExpectOriginalUntouched() {
        EXPECT_EQ(test::ReadFile(archive_), kOriginal);
        EXPECT_EQ(test::FolderNames(dir_.Path()), (std::vector<std::string>{"a.zip", "tmp"}));  // no half-made sibling
    }

    test::TempDir dir_;
    fs::path temp_dir_ = dir_ / "tmp";
    fs::path archive_ = dir_ / "a.zip";
    Recorder recorder_;
};

TEST_F(TempArchiveTest, RenameOnOneFileSystemKeepsThePermissions) {
    const std::string content = NewContent(100'000);
    auto temp = Build(cmTempFile, content);
    const std::string temp_name = temp->TempFileName();
    ASSERT_TRUE(fs::exists(temp_name));
    EXPECT_EQ(fs::path(temp_name).parent_path(), temp_dir_);

    EXPECT_EQ(temp->MoveOverArchive(archive_.string()), 0);
    EXPECT_TRUE(temp->Moved());
    EXPECT_EQ(test::ReadFile(archive_), content);
    EXPECT_FALSE(fs::exists(temp_name));
    EXPECT_EQ(recorder_.events, (std::vector<std::string>{"begin a.zip file", "end"}));
    ASSERT_FALSE(recorder_.progress.empty());
    EXPECT_EQ(recorder_.progress.back(), std::make_pair(std::int64_t{100'000}, std::int64_t{100'000}));
    struct stat info {};
    ASSERT_EQ(::stat(archive_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    temp.reset();
    EXPECT_EQ(test::ReadFile(archive_), content);
}

TEST_F(TempArchiveTest, CopyAcrossFileSystemsThroughASibling) {
    const std::string content = NewContent(1'000'000);
    auto temp = Build(cmTempFile, content);
    const std::string temp_name = temp->TempFileName();
    std::vector<std::string> renames;
    temp->FileOps.Rename = [&](const std::string& from, const std::string& to) {
        renames.push_back(from);
        if (from == temp_name) {
            errno = EXDEV;
            return -1;
        }
        return platform::TFileOps::DefaultRename(from, to);
    };

    EXPECT_EQ(temp->MoveOverArchive(archive_.string()), 0);
    EXPECT_EQ(test::ReadFile(archive_), content);
    EXPECT_FALSE(fs::exists(temp_name));
    ASSERT_EQ(renames.size(), 2u);
    EXPECT_EQ(fs::path(renames[1]).parent_path(), dir_.Path());  // the copy was renamed from the archive's folder
    EXPECT_EQ(test::FolderNames(dir_.Path()), (std::vector<std::string>{"a.zip", "tmp"}));
    EXPECT_GT(recorder_.progress.size(), 2u);
    EXPECT_EQ(recorder_.progress.back(), std::make_pair(std::int64_t{1'000'000}, std::int64_t{1'000'000}));
    struct stat info {};
    ASSERT_EQ(::stat(archive_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(TempArchiveTest, SymbolicLinkedArchiveHasItsFileReplaced) {
    const fs::path link = dir_ / "link.zip";
    fs::create_symlink(archive_, link);
    auto temp = Build(cmInMemory, "NEW");
    EXPECT_EQ(temp->MoveOverArchive(link.string()), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(test::ReadFile(archive_), "NEW");
}

TEST_F(TempArchiveTest, NewArchiveIsCreated) {
    const fs::path fresh = dir_ / "new.zip";
    for (TCompressionMethod method : {cmTempFile, cmInMemory}) {
        fs::remove(fresh);
        auto temp = Build(method, "FRESH");
        EXPECT_EQ(temp->MoveOverArchive(fresh.string()), 0);
        EXPECT_EQ(test::ReadFile(fresh), "FRESH");
    }
}

struct FailureCase {
    const char* name;
    TCompressionMethod method;
    bool force_copy;
    enum { kWrite, kSync, kRename } failing;
    int error;
    int expected_code;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class TempArchiveFailure : public TempArchiveTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(TempArchiveFailure, LeavesTheOriginalByteForByte) {
    const FailureCase& c = GetParam();
    auto temp = Build(c.method, NewContent(700'000));
    const std::string temp_name = temp->TempFileName();
    // Writes go to /dev/full when they are to fail, so the kernel itself says the disk is full.
    const int dev_full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(dev_full, 0);
    std::int64_t written = 0;
    temp->FileOps.Write = [&](int fd, const void* data, std::size_t size) -> ssize_t {
        if (c.failing == FailureCase::kWrite && written > 300'000) return ::write(dev_full, data, size);
        const ssize_t put = ::write(fd, data, size);
        if (put > 0) written += put;
        return put;
    };
    temp->FileOps.Sync = [&](int fd) {
        if (c.failing == FailureCase::kSync) {
            errno = c.error;
            return -1;
        }
        return platform::TFileOps::DefaultSync(fd);
    };
    temp->FileOps.Rename = [&](const std::string& from, const std::string& to) {
        if (c.force_copy && from == temp_name) {
            errno = EXDEV;
            return -1;
        }
        if (c.failing == FailureCase::kRename) {
            errno = c.error;
            return -1;
        }
        return platform::TFileOps::DefaultRename(from, to);
    };

    EXPECT_EQ(temp->MoveOverArchive(archive_.string()), c.expected_code);
    ::close(dev_full);
    EXPECT_FALSE(temp->Moved());
    ExpectOriginalUntouched();
    ASSERT_EQ(recorder_.errors.size(), 1u);
    EXPECT_EQ(recorder_.errors[0], std::make_pair(c.expected_code, archive_.string()));
    EXPECT_EQ(recorder_.events.size(), 1u);  // begin, and no end

    temp.reset();
    EXPECT_TRUE(fs::is_empty(temp_dir_));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TempArchiveFailure,
    ::testing::Values(FailureCase{"CopyWriteDiskFull", cmTempFile, true, FailureCase::kWrite, ENOSPC, 25160},
                      FailureCase{"CopySyncDiskFull", cmTempFile, true, FailureCase::kSync, ENOSPC, 25160},
                      FailureCase{"RenameSyncDiskFull", cmTempFile, false, FailureCase::kSync, ENOSPC, 25160},
                      FailureCase{"CopySyncQuota", cmTempFile, true, FailureCase::kSync, EDQUOT, 25160},
                      FailureCase{"CopySyncIoError", cmTempFile, true, FailureCase::kSync, EIO, 25136},
                      FailureCase{"RenameRefused", cmTempFile, false, FailureCase::kRename, EACCES, 25350},
                      FailureCase{"CopyRenameRefused", cmTempFile, true, FailureCase::kRename, EACCES, 25350},
                      FailureCase{"MemoryWriteDiskFull", cmInMemory, false, FailureCase::kWrite, ENOSPC, 25160},
                      FailureCase{"MemorySyncIoError", cmInMemory, false, FailureCase::kSync, EIO, 25136}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(TempArchiveTest, CancelledRunsMoveNothing) {
    bool cancel_flag = true;
    auto cancelled = Build(cmTempFile, "NEW");
    cancelled->Stream().CancelFlag = &cancel_flag;
    EXPECT_EQ(cancelled->MoveOverArchive(archive_.string()), ecode::kUserCanceled);
    EXPECT_TRUE(recorder_.events.empty());

    auto refused = Build(cmInMemory, "NEW");
    refused->OnTmpFileMoveBegin = [](const std::string&, const std::string&, bool& cancel) { cancel = true; };
    EXPECT_EQ(refused->MoveOverArchive(archive_.string()), ecode::kUserCanceled);

    EXPECT_TRUE(recorder_.errors.empty());
    cancelled.reset();
    refused.reset();
    ExpectOriginalUntouched();
    EXPECT_TRUE(fs::is_empty(temp_dir_));
}

TEST_F(TempArchiveTest, TempFileThatCannotBeCreatedLeavesAnInvalidHandle) {
    TTempFileStream stream((dir_ / "no-such-folder").string());
    EXPECT_FALSE(stream.IsValid());
    EXPECT_TRUE(stream.TempFileName().empty());
    EXPECT_EQ(stream.MoveOverArchive(archive_.string()), ecode::kErrorOpeningFile);
    ExpectOriginalUntouched();
}

}  // namespace
}  // namespace kv
