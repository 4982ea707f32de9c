// The table of archive formats against the code that serves it: every capability a row claims is shown
// to work, every extension and signature leads back to its own row.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "engine/core/formats.h"
#include "engine/core/packed_tar_types.h"
#include "engine/core/signature_table.h"
#include "engine/writers/format_capabilities.h"
#include "facade/facade_fixture.h"
#include "support/corpus_manifest.h"
#include "support/engine_library.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using facade::TkvComp;

std::string Upper(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    return upper;
}

TEST(FormatTable, EveryExtensionLeadsBackToItsType) {
    for (const TFormat& format : Formats()) {
        for (const std::string_view ext : format.Extensions) {
            const std::string name(format.ValueName);
            EXPECT_EQ(TypeOfExtension(ext), format.Type) << name << " " << ext;
            EXPECT_EQ(TypeOfExtension(Upper(ext)), format.Type) << name << " " << ext;
            EXPECT_EQ(TypeOfFileName("dir.x/archive." + std::string(ext)), format.Type) << name << " " << ext;
            EXPECT_EQ(TypeOfFileName("ARCHIVE." + Upper(ext)), format.Type) << name << " " << ext;
        }
    }
    // The longest extension that fits wins, and only a whole one after a dot counts.
    EXPECT_EQ(TypeOfFileName("a.tar.gz"), atTarGZip);
    EXPECT_EQ(TypeOfFileName("a.gz"), atGZip);
    EXPECT_EQ(TypeOfFileName("a.tar.bz2"), atBz2);
    EXPECT_EQ(TypeOfFileName("agz"), std::nullopt);
    EXPECT_EQ(TypeOfFileName("a.xgz"), std::nullopt);
    EXPECT_EQ(TypeOfFileName("gz"), std::nullopt);
}

// A new archive is named only with extensions its writer writes; the others are read, never made.
TEST(FormatTable, NewArchiveNamesAreTheOnesWritten) {
    for (const TFormat& format : Formats())
        for (const std::string_view ext : NewArchiveExtensions(format))
            EXPECT_EQ(TypeOfNewArchiveName("a." + std::string(ext)), format.Type) << format.ValueName << " " << ext;
    const struct {
        const char* name;
        std::optional<TArcType> type;
    } cases[] = {
        {"a.z", std::nullopt},  {"a.Z", std::nullopt},       {"a.lzma", std::nullopt}, {"a.tar.z", std::nullopt},
        {"a.zip", atZip},       {"a.PK3", atZip},            {"a.gz", atGZip},         {"a.tgz", atTarGZip},
        {"a.tar.gz", atTarGZip}, {"a.txz", atTarXz},         {"a.tzst", atTarZstd},    {"a.xz", atXz},
    };
    for (const auto& c : cases) EXPECT_EQ(TypeOfNewArchiveName(c.name), c.type) << c.name;
}

