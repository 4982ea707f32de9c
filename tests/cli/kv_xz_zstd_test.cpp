// kv with XZ, LZMA and Zstandard files, and the TARs packed in them (and in GZIP members): what xz, zstd,
// GNU tar and bsdtar write kv reads, what kv writes they read, and a damaged or cut file fails without
// harming what was on disk.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/kv_tree_fixture.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// The program a shell command starts.
std::string ProgramOf(const std::string& command) { return command.substr(0, command.find(' ')); }

class KvXzZstd : public test::KvTreeTest {
protected:
    // Runs a peer command with %s standing for `name`, in `folder` (relative to the test's); false when
    // the peer is not installed.
    bool Peer(const char* pattern, const std::string& name, std::string* out, const std::string& folder = ".") {
        if (!test::HaveProgram(ProgramOf(pattern))) return false;
        char command[300];
        std::snprintf(command, sizeof command, pattern, name.c_str());
        EXPECT_EQ(Sh("cd " + folder + " && " + command, out), 0) << command << "\n" << *out;
        return true;
    }
};

TEST_F(KvXzZstd, PackedTarsKvWritesPeersReadAndCheck) {
    // Several MiB at the fastest level (xz's smallest blocks), so that every parallel compressor cuts the
    // data into more than one piece.
    std::string big;
    for (unsigned i = 0; big.size() < 4u * 1024 * 1024; ++i) big += std::to_string(i * 2654435761u % 1000003) + ' ';
    test::WriteFile(src() / "sub" / "big.txt", big);
    const struct {
        const char* archive;
        const char* integrity;  // %s: the archive
        const char* peer_extract;  // %s: the archive; run in the target folder
    } cases[] = {
        {"kv.tar.xz", "xz -t %s", "tar -xJf ../%s"},
        {"kv.txz", "xz -t %s", "bsdtar -xf ../%s"},
        {"kv.tar.zst", "zstd -qt %s", "tar --zstd -xf ../%s"},
        {"kv.tzst", "zstd -qt %s", "bsdtar -xf ../%s"},
        {"kv.tar.gz", "gzip -t %s", "tar -xzf ../%s"},
        {"kv.tgz", "pigz -t %s", "bsdtar -xf ../%s"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        std::string out;
        ASSERT_EQ(Run(std::string("a -r -mx 1 ") + c.archive + " src", &out), 0) << out;
        Peer(c.integrity, c.archive, &out);
        const std::string peer_folder = std::string("peer-") + c.archive;
        fs::create_directories(dir_ / peer_folder);
        if (Peer(c.peer_extract, c.archive, &out, peer_folder)) ExpectSameTree(dir_ / peer_folder);
        const std::string kv_folder = std::string("kv-") + c.archive;
        ASSERT_EQ(Run(std::string("x ") + c.archive + " -o " + kv_folder, &out), 0) << out;
        ExpectSameTree(dir_ / kv_folder);
        EXPECT_EQ(Run(std::string("t ") + c.archive, &out), 0) << out;
    }
}

TEST_F(KvXzZstd, ReadsThePackedTarsPeersWrite) {
    const struct {
        const char* archive;
        const char* peer_create;
    } cases[] = {
        {"gnu.tar.xz", "tar -cJf gnu.tar.xz src"},
        {"gnu.tar.zst", "tar --zstd -cf gnu.tar.zst src"},
        {"gnu.tar.lzma", "tar --lzma -cf gnu.tar.lzma src"},
        {"bsd.txz", "bsdtar -cJf bsd.txz src"},
        {"bsd.tzst", "bsdtar --zstd -cf bsd.tzst src"},
        // Several streams or frames in a row, as parallel compressors and `cat` make them.
        {"multi.tar.xz", "tar -cf - src | split -b 40000 - part. && for p in part.*; do xz -c $p; done > multi.tar.xz"},
        {"multi.tar.zst", "tar -cf - src | split -b 40000 - part. && for p in part.*; do zstd -qc $p; done > multi.tar.zst"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        std::string out;
        if (!test::HaveProgram(ProgramOf(c.peer_create)) || !test::HaveProgram("xz") || !test::HaveProgram("zstd"))
            continue;
        ASSERT_EQ(Sh(c.peer_create, &out), 0) << out;
        const std::string target = std::string("out-") + c.archive;
        ASSERT_EQ(Run(std::string("x ") + c.archive + " -o " + target, &out), 0) << out;
        ExpectSameTree(dir_ / target);
        EXPECT_EQ(Run(std::string("t ") + c.archive, &out), 0) << out;
        const nlohmann::json listing = Listing(c.archive);
        ASSERT_TRUE(listing.is_object());
        // Listed as the TAR it holds: members with their own sizes.
        bool listed = false;
        for (const auto& entry : listing["entries"])
            listed = listed || (entry["name"] == "src/sub/deeper/bin.dat" && entry["size"] == 70000);
        EXPECT_TRUE(listed) << listing.dump();
    }
}

TEST_F(KvXzZstd, SingleFilesBothWays) {
    if (!test::HaveProgram("xz") || !test::HaveProgram("zstd")) GTEST_SKIP() << "no xz or zstd";
    const std::string text = test::ReadFile(src() / "text.txt");
    std::string out;
    // What kv makes the tools decompress, and kv too (an empty file's is shorter than any archive).
    for (const std::string type : {"xz", "zst"}) {
        for (const std::string file : {"text.txt", "empty.txt"}) {
            SCOPED_TRACE(file + "." + type);
            const std::string made = file + "." + type;
            ASSERT_EQ(Run("a -t " + type + " " + made + " src/" + file, &out), 0) << out;
            ASSERT_EQ(Sh((type == "xz" ? "xz" : "zstd") + std::string(" -dc ") + made + " > peer.txt", &out), 0) << out;
            EXPECT_EQ(test::ReadFile(dir_ / "peer.txt"), test::ReadFile(src() / file));
            ASSERT_EQ(Run("x -y " + made + " -o mine", &out), 0) << out;
            EXPECT_EQ(test::ReadFile(dir_ / "mine" / file), test::ReadFile(src() / file));
        }
    }
    // What the tools make kv decompresses, named after the archive.
    const std::string skippable = "printf 'P*M\\030\\005\\000\\000\\000hello'";
    const struct {
        const char* make;
        const char* archive;
        const char* output;
        int copies;  // of text.txt in the output
    } cases[] = {
        {"xz -c src/text.txt > a.xz", "a.xz", "a", 1},
        {"xz --format=lzma -c src/text.txt > b.txt.lzma", "b.txt.lzma", "b.txt", 1},
        {"zstd -qc src/text.txt > c.zst", "c.zst", "c", 1},
        {"xz -c src/text.txt > d1 && cat d1 d1 > d.xz && printf '\\000\\000\\000\\000' >> d.xz", "d.xz", "d", 2},
        {"zstd -qc src/text.txt > e1 && cat e1 e1 > e.zst", "e.zst", "e", 2},
        {"zstd -qc src/text.txt > f1 && { SKIP; cat f1; SKIP; } > f.zst", "f.zst", "f", 1},
        // Named as a TAR would be, whatever it holds, as ".tgz" is.
        {"xz -c src/text.txt > g.txz", "g.txz", "g.tar", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        std::string make = c.make;
        for (auto at = make.find("SKIP"); at != std::string::npos; at = make.find("SKIP")) make.replace(at, 4, skippable);
        ASSERT_EQ(Sh(make, &out), 0) << out;
        ASSERT_EQ(Run(std::string("x ") + c.archive + " -o back", &out), 0) << out;
        std::string expected;
        for (int i = 0; i < c.copies; ++i) expected += text;
        EXPECT_EQ(test::ReadFile(dir_ / "back" / c.output), expected);
        EXPECT_EQ(Run(std::string("t ") + c.archive, &out), 0) << out;
    }
}

TEST_F(KvXzZstd, ChangesPackedTarsKeepingTheirEntries) {
    for (const char* type : {"xz", "zst"}) {
        SCOPED_TRACE(type);
        const std::string archive = std::string("t.tar.") + type;
        const std::string flag = std::string(type) == "xz" ? "-J" : "--zstd";
        std::string out;
        if (!test::HaveProgram("tar")) GTEST_SKIP() << "no tar";
        ASSERT_EQ(Sh("tar " + flag + " -cf " + archive + " src/text.txt src/sub && echo untouched > t.tar", &out), 0)
            << out;
        ASSERT_EQ(Run("a " + archive + " src/empty.txt", &out), 0) << out;
        ASSERT_EQ(Run("d " + archive + " 'src/sub/small.txt'", &out), 0) << out;
        ASSERT_EQ(Sh("(tar " + flag + " -tf " + archive + " | grep -v '/$' | sort)", &out), 0) << out;
        EXPECT_EQ(out, "src/empty.txt\nsrc/sub/deeper/bin.dat\nsrc/text.txt\n");
        EXPECT_EQ(test::ReadFile(dir_ / "t.tar"), "untouched\n");
    }
}

// A flipped byte or a cut end: kv t and kv x fail (a single file with the decompression error), an existing file of the
// same name keeps its bytes, and nothing half-written is left.
TEST_F(KvXzZstd, DamagedOrCutFilesFailAndLeaveExistingFilesAlone) {
    std::string out;
    ASSERT_EQ(Run("a -t xz text.txt.xz src/text.txt", &out), 0) << out;
    ASSERT_EQ(Run("a -t zst text.txt.zst src/text.txt", &out), 0) << out;
    ASSERT_EQ(Run("a -r whole.tar.xz src", &out), 0) << out;
    ASSERT_EQ(Run("a -r whole.tar.zst src", &out), 0) << out;
    const struct {
        const char* archive;
        bool cut;  // else one byte in the middle is flipped
    } cases[] = {
        {"text.txt.xz", false}, {"text.txt.xz", true},   {"text.txt.zst", false},
        {"text.txt.zst", true}, {"whole.tar.xz", false}, {"whole.tar.zst", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.archive) + (c.cut ? " cut" : " flipped"));
        const std::string damaged = std::string("damaged-") + c.archive;
        std::string bytes = test::ReadFile(dir_ / c.archive);
        if (c.cut) {
            bytes.resize(bytes.size() * 2 / 3);
        } else {
            bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x55);
        }
        test::WriteFile(dir_ / damaged, bytes);
        EXPECT_NE(Run("t " + damaged, &out), 0) << out;
        const bool single = std::string(c.archive).starts_with("text");
        EXPECT_NE(Run("t --json " + damaged + " 2>/dev/null", &out), 0);
        // A TAR's verdicts are its members'; the member being decoded at the damage fails.
        if (single) {
            EXPECT_NE(out.find("\"error\":25153"), std::string::npos) << out;
        }

        fs::remove_all(dir_ / "out");
        const fs::path existing = single ? dir_ / "out" / damaged.substr(0, damaged.rfind('.')) : dir_ / "out/src/text.txt";
        fs::create_directories(existing.parent_path());
        test::WriteFile(existing, "precious\n");
        EXPECT_NE(Run("x -y " + damaged + " -o out", &out), 0) << out;
        EXPECT_EQ(test::ReadFile(existing), "precious\n");
        if (single) {
            std::size_t files = 0;
            for (const auto& file : fs::recursive_directory_iterator(dir_ / "out")) files += file.is_regular_file();
            EXPECT_EQ(files, 1u);
        }
    }
}

}  // namespace
}  // namespace kv
