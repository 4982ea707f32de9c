// kv a and kv d: what they write is read back by unzip and 7z and by kv x byte for byte; levels, exclusions,
// passwords with both ciphers, moving, freshening and updating, deleting, and the refusals.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>

#include "cli/kv_tree_fixture.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::Kv;

class KvAdd : public test::KvTreeTest {
protected:
    // Each installed peer tool finds the archive sound (with the password when there is one).
    void ExpectPeersAccept(const std::string& archive, const std::string& password = {}) {
        std::string out;
        if (test::HaveProgram("unzip") && password.empty()) {
            EXPECT_EQ(Sh("unzip -tq " + archive, &out), 0) << archive << out;
        }
        if (test::HaveProgram("7z")) {
            EXPECT_EQ(Sh("7z t -p'" + password + "' " + archive, &out), 0) << archive << out;
        }
    }
};

TEST_F(KvAdd, RoundTripsThroughPeersAndBack) {
    const struct {
        const char* archive;
        const char* options;
        std::set<std::string> left_out;
    } cases[] = {
        {"plain.zip", "-r", {}},
        {"store.zip", "-r -mx 0", {}},
        {"best.zip", "-r -mx9", {}},
        {"excluded.zip", "-r -x '*.dat' -x 'src/sub/small*'", {"sub/deeper/bin.dat", "sub/small.txt"}},
        {"tree.jar", "-r", {}},
        {"stored.jar", "-r -mx 0", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        std::string out;
        ASSERT_EQ(Run(std::string("a ") + c.options + " " + c.archive + " src", &out), 0) << out;
        ExpectPeersAccept(c.archive);
        const std::string target = std::string("out-") + c.archive;
        ASSERT_EQ(Run(std::string("x ") + c.archive + " -o " + target, &out), 0) << out;
        ExpectSameTree(dir_ / target, c.left_out);
    }
    // Level 0 stores, level 9 packs the text at least as tightly as level 6.
    const auto packed = [&](const std::string& archive, const std::string& name) -> std::int64_t {
        const nlohmann::json listing = Listing(archive);
        for (const auto& entry : listing["entries"])
            if (entry["name"] == name) return entry["packed"];
        ADD_FAILURE() << name << " not in " << archive;
        return -1;
    };
    const std::int64_t text_size = static_cast<std::int64_t>(fs::file_size(src() / "text.txt"));
    EXPECT_EQ(packed("store.zip", "src/text.txt"), text_size);
    EXPECT_EQ(packed("stored.jar", "src/text.txt"), text_size);
    EXPECT_LT(packed("plain.zip", "src/text.txt"), text_size / 2);
    EXPECT_LE(packed("best.zip", "src/text.txt"), packed("plain.zip", "src/text.txt"));
}

// Without -r a folder brings only itself; files named one by one keep the names they were given.
TEST_F(KvAdd, NamedFilesWithoutRecursion) {
    std::string out;
    ASSERT_EQ(Run("a some.zip src/text.txt src/sub/small.txt", &out), 0) << out;
    std::set<std::string> names;
    const nlohmann::json listing = Listing("some.zip");
    for (const auto& entry : listing["entries"])
        if (entry["dir"] == false) names.insert(entry["name"]);
    EXPECT_EQ(names, (std::set<std::string>{"text.txt", "sub/small.txt"}));
}

TEST_F(KvAdd, PasswordsWithBothCiphers) {
    if (!test::HaveProgram("7z")) GTEST_SKIP() << "7z is not installed";
    const struct {
        const char* archive;
        const char* cipher;
        const char* method;  // as 7z l -slt names the entries' method
    } cases[] = {
        {"classic.zip", "", "ZipCrypto"},
        {"classic2.zip", "--encrypt=zipcrypto", "ZipCrypto"},
        {"aes.zip", "--encrypt=aes256", "AES-256"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        std::string out;
        ASSERT_EQ(Run(std::string("a -r -p s3cret ") + c.cipher + " " + c.archive + " src", &out), 0) << out;
        ExpectPeersAccept(c.archive, "s3cret");
        EXPECT_EQ(Sh(std::string("(7z l -slt ") + c.archive + " | grep -q 'Method = " + c.method + "')", &out), 0) << out;
        // A wrong password fails: the classic cipher's one-byte check lets it through now and then, but then
        // the data fail their CRC, so the test fails either way.
        EXPECT_NE(Sh(std::string("7z t -pwrong ") + c.archive, &out), 0) << out;
        EXPECT_NE(Run(std::string("t -p wrong ") + c.archive, &out), 0) << out;
        const std::string target = std::string("out-") + c.archive;
        ASSERT_EQ(Run(std::string("x -p s3cret ") + c.archive + " -o " + target, &out), 0) << out;
        ExpectSameTree(dir_ / target);
    }
}

// --move deletes the sources once they are safely in the archive, and not when the add failed.
TEST_F(KvAdd, MoveRemovesSourcesOnlyAfterSuccess) {
    const std::string small = test::ReadFile(src() / "sub" / "small.txt");
    std::string out;
    EXPECT_NE(Run("a --move no/such/folder/m.zip src/sub/small.txt", &out), 0) << out;
    EXPECT_TRUE(fs::exists(src() / "sub" / "small.txt"));

    ASSERT_EQ(Run("a --move m.zip src/sub/small.txt src/text.txt", &out), 0) << out;
    EXPECT_FALSE(fs::exists(src() / "sub" / "small.txt"));
    EXPECT_FALSE(fs::exists(src() / "text.txt"));
    EXPECT_TRUE(fs::exists(src() / "empty.txt"));
    ASSERT_EQ(Run("x m.zip -o out", &out), 0) << out;
    EXPECT_EQ(test::ReadFile(dir_ / "out" / "sub" / "small.txt"), small);
}

// --freshen replaces entries whose file is newer and adds nothing; --update adds new files as well;
// a file older than its entry is left out by both.
TEST_F(KvAdd, FreshenAndUpdateFollowTheDates) {
    const auto now = fs::file_time_type::clock::now();
    const struct {
        const char* mode;
        bool new_file_added;
    } cases[] = {{"--freshen", false}, {"--update", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const fs::path work = dir_ / (std::string("w") + c.mode);
        fs::create_directories(work);
        test::WriteFile(work / "newer.txt", "old contents");
        test::WriteFile(work / "older.txt", "kept contents");
        fs::last_write_time(work / "newer.txt", now - std::chrono::hours(2));
        fs::last_write_time(work / "older.txt", now - std::chrono::hours(2));
        const std::string in = "cd '" + work.string() + "' && " + Kv();
        std::string out;
        ASSERT_EQ(Sh(in + " a a.zip newer.txt older.txt", &out), 0) << out;

        test::WriteFile(work / "newer.txt", "new contents");
        test::WriteFile(work / "older.txt", "stale contents");
        test::WriteFile(work / "added.txt", "a file the archive did not have");
        fs::last_write_time(work / "newer.txt", now - std::chrono::hours(1));
        fs::last_write_time(work / "older.txt", now - std::chrono::hours(3));
        EXPECT_EQ(Sh(in + " a " + c.mode + " a.zip newer.txt older.txt added.txt", &out), 0) << out;

        ASSERT_EQ(Sh(in + " x a.zip -o out", &out), 0) << out;
        EXPECT_EQ(test::ReadFile(work / "out" / "newer.txt"), "new contents");
        EXPECT_EQ(test::ReadFile(work / "out" / "older.txt"), "kept contents");
        EXPECT_EQ(fs::exists(work / "out" / "added.txt"), c.new_file_added);
    }
}

TEST_F(KvAdd, DeleteTakesOutTheMatchingEntries) {
    std::string out;
    ASSERT_EQ(Run("a -r d.zip src", &out), 0) << out;
    ASSERT_EQ(Run("d d.zip 'src/sub/*' '*.txt'", &out), 0) << out;
    std::set<std::string> names;
    const nlohmann::json listing = Listing("d.zip");
    for (const auto& entry : listing["entries"])
        if (entry["dir"] == false) names.insert(entry["name"]);
    EXPECT_EQ(names, (std::set<std::string>{"src/.hidden"}));
    if (test::HaveProgram("unzip")) {
        EXPECT_EQ(Sh("unzip -l d.zip", &out), 0) << out;
        EXPECT_EQ(out.find("small.txt"), std::string::npos) << out;
        EXPECT_NE(out.find("src/.hidden"), std::string::npos) << out;
    }
    // Nothing matching is nothing to do: said, but no failure.
    EXPECT_EQ(Run("d d.zip 'no-such-*'", &out), 0) << out;
    EXPECT_NE(out.find("kv: "), std::string::npos) << out;
    EXPECT_EQ(Run("d missing.zip '*'", &out), 2) << out;
    EXPECT_NE(out.find("File not found"), std::string::npos) << out;
}

// What cannot be written is refused with status 2 and a message, and nothing is made.
TEST_F(KvAdd, RefusalsGiveStatusTwo) {
    ASSERT_EQ(Sh("gzip -c src/text.txt > t.gz"), 0);
    const std::string unsupported = "Invalid or unsupported archive type for this operation";
    const struct {
        const char* args;
        const char* says;
        const char* not_made;
    } cases[] = {
        {"a -t rar r.rar src/text.txt", unsupported.c_str(), "r.rar"},
        {"a b.tar.bz2 src/text.txt", unsupported.c_str(), "b.tar.bz2"},
        {"a b.TBZ src/text.txt", unsupported.c_str(), "b.TBZ"},
        {"a -t z b src/text.txt", unsupported.c_str(), "b"},
        {"d t.gz '*'", unsupported.c_str(), nullptr},
        {"a -p pw --encrypt=aes256 j.jar src/text.txt", "ZIP", "j.jar"},
        {"a --encrypt=aes256 e.zip src/text.txt", "password", "e.zip"},
        // a folder where the archive should be
        {"a folder.zip src/text.txt", "Error opening file", nullptr},
        // command lines that do not fit the commands
        {"x", "archive is required", nullptr},
        {"x t.gz --bogus", "--bogus", nullptr},
        {"frob", "subcommand", nullptr},
        {"a --mx 12 m.zip src/text.txt", "--mx", "m.zip"},
    };
    fs::create_directory(dir_ / "folder.zip");
    const std::string gz_before = test::ReadFile(dir_ / "t.gz");
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(Run(c.args, &out), 2) << c.args << ": " << out;
        EXPECT_NE(out.find(c.says), std::string::npos) << c.args << ": " << out;
        if (c.not_made) {
            EXPECT_FALSE(fs::exists(dir_ / c.not_made)) << c.args;
        }
    }
    EXPECT_EQ(test::ReadFile(dir_ / "t.gz"), gz_before);
    EXPECT_TRUE(fs::is_empty(dir_ / "folder.zip"));
}

// A new archive takes its type from names its writer writes; names a type is only read under (.z of pack
// and compress, .lzma of LZMA alone files) make a ZIP, as any other unknown name does.
TEST_F(KvAdd, NewArchiveTypeFollowsOnlyNamesItsWriterWrites) {
    const std::string zip = "PK\x03\x04";
    const std::string gzip = "\x1F\x8B";
    const std::string xz = "\xFD" "7zXZ";
    // GZIP and XZ compress the file on its own beside the archive's name.
    const struct {
        const char* archive;
        const char* made;
        const std::string& starts;
    } cases[] = {
        {"pack.z", "pack.z", zip},           {"compress.Z", "compress.Z", zip},   {"alone.lzma", "alone.lzma", zip},
        {"doom.pk3", "doom.pk3", zip},       {"tree.tgz", "tree.tgz", gzip},      {"tree.tar.gz", "tree.tar.gz", gzip},
        {"tree.txz", "tree.txz", xz},        {"single.gz", "text.txt.gz", gzip},  {"single.xz", "text.txt.xz", xz},
    };
    for (const auto& c : cases) {
        std::string out;
        ASSERT_EQ(Run(std::string("a ") + c.archive + " src/text.txt", &out), 0) << c.archive << ": " << out;
        EXPECT_TRUE(test::ReadFile(dir_ / c.made).starts_with(c.starts)) << c.archive;
    }
}

TEST_F(KvAdd, UsageErrorsSayWhyInOneLine) {
    std::string out;
    ASSERT_EQ(Run("l", &out), 2);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_TRUE(out.starts_with("kv: ")) << out;
}

TEST(KvHelp, EveryCommandShowsAnExample) {
    for (const char* command : {"", "i", "l", "t", "x", "e", "a", "d"}) {
        std::string out;
        EXPECT_EQ(test::RunCommand(Kv() + " " + command + " --help", &out), 0) << command;
        EXPECT_NE(out.find("kv " + std::string(*command ? command : "a") + " "), std::string::npos) << command << out;
    }
}

}  // namespace
}  // namespace kv