// Names that promise a TAR inside a compressor's file are known by that compressor's row, and only whole
// one-part extensions name a TAR alone (the single file of a.tbz is a.tar, that of a.tar.bz2 is a.tar too).
TEST(FormatTable, CompressedTarNamesBelongToTheirCompressor) {
    const struct {
        const char* name;
        std::optional<TArcType> holder;
    } cases[] = {
        {"a.tgz", atGZip},  {"a.TAZ", atGZip},  {"a.tar.gz", atGZip}, {"a.tbz2", atBz2},       {"a.tbz", atBz2},
        {"a.tar.bz2", atBz2}, {"a.txz", atXz},  {"a.tzst", atZstd},   {"a.gz", std::nullopt}, {"atgz", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(CompressedTarTypeOfName(c.name), c.holder) << c.name;
    for (const char* ext : {"tgz", "taz", "tbz2", "tbz", "txz", "tzst", "TGZ"})
        EXPECT_TRUE(IsCompressedTarExtension(ext)) << ext;
    for (const char* ext : {"gz", "bz2", "tar", "tar.gz", "zip"}) EXPECT_FALSE(IsCompressedTarExtension(ext)) << ext;
}

// Each self-extracting form and its plain form name each other, so detection's choice between them holds.
TEST(FormatTable, SelfExtractingTwinsPointBack) {
    for (const TFormat& format : Formats()) {
        if (format.SelfExtractingForm != atNA) {
            const TFormat& twin = FormatOf(format.SelfExtractingForm);
            EXPECT_EQ(twin.PlainForm, format.Type) << format.ValueName;
            EXPECT_TRUE(twin.Methods.data() == format.Methods.data()) << format.ValueName;
        }
        if (format.PlainForm != atNA) {
            EXPECT_EQ(FormatOf(format.PlainForm).SelfExtractingForm, format.Type) << format.ValueName;
        }
        if (format.Has(ftSelfExtracting)) {
            EXPECT_NE(format.PlainForm, atNA) << format.ValueName;
        }
    }
}

// A dropped file is offered to be opened by its extension: every one the window knew stays openable, and
// each leads to a type that lists.
TEST(FormatTable, DroppedFileExtensionsOpenAsListableTypes) {
    const std::vector<std::string_view> openable = OpenableExtensions();
    for (const std::string_view ext : openable) {
        const std::optional<TArcType> type = TypeOfExtension(ext);
        ASSERT_TRUE(type.has_value()) << ext;
        EXPECT_TRUE(CapabilitiesOfFormat(PackedFileTypeOf(*type)).List) << ext;
    }
    for (const char* ext : {"ace", "arc", "arj", "bh", "cab", "gz", "tgz", "lha", "lzh", "jar", "pak", "pk3", "rar",
                            "tar", "uue", "uu", "xxe", "z", "zoo", "zip", "xz", "txz", "lzma", "zst", "tzst"}) {
        EXPECT_NE(std::ranges::find(openable, ext), openable.end()) << ext;
    }
}

// No two rows claim one signature, and detection's classification of each signature is its row's type (or
// "unsupported" for one the row refuses in that position).
TEST(FormatTable, EverySignatureBelongsToOneRowAndDetectionGivesThatRow) {
    std::map<std::tuple<std::array<std::uint8_t, 4>, int, int, TSignatureMode>, TArcType> claimed;
    for (const TFormat& format : Formats()) {
        for (const TSignature& sig : format.Signatures) {
            const auto key = std::make_tuple(sig.Bytes, int{sig.Length}, int{sig.At}, sig.Mode);
            const auto [it, fresh] = claimed.emplace(key, format.Type);
            EXPECT_TRUE(fresh) << ArcTypeValueName(format.Type) << " claims a signature of "
                               << ArcTypeValueName(it->second);

            std::array<std::uint8_t, 4> bytes{};
            std::copy_n(sig.Bytes.begin(), sig.Length, bytes.begin() + sig.At);
            const TSignatureEntry entry = LookUpSignature(sig.Mode, bytes.data());
            EXPECT_EQ(entry.Type, sig.Refused ? atUnsupported : format.Type) << ArcTypeValueName(format.Type);
            EXPECT_EQ(entry.StartOffset, sig.StartOffset) << ArcTypeValueName(format.Type);
        }
    }
}

// Capabilities follow what is registered: no type claims adding without a writer (or the ZIP manager), nor
// extracting without a reader.
TEST(FormatTable, NoTypeClaimsWhatNoEngineServes) {
    const struct {
        TArcType type;
        bool list, extract, test, add;
    } cases[] = {
        {atZip, true, true, true, true},     {atJar, true, true, true, true},
        {atTar, true, true, true, true},     {atGZip, true, true, true, true},
        {atBz2, true, true, true, true},     {atTarGZip, false, false, false, true},
        {atZipExe, true, true, true, false}, {atJarExe, true, false, true, false},
        {atBh, true, false, false, false},   {atCab, true, false, false, false},
        {atLha, true, true, true, false},    {atRar, true, false, false, false},
        {atAce, true, false, false, false},  {atZoo, true, true, true, false},
        {atMsGZ, true, false, false, false}, {atNA, false, false, false, false},
    };
    for (const auto& c : cases) {
        const TFormatCapabilities can = CapabilitiesOfFormat(c.type);
        const std::string name(ArcTypeValueName(c.type));
        EXPECT_EQ(can.List, c.list) << name;
        EXPECT_EQ(can.Extract, c.extract) << name;
        EXPECT_EQ(can.Test, c.test) << name;
        EXPECT_EQ(can.Add, c.add) << name;
        EXPECT_EQ(can.Delete, c.add) << name;
    }
}

class FormatTableThroughTheFacade : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(src_);
        test::WriteFile(src_ / "a.txt", "alpha alpha alpha");
        comp_.SetDllDirectory(test::BinaryDir().string());
        comp_.OnMessage = [this](TObject*, int code, const std::string& text) {
            if (code != 0) messages_ += std::to_string(code) + " " + text + "\n";
        };
    }

    // Extracts everything of the open archive into a fresh folder; what the messages said.
    fs::path ExtractAll(const std::string& label) {
        const fs::path out = dir_ / ("out-" + label);
        comp_.ExtDir = out.string();
        comp_.ExtOptions = {facade::eoDirNames, facade::eoOverWrite};
        comp_.ActionMode = facade::amAll;
        EXPECT_FALSE(comp_.Extract()) << label;
        return out;
    }

    test::TempDir dir_;
    fs::path src_ = dir_ / "src";
    TkvComp comp_;
    std::string messages_;
};

