// Stored names as their makers meant them: archives of the everyday Linux tools list and extract with their
// UTF-8 names, MS-DOS archives with their OEM names, and --charset reads undeclared names in the code page
// the user names, in the listing and on disk alike.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "cli/kv_tree_fixture.h"
#include "support/test_support.h"
#include "support/zip_builder.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

const std::string kGruesse = "Gr\xC3\xBC\xC3\x9F" "e.txt";                  // Grüße.txt
const std::string kNihongo = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt";     // 日本語.txt
const std::string kPrivet = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt";  // Привет.txt
const std::string kPrivetCp866 = "\x8F\xE0\xA8\xA2\xA5\xE2.txt";
const std::string kPrivetAsCp437 = "\xC3\x85\xCE\xB1\xC2\xBF\xC3\xB3\xC3\x91\xCE\x93.txt";  // Åα¿óÑΓ.txt

class KvNames : public test::KvTreeTest {
protected:
    // The names kv lists for the archive (files only), with `options` before the archive.
    std::set<std::string> Listed(const std::string& archive, const std::string& options = {}) {
        std::string out;
        EXPECT_EQ(Sh(test::Kv() + " l --json " + options + " " + archive + " 2>/dev/null", &out), 0) << out;
        std::set<std::string> names;
        const nlohmann::json listing = nlohmann::json::parse(out, nullptr, false);
        if (!listing.is_object()) return names;
        for (const auto& entry : listing["entries"])
            if (!entry["dir"].get<bool>()) names.insert(entry["name"].get<std::string>());
        return names;
    }
    // The files `command` ("x" or "e", with its options) writes, relative to the folder it writes into.
    std::set<std::string> Extracted(const std::string& archive, const std::string& command) {
        const std::string target = "out-" + std::to_string(++extractions_);
        std::string out;
        EXPECT_EQ(Run(command + " " + archive + " -o " + target, &out), 0) << out;
        std::set<std::string> names;
        for (const auto& file : fs::recursive_directory_iterator(dir_ / target))
            if (file.is_regular_file()) names.insert(fs::relative(file.path(), dir_ / target).string());
        return names;
    }
    int extractions_ = 0;
};

// zip on Linux (host 3, no UTF-8 flag, and here without the Unicode path field either: the C locale),
// GNU tar, bsdtar and arj on Linux (host 2) store the bytes of the file names, which are UTF-8 today.
TEST_F(KvNames, ArchivesOfTheLinuxToolsKeepTheirUtf8Names) {
    fs::create_directories(dir_ / "names");
    test::WriteFile(dir_ / "names" / kGruesse, "gruesse\n");
    test::WriteFile(dir_ / "names" / kNihongo, "nihongo\n");
    const std::set<std::string> wanted = {"names/" + kGruesse, "names/" + kNihongo};
    const struct {
        const char* tool;
        const char* archive;
        const char* create;
        bool extracts = true;  // the engine lists ARJ archives only
    } cases[] = {
        {"zip", "zip.zip", "LC_ALL=C zip -qr zip.zip names"},
        {"tar", "gnu.tar", "tar -cf gnu.tar names"},
        {"tar", "gnu.tar.gz", "tar -czf gnu.tar.gz names"},
        {"bsdtar", "bsd.tar", "bsdtar -cf bsd.tar names"},
        {"bsdtar", "bsd.zip", "bsdtar --format zip -cf bsd.zip names"},
        {"arj", "names.arj", "arj a -r names.arj names >/dev/null", false},
    };
    int made = 0;
    for (const auto& c : cases) {
        if (!test::HaveProgram(c.tool)) continue;
        SCOPED_TRACE(c.archive);
        std::string out;
        ASSERT_EQ(Sh(c.create, &out), 0) << out;
        ++made;
        EXPECT_EQ(Listed(c.archive), wanted);
        if (c.extracts) {
            EXPECT_EQ(Extracted(c.archive, "x"), wanted);
        }
    }
    if (made == 0) GTEST_SKIP() << "none of zip, tar, bsdtar";
}

