#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <stdexcept>
#include <tuple>

#include "engine/core/error_codes.h"
#include "facade/compression_settings.h"
#include "facade/facade_fixture.h"
#include "platform/paths.h"
#include "support/listing.h"

namespace kv {
namespace {

using facade::TArcEntry;
using facade::TkvComp;

// (name, size, crc) of the file entries, sorted; folders left out. Without names when `named` is false.
using FileFacts = std::vector<std::tuple<std::string, std::int64_t, std::uint32_t>>;

bool IsFolderName(const std::string& name) { return !name.empty() && name.back() == platform::kPathDelim; }

FileFacts FactsOf(const TkvComp& comp, bool named) {
    FileFacts facts;
    for (const TArcEntry& e : comp.Entries())
        if (!IsFolderName(e.FileName) && !(e.Attributes & 0x10))
            facts.emplace_back(named ? e.FileName : "", e.Size, static_cast<std::uint32_t>(e.CRC));
    std::sort(facts.begin(), facts.end());
    return facts;
}

FileFacts FactsOf(const test::Listing& listing, bool named) {
    FileFacts facts;
    for (const TEntryRecord& e : listing.entries) {
        if (IsFolderName(e.FileName) || (e.ExternalAttr & 0x10)) continue;
        const bool leading = !e.FileName.empty() && e.FileName.front() == platform::kPathDelim;
        facts.emplace_back(named ? e.FileName.substr(leading ? 1 : 0) : "", e.UnpackedSize, e.FileCRC);
    }
    std::sort(facts.begin(), facts.end());
    return facts;
}

// Every corpus archive opens through the facade without harm, and every well-formed one shows the files
// the bare lister lists, volumes followed alike. ZIP archives are read by the ZIP manager instead, whose
// name rules differ from the lister's for unflagged non-ASCII names (it keeps Unix names as stored): for
// them two independent readings of the directory must agree on every file's size and CRC.
TEST(KvCompOpen, CorpusArchivesShowWhatTheListerLists) {
    const auto rows = test::ReadCorpusManifest();
    if (rows.empty()) GTEST_SKIP() << "corpus absent";
    // Volumes followed, and a ZIP without a directory read from its local headers, as the facade does.
    const auto follow_volumes = [](TArcLister& lister) {
        lister.OnNextVolume = [](TObject*, std::string&, int, bool exists, bool& cancel) { cancel = !exists; };
        lister.OnCorruptZipHeader = [](TObject*, THeaderTypeState, bool& cancel) { cancel = false; };
    };
    int compared = 0;
    std::ostringstream differences;
    for (const test::CorpusFile& row : rows) {
        const std::string path = (test::CorpusDir() / row.path).string();
        TkvComp comp;
        comp.SetDisplayDirs(true);
        const bool opened = comp.Open(path);
        if (row.malformed() || !opened || !IsKnownType(comp.ArcType())) continue;
        const auto expected = test::ReadExpectedContents(row.path);
        if (!expected || !expected->trusted()) continue;
        const bool zip_manager = !comp.ArcTypeName().empty();  // only the ZIP manager names the type outside operations
        const bool differ = FactsOf(comp, !zip_manager) != FactsOf(test::ListArchive(path, follow_volumes), !zip_manager);
        if (differ) differences << row.path << " differs\n";
        std::int64_t size = 0;
        for (const TArcEntry& e : comp.Entries()) size += e.Size;
        EXPECT_EQ(comp.ArcSize(), size) << row.path;
        ++compared;
    }
    EXPECT_EQ(differences.str(), "");
    EXPECT_GT(compared, 500);
}

TEST(KvCompOpen, OpenCloseAndReloadOfEachEngine) {
    test::TempDir dir;
    const struct {
        std::string path;
        TArcType type;
        bool zip_manager;  // the ZIP manager serves it (and names the type)
    } cases[] = {
        {test::WriteZipOf(dir, "a.zip", {"one.txt", "sub/two.txt"}), atZip, true},
        {test::WriteTarOf(dir, "a.tar", {"one.txt", "sub/two.txt"}), atTar, false},
    };
    for (const auto& c : cases) {
        TkvComp comp;
        int updates = 0;
        comp.OnDirUpdate = [&](TObject* sender) {
            EXPECT_EQ(sender, &comp);
            ++updates;
        };
        ASSERT_TRUE(comp.Open(c.path)) << c.path;
        EXPECT_TRUE(comp.ArcOpen());
        EXPECT_EQ(comp.ArcFilename(), c.path);
        EXPECT_EQ(comp.ArcType(), c.type);
        EXPECT_FALSE(comp.IsNewArchive());
        EXPECT_EQ(test::EntryNames(comp), (std::vector<std::string>{"one.txt", "sub/two.txt"})) << c.path;
        EXPECT_EQ(comp.ArcEntryCount(), 2);
        EXPECT_EQ(comp.ArcSize(), 7 + 11);
        EXPECT_EQ(comp.ArcTypeName().empty(), !c.zip_manager) << c.path;
        EXPECT_GT(updates, 0);

        updates = 0;
        ASSERT_TRUE(comp.Reload());
        EXPECT_GT(updates, 0);
        EXPECT_EQ(comp.ArcEntryCount(), 2);

        ASSERT_TRUE(comp.Close());
        EXPECT_FALSE(comp.ArcOpen());
        EXPECT_EQ(comp.ArcFilename(), "");
        EXPECT_TRUE(comp.Entries().empty());
        EXPECT_EQ(comp.ArcEntryCount(), 0);
        EXPECT_EQ(comp.ArcType(), c.type);  // kept after closing
        EXPECT_FALSE(comp.EntriesUnder("").has_value());
    }
}

TEST(KvCompOpen, FilesThatAreNoArchive) {
    test::TempDir dir;
    test::WriteFile(dir / "plain.txt", "no archive here, only some text\n");
    TkvComp comp;
    std::vector<int> codes;
    comp.OnMessage = [&](TObject*, int code, const std::string&) { codes.push_back(code); };

    EXPECT_FALSE(comp.Open((dir / "missing.zip").string()));
    EXPECT_FALSE(comp.ArcOpen());
    EXPECT_EQ(codes, std::vector<int>{ecode::kFileNotFound});

    // A file of no known type is still attached, with no entries; the caller decides what to say.
    EXPECT_TRUE(comp.Open((dir / "plain.txt").string()));
    EXPECT_TRUE(comp.ArcOpen());
    EXPECT_FALSE(IsKnownType(comp.ArcType()));
    EXPECT_TRUE(comp.Entries().empty());
    EXPECT_FALSE(comp.IsArcDecompressable());
}

TEST(KvCompOpen, TotalsAndRatios) {
    test::TempDir dir;
    const struct {
        std::string label;
        std::vector<test::ZipMember> members;
        std::int64_t size;
    } unsaved[] = {
        {"empty files", {{.name = "a"}, {.name = "b"}}, 0},
        {"stored", {{.name = "a", .data = "abc"}, {.name = "b", .data = "de"}}, 5},
    };
    for (const auto& c : unsaved) {
        const std::string path = (dir / (c.label + ".zip")).string();
        test::WriteFile(path, test::BuildZip(c.members));
        TkvComp comp;
        ASSERT_TRUE(comp.Open(path)) << c.label;
        EXPECT_EQ(comp.ArcSize(), c.size) << c.label;
        EXPECT_EQ(comp.ArcPacked(), c.size) << c.label;
        EXPECT_EQ(comp.ArcRatio(), 0) << c.label;
    }

    if (!test::HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
    test::WriteFile(dir / "big.txt", std::string(10000, 'x'));
    test::WriteFile(dir / "small.txt", "abc");
    ASSERT_EQ(test::RunCommand("cd '" + dir.Path().string() + "' && zip -q9 deflated.zip big.txt small.txt"), 0);
    TkvComp comp;
    ASSERT_TRUE(comp.Open((dir / "deflated.zip").string()));
    const TArcEntry& big = comp.Entries().front();
    EXPECT_LT(big.PackedSize, 200);
    // Rounded percent saved, per entry and for the whole archive.
    EXPECT_EQ(big.Ratio, static_cast<int>((1.0 - big.PackedSize / 10000.0) * 100 + 0.5));
    EXPECT_EQ(comp.Entries().back().Ratio, 0);
    EXPECT_EQ(comp.ArcSize(), 10003);
    EXPECT_EQ(comp.ArcPacked(), big.PackedSize + 3);
    EXPECT_EQ(comp.ArcRatio(), static_cast<int>((1.0 - comp.ArcPacked() / 10003.0) * 100 + 0.5));
}

TEST(KvCompOpen, OpeningAnotherArchiveForgetsTheLastOnesTotals) {
    test::TempDir dir;
    test::WriteFile(dir / "plain.txt", "no archive here, only some text\n");
    TkvComp comp;
    ASSERT_TRUE(comp.Open(test::WriteZipOf(dir, "a.zip", {"one.txt"})));
    EXPECT_EQ(comp.ArcSize(), 7);
    comp.Open((dir / "plain.txt").string());
    EXPECT_EQ(comp.ArcSize(), 0);
    EXPECT_EQ(comp.ArcEntryCount(), 0);
}

TEST(KvCompOpen, CapabilitiesByType) {
    const struct {
        TArcType type;
        bool compressable, decompressable, sfx, spannable;
    } cases[] = {
        {atZip, true, true, false, true},       {atZipExe, false, true, true, true},
        {atZipMV, true, true, false, false},    {atJar, true, true, false, false},
        {atJarExe, false, false, true, false},  {atTar, true, true, false, false},
        {atTarGZip, true, false, false, false}, {atGZip, true, true, false, false},
        {atZoo, false, true, false, false},     {atLha, false, true, false, false},
        // Listed, but no reader or writer serves them yet: the window offers neither.
        {atRar, false, false, false, false},    {atRarExe, false, false, true, false},
        {atPakExe, false, false, true, false},  {atCab, false, false, false, false},
        {atUnknown, false, false, false, false},
    };
    for (const auto& c : cases) {
        const facade::TArcCapabilities can = facade::CapabilitiesOf(c.type);
        EXPECT_EQ(can.Compressable, c.compressable) << ArcTypeValueName(c.type);
        EXPECT_EQ(can.Decompressable, c.decompressable) << ArcTypeValueName(c.type);
        EXPECT_EQ(can.SFX, c.sfx) << ArcTypeValueName(c.type);
        EXPECT_EQ(can.Spannable, c.spannable) << ArcTypeValueName(c.type);
    }

    test::TempDir dir;
    TkvComp comp;
    ASSERT_TRUE(comp.Open(test::WriteTarOf(dir, "a.tar", {"x"})));
    EXPECT_TRUE(comp.IsArcCompressable());
    EXPECT_FALSE(comp.IsArcSpannable());
    // A new archive can take files whatever its type; only a new ZIP can span volumes.
    ASSERT_TRUE(comp.NewArchive((dir / "new.zip").string(), atZip));
    EXPECT_TRUE(comp.ArcOpen());
    EXPECT_TRUE(comp.IsNewArchive());
    EXPECT_TRUE(comp.IsArcCompressable());
    EXPECT_TRUE(comp.IsArcDecompressable());
    EXPECT_TRUE(comp.IsArcSpannable());
    EXPECT_TRUE(comp.Entries().empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "new.zip"));
    ASSERT_TRUE(comp.NewArchive((dir / "new.lzh").string(), atLzh));
    EXPECT_FALSE(comp.IsArcSpannable());
}

TEST(KvCompOpen, SimpleCompressionFactorDecidesTheEngineSettings) {
    const struct {
        facade::TCompressionFactor factor;
        TArcType type;
        int level;
        TCompressMethod method;
        TDeflateType deflate;
    } cases[] = {
        {facade::cfNone, atZip, 0, cmBZip2, dtDeflateS},  {facade::cfLight, atZip, 3, cmBZip2, dtDeflateF},
        {facade::cfNormal, atBh, 7, cmFuse, dtDeflateN},  {facade::cfNone, atBh, 0, cmStore, dtDeflateS},
        {facade::cfFull, atCab, 9, cmLzx, dtDeflateX},    {facade::cfLight, atCab, 3, cmQuantum, dtDeflateF},
        {facade::cfNone, atGZip, 0, cmDeflate, dtDeflateS}, {facade::cfNone, atJar, 0, cmStore, dtDeflateS},
        {facade::cfFull, atLzh, 9, cmFrozen6, dtDeflateX}, {facade::cfNormal, atLha, 7, cmFrozen5, dtDeflateN},
        {facade::cfNone, atTar, 0, cmTarred, dtDeflateS}, {facade::cfFull, atTarGZip, 9, cmTarGzip, dtDeflateX},
    };
    for (const auto& c : cases) {
        // Start from settings no row produces, so that "unchanged" shows.
        facade::TCompressionSettings settings{5, cmBZip2, dtDeflateS};
        facade::ApplyCompressionFactor(c.factor, c.type, settings);
        EXPECT_EQ(settings.ZipAddCompLevel, c.level) << ArcTypeValueName(c.type) << ' ' << c.factor;
        EXPECT_EQ(settings.EngCompressMethod, c.method) << ArcTypeValueName(c.type) << ' ' << c.factor;
        EXPECT_EQ(settings.EngDeflateType, c.deflate) << ArcTypeValueName(c.type) << ' ' << c.factor;
    }
}

// A failure no engine reported (here a view that throws while the archive is closed) reaches OnMessage as
// an error with its text; an operation must not swallow it.
TEST(KvCompOpen, AFailureThatEscapesAnOperationReachesOnMessage) {
    class TThrowingView : public facade::TArcListViewLink {
    public:
        void Refill() override {
            if (armed) throw std::runtime_error("the view is gone");
        }
        bool armed = false;
    };
    test::TempDir dir;
    TThrowingView view;
    TkvComp comp;
    std::vector<std::pair<int, std::string>> messages;
    comp.OnMessage = [&](TObject*, int code, const std::string& text) { messages.emplace_back(code, text); };
    comp.SetArcListView(&view);
    comp.SetListFiles(true);
    ASSERT_TRUE(comp.Open(test::WriteTarOf(dir, "a.tar", {"x"})));
    view.armed = true;
    EXPECT_FALSE(comp.Close());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, ecode::kUnknownError);
    EXPECT_NE(messages[0].second.find("the view is gone"), std::string::npos) << messages[0].second;
    view.armed = false;
}

}  // namespace
}  // namespace kv