// Every type that claims "add" makes an archive through the facade, which its own reader then lists,
// tests and extracts.
TEST_F(FormatTableThroughTheFacade, EveryWritableTypeMakesAnArchiveItsReaderListsTestsAndExtracts) {
    int made = 0;
    for (const TFormat& format : Formats()) {
        const TFormatCapabilities can = CapabilitiesOfFormat(format.Type);
        if (!can.Add) continue;
        const std::string name(format.ValueName);
        // A type no new archive is made as (a multi-volume ZIP) is added to as its first volume's type.
        if (format.Extensions.empty()) continue;
        if (format.Has(ftZipManager) && !test::HaveZipEngineLibraries()) continue;
        const std::string ext(format.Extensions.front());
        const fs::path archive = dir_ / ("made." + ext);
        messages_.clear();
        ASSERT_TRUE(comp_.NewArchive(archive.string(), format.Type)) << name;
        comp_.FileSpec = {(src_ / "a.txt").string()};
        comp_.AddOptions = {};
        ASSERT_EQ(comp_.Add(), 0) << name << "\n" << messages_;
        // The single-file compressors write each file beside the archive under its own name.
        const fs::path made_file = fs::exists(archive) ? archive : dir_ / ("a.txt." + ext);
        ASSERT_TRUE(fs::exists(made_file)) << name;
        ++made;

        ASSERT_TRUE(comp_.Open(made_file.string())) << name;
        ASSERT_EQ(comp_.ArcEntryCount(), 1) << name << "\n" << messages_;
        comp_.ActionMode = facade::amAll;
        EXPECT_FALSE(comp_.Test()) << name;
        const fs::path out = ExtractAll(name);
        // A TAR.GZ is read as the GZIP it is, its one entry the TAR holding the file.
        const std::string entry = test::EntryNames(comp_).front();
        EXPECT_NE(test::ReadFile(out / entry).find("alpha alpha alpha"), std::string::npos) << name << " " << entry;
        EXPECT_EQ(messages_, "") << name;
        fs::remove(made_file);
    }
    if (!test::HaveZipEngineLibraries()) GTEST_SKIP() << "the ZIP types need the zip engine libraries";
    EXPECT_GE(made, 6);
}

