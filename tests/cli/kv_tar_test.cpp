// kv with TAR, TAR.GZ, GZIP and BZIP2: what kv writes GNU tar, bsdtar, gzip and bzip2 read back byte for
// byte, what they write kv reads, a compressed TAR is read and changed as the TAR it holds, and single
// files are compressed and decompressed.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <set>
#include <string>

#include "cli/kv_tree_fixture.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class KvTar : public test::KvTreeTest {
protected:
    // The entry names kv lists for the archive.
    std::set<std::string> ListedNames(const std::string& archive) {
        std::set<std::string> names;
        const nlohmann::json listing = Listing(archive);
        if (!listing.is_object()) return names;
        for (const auto& entry : listing["entries"])
            if (!entry["dir"].get<bool>()) names.insert(entry["name"].get<std::string>());
        return names;
    }
};

TEST_F(KvTar, WhatKvWritesPeersReadAndKvReadsBack) {
    const struct {
        const char* archive;
        const char* peer_extract;  // with %s for the archive; run in the target folder
    } cases[] = {
        {"kv.tar", "tar -xf ../%s"},
        {"kv.tar.gz", "tar -xzf ../%s"},
        {"kv.tgz", "bsdtar -xf ../%s"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        std::string out;
        ASSERT_EQ(Run(std::string("a -r ") + c.archive + " src", &out), 0) << out;
        // Only the archive: no TAR is left beside a compressed one.
        EXPECT_EQ(fs::exists(dir_ / "kv.tar"), std::string(c.archive) == "kv.tar");

        const std::string peer = std::string(c.peer_extract).substr(0, std::string(c.peer_extract).find(' '));
        if (test::HaveProgram(peer)) {
            const std::string target = std::string("peer-") + c.archive;
            fs::create_directories(dir_ / target);
            char command[200];
            std::snprintf(command, sizeof command, c.peer_extract, c.archive);
            ASSERT_EQ(Sh("cd " + target + " && " + command, &out), 0) << out;
            ExpectSameTree(dir_ / target);
        }
        const std::string target = std::string("kv-") + c.archive;
        ASSERT_EQ(Run(std::string("x ") + c.archive + " -o " + target, &out), 0) << out;
        ExpectSameTree(dir_ / target);
        EXPECT_EQ(Run(std::string("t ") + c.archive, &out), 0) << out;
        EXPECT_TRUE(ListedNames(c.archive).contains("src/sub/deeper/bin.dat"));
        if (std::string(c.archive) == "kv.tar") fs::remove(dir_ / "kv.tar");
    }
}

TEST_F(KvTar, ReadsWhatPeersWrite) {
    const struct {
        const char* archive;
        const char* peer_create;
    } cases[] = {
        {"gnu.tar", "tar -cf gnu.tar src"},
        {"gnu.tar.gz", "tar -czf gnu.tar.gz src"},
        {"gnu.tar.bz2", "tar -cjf gnu.tar.bz2 src"},
        {"pax.tar", "tar --format=pax -cf pax.tar src"},
        {"bsd.tgz", "bsdtar -czf bsd.tgz src"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        const std::string peer = std::string(c.peer_create).substr(0, std::string(c.peer_create).find(' '));
        if (!test::HaveProgram(peer)) continue;
        std::string out;
        ASSERT_EQ(Sh(c.peer_create, &out), 0) << out;
        const std::string target = std::string("out-") + c.archive;
        ASSERT_EQ(Run(std::string("x ") + c.archive + " -o " + target, &out), 0) << out;
        ExpectSameTree(dir_ / target);
        EXPECT_EQ(Run(std::string("t ") + c.archive, &out), 0) << out;
    }
}

TEST_F(KvTar, ChangesACompressedTarKeepingItsEntries) {
    if (!test::HaveProgram("tar")) GTEST_SKIP() << "no tar";
    std::string out;
    ASSERT_EQ(Sh("tar -czf t.tar.gz src/text.txt src/sub && echo untouched > t.tar", &out), 0) << out;
    ASSERT_EQ(Run("a t.tar.gz src/empty.txt", &out), 0) << out;
    ASSERT_EQ(Run("d t.tar.gz 'src/sub/small.txt'", &out), 0) << out;
    ASSERT_EQ(Sh("(tar -tzf t.tar.gz | grep -v '/$' | sort)", &out), 0) << out;
    EXPECT_EQ(out, "src/empty.txt\nsrc/sub/deeper/bin.dat\nsrc/text.txt\n");
    EXPECT_EQ(test::ReadFile(dir_ / "t.tar"), "untouched\n");
}

TEST_F(KvTar, CompressesAndDecompressesSingleFiles) {
    const struct {
        const char* type;
        const char* made;
        const char* peer_decompress;
    } cases[] = {
        {"gz", "text.txt.gz", "gzip -dc text.txt.gz"},
        {"bz2", "text.txt.bz2", "bzip2 -dc text.txt.bz2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        std::string out;
        ASSERT_EQ(Run(std::string("a -t ") + c.type + " " + c.made + " src/text.txt", &out), 0) << out;
        ASSERT_TRUE(fs::exists(dir_ / c.made));
        const std::string peer = std::string(c.peer_decompress).substr(0, std::string(c.peer_decompress).find(' '));
        if (test::HaveProgram(peer)) {
            ASSERT_EQ(Sh(c.peer_decompress + std::string(" > peer.txt"), &out), 0) << out;
            EXPECT_EQ(test::ReadFile(dir_ / "peer.txt"), test::ReadFile(src() / "text.txt"));
        }
        ASSERT_EQ(Run(std::string("x ") + c.made + " -o back", &out), 0) << out;
        EXPECT_EQ(test::ReadFile(dir_ / "back" / "text.txt"), test::ReadFile(src() / "text.txt"));
        fs::remove_all(dir_ / "back");
    }
}

TEST_F(KvTar, ADamagedOuterLayerFailsTheRun) {
    std::string out;
    ASSERT_EQ(Run("a -r d.tar.gz src", &out), 0) << out;
    std::string bytes = test::ReadFile(dir_ / "d.tar.gz");
    bytes[bytes.size() - 6] ^= 0x55;  // the CRC-32 at the end
    test::WriteFile(dir_ / "d.tar.gz", bytes);
    // Run with a temporary folder of the test's own, which the scratch copy of the TAR must leave empty.
    fs::create_directories(dir_ / "tmp");
    const std::string kv = "TMPDIR=\"$PWD/tmp\" " + test::Kv();
    EXPECT_NE(Sh(kv + " t d.tar.gz", &out), 0) << out;
    EXPECT_NE(Sh(kv + " x d.tar.gz -o out", &out), 0) << out;
    EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
}

// A member of a compressed TAR that exists on disk is left alone with -n and replaced with -y, as any
// archive's entries are.
TEST_F(KvTar, ExistingFilesOfACompressedTarAreAskedAbout) {
    std::string out;
    ASSERT_EQ(Run("a -r e.tar.gz src", &out), 0) << out;
    ASSERT_EQ(Run("x e.tar.gz -o out", &out), 0) << out;
    for (const char* answer : {"-n", "-y"}) {
        SCOPED_TRACE(answer);
        test::WriteFile(dir_ / "out/src/sub/small.txt", "changed\n");
        EXPECT_EQ(Run(std::string("x e.tar.gz -o out ") + answer, &out), 0) << out;
        EXPECT_EQ(test::ReadFile(dir_ / "out/src/sub/small.txt"), std::string(answer) == "-n" ? "changed\n" : "small\n");
    }
}

// A .tar.gz cut short is read as far as it goes: kv x writes the members before the cut and exits 1, kv l
// lists them; nothing of the TAR lands in the temporary folder, and no message names a file there.
TEST_F(KvTar, ACutCompressedTarGivesTheMembersBeforeTheCut) {
    if (!test::HaveProgram("tar") || !test::HaveProgram("gzip")) GTEST_SKIP() << "no tar or gzip";
    std::string out;
    ASSERT_EQ(Sh("tar -czf c.tar.gz -C src sub/small.txt text.txt sub/deeper/bin.dat", &out), 0) << out;
    fs::resize_file(dir_ / "c.tar.gz", fs::file_size(dir_ / "c.tar.gz") / 2);
    fs::create_directories(dir_ / "tmp");
    const std::string kv = "TMPDIR=\"$PWD/tmp\" " + test::Kv();
    EXPECT_EQ(Sh(kv + " x c.tar.gz -o out", &out), 1) << out;
    EXPECT_EQ(out.find(".tar:"), std::string::npos) << out;
    EXPECT_EQ(test::ReadFile(dir_ / "out/sub/small.txt"), "small\n");
    EXPECT_EQ(Sh(kv + " l c.tar.gz", &out), 0) << out;
    EXPECT_NE(out.find("sub/small.txt"), std::string::npos) << out;
    EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
}

}  // namespace
}  // namespace kv