// An archive made on MS-DOS stores OEM bytes: CP437 unless the user names the code page, which then holds
// for the listing, for extraction through the ZIP engine and for a ZIP made on Unix as well.
TEST_F(KvNames, CharsetNamesTheCodePageOfUndeclaredNames) {
    const auto zip = [](std::uint16_t made_by) {
        test::ZipMember member{.name = kPrivetCp866, .data = "privet\n"};
        member.made_by = made_by;
        test::ZipMember declared{.name = kGruesse, .data = "utf8\n", .flags = 0x0800};
        declared.made_by = made_by;
        return test::BuildZip({member, declared});
    };
    test::WriteFile(dir_ / "dos.zip", zip(0x0014));
    test::WriteFile(dir_ / "unix.zip", zip(0x031E));
    const struct {
        const char* archive;
        const char* options;
        std::string shown;
    } cases[] = {
        {"dos.zip", "", kPrivetAsCp437},
        {"dos.zip", "--charset CP866", kPrivet},
        {"dos.zip", "--charset 866", kPrivet},
        // Not valid UTF-8: the OEM code page, as for an MS-DOS archive.
        {"unix.zip", "", kPrivetAsCp437},
        {"unix.zip", "--charset cp866", kPrivet},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.archive) + " " + c.options);
        // The flagged name stays UTF-8 whatever the user chose.
        const std::set<std::string> wanted = {c.shown, kGruesse};
        EXPECT_EQ(Listed(c.archive, c.options), wanted);
        EXPECT_EQ(Extracted(c.archive, std::string("x ") + c.options), wanted);
        EXPECT_EQ(Extracted(c.archive, std::string("e ") + c.options), wanted);
        std::string out;
        EXPECT_EQ(Run(std::string("t ") + c.archive + " " + c.options, &out), 0) << out;
    }
}

TEST_F(KvNames, CharsetOfTarAndAnUnknownCharset) {
    // TARs whose name bytes are CP866, as an old Russian system wrote them: GNU tar stores them in the header,
    // bsdtar in a pax record marked "hdrcharset=BINARY" (not UTF-8, unlike other pax names).
    std::string out;
    fs::create_directories(dir_ / "t");
    test::WriteFile(dir_ / "t" / kPrivetCp866, "privet\n");
    if (!test::HaveProgram("tar")) GTEST_SKIP() << "no tar";
    ASSERT_EQ(Sh("tar -C t -cf cp866.tar " + kPrivetCp866, &out), 0) << out;
    std::vector<std::string> archives = {"cp866.tar"};
    if (test::HaveProgram("bsdtar")) {
        ASSERT_EQ(Sh("LC_ALL=C bsdtar --format pax -C t -cf pax.tar " + kPrivetCp866, &out), 0) << out;
        archives.push_back("pax.tar");
    }
    for (const std::string& archive : archives) {
        SCOPED_TRACE(archive);
        EXPECT_EQ(Listed(archive), std::set<std::string>{kPrivetAsCp437});
        EXPECT_EQ(Listed(archive, "--charset CP866"), std::set<std::string>{kPrivet});
        EXPECT_EQ(Extracted(archive, "x --charset CP866"), std::set<std::string>{kPrivet});
    }

    for (const char* command : {"l", "t", "x", "e"}) {
        SCOPED_TRACE(command);
        EXPECT_EQ(Run(std::string(command) + " --charset NO-SUCH-SET cp866.tar", &out), 2);
        EXPECT_EQ(out, "kv: --charset NO-SUCH-SET: unknown character set\n");
    }
}

// Bytes that are not UTF-8 under the UTF-8 flag are kept visible, byte by byte, and the entry is extracted.
TEST_F(KvNames, BrokenUtf8UnderTheFlagIsEscapedNotDropped) {
    test::WriteFile(dir_ / "broken.zip", test::BuildZip({{.name = "bad\xFF\xC3.txt", .data = "x\n", .flags = 0x0800},
                                                   {.name = "good.txt", .data = "y\n", .flags = 0x0800}}));
    const std::set<std::string> wanted = {"bad%FF%C3.txt", "good.txt"};
    EXPECT_EQ(Listed("broken.zip"), wanted);
    EXPECT_EQ(Extracted("broken.zip", "x"), wanted);
}

}  // namespace
}  // namespace kv