// Every type that claims "extract" extracts a small fixture or a corpus archive whose members two other
// extractors agree on.
TEST_F(FormatTableThroughTheFacade, EveryExtractableTypeExtractsACorpusArchive) {
    if (!test::HaveZipEngineLibraries()) GTEST_SKIP() << "the ZIP types need the zip engine libraries";
    std::set<TArcType> extracted;
    // A self-extractor: a ZIP behind a program's stub, its offsets adjusted (the corpus has no trusted one).
    if (test::HaveProgram("zip")) {
        const fs::path sfx = dir_ / "setup.exe";
        test::WriteFile(sfx, "MZ" + std::string(4094, '\0') + test::BuildZip({{.name = "a.txt", .data = "alpha"}}));
        ASSERT_EQ(test::RunCommand("zip -qA " + test::Quoted(sfx)), 0);
        ASSERT_TRUE(comp_.Open(sfx.string()));
        ASSERT_EQ(comp_.ArcType(), atZipExe);
        EXPECT_EQ(test::ReadFile(ExtractAll("sfx") / "a.txt"), "alpha");
        EXPECT_EQ(messages_, "");
        extracted.insert(atZipExe);
    }
    // Single files of the compressors the corpus has none of, made by their own tools.
    for (const auto& [tool, type] : {std::pair{"xz", atXz}, std::pair{"zstd", atZstd}}) {
        if (!test::HaveProgram(tool)) continue;
        const fs::path source = dir_ / (std::string(tool) + "-made.txt");
        test::WriteFile(source, "packed by " + std::string(tool));
        ASSERT_EQ(test::RunCommand(std::string(tool) + " -q " + test::Quoted(source)), 0);
        const std::string packed = source.string() + (type == atXz ? ".xz" : ".zst");
        ASSERT_TRUE(comp_.Open(packed));
        ASSERT_EQ(comp_.ArcType(), type);
        EXPECT_EQ(test::ReadFile(ExtractAll(tool) / source.filename()), "packed by " + std::string(tool));
        EXPECT_EQ(messages_, "");
        extracted.insert(type);
    }

    const std::vector<test::CorpusFile> corpus = test::ReadCorpusManifest();
    if (corpus.empty()) GTEST_SKIP() << "no corpus";
    for (const test::CorpusFile& file : corpus) {
        // A TAR inside a compressed file is the TAR's to show (the compressed file extracts as one TAR), and
        // a 7-Zip self-extractor's members are not the ZIP data its stub carries.
        if (file.malformed() || file.format.find('+') != std::string::npos || file.format.starts_with("7z"))
            continue;
        const auto expected = test::ReadExpectedContents(file.path);
        if (!expected || !expected->trusted() || !expected->password.empty()) continue;
        const std::string path = (test::CorpusDir() / file.path).string();
        const TArcType type = comp_.DetectArcType(path);
        if (extracted.contains(type) || !CapabilitiesOfFormat(type).Extract) continue;
        messages_.clear();
        ASSERT_TRUE(comp_.Open(path)) << file.path;
        const fs::path out = ExtractAll(file.path);
        for (const test::ExpectedMember& member : expected->members) {
            if (member.type != 'f' || member.path.find("\\x") != std::string::npos) continue;
            std::error_code error;
            EXPECT_EQ(fs::file_size(out / member.path, error), static_cast<std::uintmax_t>(member.size))
                << file.path << ": " << member.path;
        }
        EXPECT_EQ(messages_, "") << file.path;
        extracted.insert(type);
    }
    for (const TFormat& format : Formats()) {
        // The single-file types and TAR are in the corpus; a ZIP on removable volumes is not.
        const bool shown_above = format.Type != atZipExe || test::HaveProgram("zip");
        if (CapabilitiesOfFormat(format.Type).Extract && format.Type != atZipMV && shown_above) {
            EXPECT_TRUE(extracted.contains(format.Type)) << ArcTypeValueName(format.Type) << " not shown";
        }
    }
}

}  // namespace
}  // namespace kv
