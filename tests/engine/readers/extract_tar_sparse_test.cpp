// Sparse TAR members as GNU tar and bsdtar write them (old GNU headers, pax 0.0, 0.1 and 1.0): the file
// comes back with its holes left as holes and is listed at its full size; a map that does not fit its
// member fails that member alone.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/archiver.h"
#include "support/listing.h"
#include "support/tar_builder.h"
#include "support/tar_reader_run.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kSparseSize = 64 * 1024 * 1024;
constexpr std::int64_t kFirstDataAt = 10 * 1024 * 1024;

std::int64_t AllocatedBytes(const fs::path& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? static_cast<std::int64_t>(status.st_blocks) * 512 : -1;
}

class SparseTarTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "src");
        const fs::path file = dir_ / "src/holes.bin";
        // 64 MiB with 4 KiB of data in the middle and 3 bytes at the very end.
        ASSERT_EQ(test::RunCommand("truncate -s " + std::to_string(kSparseSize) + " '" + file.string() + "'"), 0);
        ASSERT_EQ(test::RunCommand("printf 'x%.0s' $(seq 4096) | dd of='" + file.string() +
                                   "' bs=1M seek=10 conv=notrunc status=none"),
                  0);
        ASSERT_EQ(test::RunCommand("printf end | dd of='" + file.string() +
                                   "' bs=1 seek=" + std::to_string(kSparseSize - 3) + " conv=notrunc status=none"),
                  0);
        test::WriteFile(dir_ / "src/after.txt", "after\n");
    }

    bool Make(const std::string& tool, const std::string& command) {
        return test::RunArchiver(tool, dir_ / "src", command);
    }

    void ExpectSparseFileBack(const std::string& archive) {
        SCOPED_TRACE(archive);
        const fs::path out = dir_ / ("out-" + archive);
        const test::TarRun run = test::RunTarReader(dir_ / archive, out, false);
        EXPECT_EQ(run.reported, "");
        const fs::path file = out / "holes.bin";
        ASSERT_TRUE(fs::is_regular_file(file));
        EXPECT_EQ(fs::file_size(file), static_cast<std::uintmax_t>(kSparseSize));
        EXPECT_EQ(test::ReadFile(file), test::ReadFile(dir_ / "src/holes.bin"));
        // The holes take no room: the data blocks and little more.
        EXPECT_LT(AllocatedBytes(file), 1024 * 1024);
        EXPECT_EQ(test::ReadFile(out / "after.txt"), "after\n");
        EXPECT_EQ(test::RunTarReader(dir_ / archive, dir_ / "nowhere", true).reported, "");

        const test::Listing listing = test::ListArchive((dir_ / archive).string());
        ASSERT_EQ(test::Names(listing), (std::vector<std::string>{"holes.bin", "after.txt"}));
        EXPECT_EQ(listing.entries[0].UnpackedSize, kSparseSize);
        EXPECT_LT(listing.entries[0].PackedSize, 1024 * 1024);
    }

    test::TempDir dir_;
};

TEST_F(SparseTarTest, GnuTarFormats) {
    if (!Make("tar", "tar --format=gnu --sparse -cf ../gnu.tar holes.bin after.txt")) GTEST_SKIP() << "GNU tar absent";
    ExpectSparseFileBack("gnu.tar");
    for (const char* version : {"0.0", "0.1", "1.0"}) {
        const std::string archive = std::string("pax-") + version + ".tar";
        ASSERT_TRUE(Make("tar", "tar --format=pax --sparse --sparse-version=" + std::string(version) + " -cf ../" +
                                    archive + " holes.bin after.txt"));
        ExpectSparseFileBack(archive);
    }
}

TEST_F(SparseTarTest, Bsdtar) {
    if (!Make("bsdtar", "bsdtar --format=pax --read-sparse -cf ../bsd.tar holes.bin after.txt"))
        GTEST_SKIP() << "bsdtar absent";
    ExpectSparseFileBack("bsd.tar");
}

// A pax 0.1 member whose map is `map` over `data`, then a plain member: the bad map fails its member with
// the data error and writes nothing; the plain member is extracted.
TEST(SparseTarMaps, AMapThatDoesNotFitFailsItsMemberAlone) {
    struct Case {
        const char* what;
        std::string real_size;
        std::string map;
    };
    const std::string data(1024, 'd');
    const std::vector<Case> cases = {
        {"past the file's size", "4096", "0,512,4000,512"},
        {"stretches overlapping", "8192", "0,512,256,512"},
        {"stretches out of order", "8192", "4096,512,0,512"},
        {"more data than the member holds", "8192", "0,512,4096,1024"},
        {"a map with an odd count", "8192", "0,512,4096"},
        {"a number that is not one", "8192", "0,512,x,512"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const std::string records = test::PaxRecord("GNU.sparse.size", c.real_size) +
                                    test::PaxRecord("GNU.sparse.name", "bad.bin") +
                                    test::PaxRecord("GNU.sparse.map", c.map);
        const std::string body = test::TarMember({.name = "PaxHeaders/bad", .type = 'x'}, records) +
                                 test::TarMember({.name = "GNUSparseFile.1/bad.bin"}, data) +
                                 test::TarMember({.name = "good.txt"}, "good\n") + test::TarEnd();
        const fs::path archive = dir / "maps.tar";
        test::WriteFile(archive, body);
        for (const bool testing : {true, false}) {
            const test::TarRun run = test::RunTarReader(archive, dir / "out", testing);
            EXPECT_EQ(run.reported, "bad.bin: Decompression error\nbad.bin: fails its check\n");
            EXPECT_EQ(run.passed, std::vector<std::string>{"good.txt"});
        }
        EXPECT_FALSE(fs::exists(dir / "out/bad.bin"));
        EXPECT_EQ(test::ReadFile(dir / "out/good.txt"), "good\n");
    }
}

}  // namespace
}  // namespace kv
