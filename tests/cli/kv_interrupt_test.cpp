// A kv run that is ended by a signal leaves no temporary files behind, and a copy that a killed run left
// beside an archive goes when the archive is next written.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "cli/kv_program.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// Everything below `folder` that is a file, however deep.
int FilesBelow(const fs::path& folder) {
    int count = 0;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->is_regular_file(error)) ++count;
    }
    return count;
}

// Incompressible bytes, so that the best level keeps kv busy for a while.
void WriteNoise(const fs::path& path, std::size_t size) {
    std::mt19937_64 random(42);
    std::ofstream out(path, std::ios::binary);
    for (std::size_t done = 0; done < size; done += sizeof(std::uint64_t)) {
        const std::uint64_t value = random();
        out.write(reinterpret_cast<const char*>(&value), sizeof value);
    }
}

class KvInterrupt : public ::testing::TestWithParam<int> {
protected:
    test::TempDir dir_;
};

// Started with its own temporary directory, kv is stopped by the signal once its temporary archive
// exists; the temporary directory is then empty again and no archive was made.
TEST_P(KvInterrupt, RemovesItsTemporaryFiles) {
    const fs::path temp = dir_ / "temp";
    fs::create_directory(temp);
    WriteNoise(dir_ / "big.bin", 64u << 20);
    const std::string archive = (dir_ / "big.zip").string();
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("TMPDIR", temp.c_str(), 1);
        const std::string kv = test::Kv();
        const std::string source = (dir_ / "big.bin").string();
        ::execl(kv.c_str(), kv.c_str(), "a", "-mx", "9", archive.c_str(), source.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(child, 0);
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (FilesBelow(temp) == 0 && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const bool was_writing = FilesBelow(temp) > 0;
    ::kill(child, GetParam());
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(was_writing) << "kv made no temporary file";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == GetParam()) << status;
    EXPECT_TRUE(fs::is_empty(temp)) << FilesBelow(temp) << " files left";
    EXPECT_FALSE(fs::exists(archive));
}

INSTANTIATE_TEST_SUITE_P(Signals, KvInterrupt, ::testing::Values(SIGINT, SIGTERM, SIGHUP));

TEST(KvLeftovers, CopiesOfAKilledRunGoWhenTheArchiveIsWrittenAgain) {
    test::TempDir dir;
    test::WriteFile(dir / "a.txt", "one\n");
    ASSERT_EQ(test::RunCommand("cd " + test::Quoted(dir.Path()) + " && " + test::Kv() + " a a.zip a.txt"), 0);
    // What a killed run leaves, what another name's run has, and a file of the user's that merely looks alike.
    const fs::path abandoned = dir / ".a.zip.kvAb12Cd";
    const fs::path other_archive = dir / ".b.zip.kvAb12Cd";
    const fs::path users = dir / ".a.zip.kv-notes";
    for (const fs::path& path : {abandoned, other_archive, users}) test::WriteFile(path, "partial");
    test::WriteFile(dir / "b.txt", "two\n");
    ASSERT_EQ(test::RunCommand("cd " + test::Quoted(dir.Path()) + " && " + test::Kv() + " a a.zip b.txt"), 0);
    EXPECT_FALSE(fs::exists(abandoned));
    EXPECT_TRUE(fs::exists(other_archive));
    EXPECT_TRUE(fs::exists(users));
}

}  // namespace
}  // namespace kv
