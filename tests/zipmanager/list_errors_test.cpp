// Damaged and foreign files: each failure is reported once, with its code and text, leaves no listing and
// no archive name behind, and shows a message box only when the manager may show one.
#include <gtest/gtest.h>

#include <functional>

#include "support/zip_builder.h"
#include "support/zip_fixture.h"
#include "zm_probe.h"

namespace kv {
namespace {

using test::TZipManagerProbe;

// Two stored entries, "a" and "b", without a comment.
std::string TwoEntries() { return test::BuildZip({{.name = "a", .data = "x"}, {.name = "b", .data = "yz"}}); }

// TwoEntries changed by `change`.
std::string Damaged(const std::function<void(std::string&)>& change) {
    std::string zip = TwoEntries();
    change(zip);
    return zip;
}

std::size_t LastCentral(const std::string& zip) { return test::CentralHeaderOffsets(zip).back(); }

struct BadFile {
    const char* label;
    std::string bytes;
    std::vector<int> codes;  // reported in this order; the last is ErrCode
    std::string message;     // the last one's text
};

std::vector<BadFile> BadFiles() {
    const std::string not_valid = "This archive is not a valid Zip archive";
    std::string short_end = "PK\x05\x06";
    short_end.append(17, '\0');
    return {
        {"wrong central signature", Damaged([](std::string& z) { z[LastCentral(z) + 3] = 0x07; }), {11015},
         "A central header signature is wrong"},
        {"name running past the end", Damaged([](std::string& z) { test::Patch16(z, LastCentral(z) + 28, 0xFFFF); }),
         {11017}, "Error while reading a central file name"},
        {"extra field running past the end",
         Damaged([](std::string& z) { test::Patch16(z, LastCentral(z) + 30, 0xFFFF); }), {10201},
         "Seek error reading Zip archive!"},
        {"entry comment running past the end",
         Damaged([](std::string& z) { test::Patch16(z, LastCentral(z) + 32, 0xFFFF); }), {11022},
         "Error while reading a file comment"},
        {"directory larger than the file",
         Damaged([](std::string& z) { test::Patch32(z, test::EndRecordAt(z) + 12, 0x00FFFFFF); }), {10203, 10201},
         "Seek error reading Zip archive!"},
        {"end record buried more than 64 KiB before the end", TwoEntries() + std::string(70000, 'g'), {11036},
         not_valid},
        {"21 bytes", short_end, {11036}, not_valid},
        {"empty file", "", {11036}, not_valid},
        {"text file", std::string(1000, 't'), {11036}, not_valid},
    };
}

TEST(ListErrors, ReportsEachDamageOnceAndForgetsTheArchive) {
    test::TempDir dir;
    test::WriteFile(dir / "good.zip", TwoEntries());
    for (const BadFile& bad : BadFiles()) {
        test::WriteFile(dir / "bad.zip", bad.bytes);
        for (const bool unattended : {true, false}) {
            const std::string label = std::string(bad.label) + (unattended ? ", unattended" : ", attended");
            TZipManagerProbe probe(unattended);
            ASSERT_EQ(probe.Open(dir / "good.zip"), 0) << label;
            ASSERT_EQ(probe.zm.EntryCount(), 2) << label;

            EXPECT_EQ(probe.Open(dir / "bad.zip"), bad.codes.back()) << label;
            EXPECT_EQ(probe.Codes(), bad.codes) << label;
            EXPECT_EQ(probe.zm.Message(), bad.message) << label;
            EXPECT_TRUE(probe.zm.DirEntries().empty()) << label;
            EXPECT_EQ(probe.zm.EntryCount(), 0) << label;
            EXPECT_EQ(probe.zm.ZipFileName(), "") << label;
            EXPECT_EQ(probe.zm.ArchiveStart(), 0) << label;
            EXPECT_EQ(probe.zm.ArchiveComment(), "") << label;
            EXPECT_EQ(probe.DirUpdates, 2) << label;
            EXPECT_EQ(probe.prompter.Boxes.size(), unattended ? 0u : bad.codes.size()) << label;
            if (!unattended && !probe.prompter.Boxes.empty()) {
                EXPECT_EQ(probe.prompter.Boxes.back(), bad.message) << label;
            }
            EXPECT_EQ(probe.prompter.BusyLevel, 0) << label;
            EXPECT_FALSE(probe.zm.Busy()) << label;
        }
    }
}

// The directory is read to its end when the end record counts wrong, as unzip and 7-Zip read it: every
// entry is there, with a warning.
TEST(ListErrors, AnEntryCountThatDisagreesWithTheDirectoryIsAWarning) {
    test::TempDir dir;
    for (const int count : {1, 3, 0xFFFF}) {
        SCOPED_TRACE(count);
        test::WriteFile(dir / "count.zip", Damaged([&](std::string& z) { test::Patch16(z, test::EndRecordAt(z) + 10, static_cast<std::uint16_t>(count)); }));
        TZipManagerProbe probe(true);
        EXPECT_EQ(probe.Open(dir / "count.zip"), 10203);
        EXPECT_EQ(probe.zm.Message(), "Warning - Error in zip structure!");
        ASSERT_EQ(probe.zm.EntryCount(), 2);
        EXPECT_EQ(probe.zm.DirEntries()[1].Name(), "b");
    }
}

TEST(ListErrors, MissingFileIsQuietlyNotFound) {
    test::TempDir dir;
    TZipManagerProbe probe(false);
    EXPECT_EQ(probe.Open(dir / "absent.zip"), 0);
    EXPECT_TRUE(probe.Messages.empty());
    EXPECT_TRUE(probe.prompter.Boxes.empty());
    EXPECT_TRUE(probe.zm.DirEntries().empty());
    EXPECT_EQ(probe.DirUpdates, 1);
}

TEST(ListErrors, StoredDirectoryOffsetBeyondTheFileFallsBackToWhereTheDirectoryIs) {
    const std::string zip = Damaged([](std::string& z) { test::Patch32(z, test::EndRecordAt(z) + 16, 0x7FFFFFFF); });
    test::TempDir dir;
    test::WriteFile(dir / "a.zip", zip);
    TZipManagerProbe probe;
    EXPECT_EQ(probe.Open(dir / "a.zip"), 10203);
    EXPECT_EQ(probe.Names(), (std::vector<std::string>{"a", "b"}));
    // The first local header is where the stored offsets say, at the start: never before the file.
    EXPECT_EQ(probe.zm.ArchiveStart(), 0);
}

// Every cut of an archive, and every byte of its directory and end record overwritten, lists or fails
// cleanly: a failure leaves nothing listed.
TEST(ListErrors, CutOrOverwrittenArchivesNeverLeaveAHalfListing) {
    std::string zip = test::BuildZip({{.name = "dir/a", .data = "x", .comment = "c"}, {.name = "b", .data = "yz"}});
    test::Patch16(zip, zip.size() - 2, 4);
    zip += "note";
    const std::size_t central_at = test::CentralHeaderOffsets(zip).front();
    std::vector<std::string> variants;
    for (std::size_t size = 0; size < zip.size(); ++size) variants.push_back(zip.substr(0, size));
    for (std::size_t at = central_at; at < zip.size(); ++at) {
        for (const char value : {'\0', '\xFF'}) {
            variants.push_back(zip);
            variants.back()[at] = value;
        }
    }
    test::TempDir dir;
    for (std::size_t i = 0; i < variants.size(); ++i) {
        test::WriteFile(dir / "a.zip", variants[i]);
        TZipManagerProbe probe;
        const int code = probe.Open(dir / "a.zip");
        EXPECT_EQ(probe.DirUpdates, 1) << i;
        EXPECT_LE(probe.zm.DirEntries().size(), 2u) << i;
        EXPECT_GE(probe.zm.ArchiveStart(), 0) << i;
        if (code != 0 && code != 10203 && code != 10204) {
            EXPECT_TRUE(probe.zm.DirEntries().empty()) << i << ": " << code;
            EXPECT_EQ(probe.zm.ZipFileName(), "") << i;
        }
    }
}

}  // namespace
}  // namespace kv
