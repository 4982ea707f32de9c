// The facade's operations end to end: ZIP archives through the ZIP manager and the engine libraries of
// the build folder, other types through the engine's readers and writers.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "engine/core/error_codes.h"
#include "facade/facade_fixture.h"
#include "support/engine_library.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using facade::TkvComp;

class SelectingListView : public facade::TArcListViewLink {
public:
    void Refill() override {}
    std::vector<std::string> SelectedNames() const override { return selected; }
    std::vector<std::string> selected;
};

class SelectingTreeView : public facade::TArcTreeViewLink {
public:
    void Rebuild() override {}
    bool SelectFolder(const std::string&) override { return true; }
    std::string SelectedFolder() const override { return folder; }
    std::string folder;
};

// What the facade told, in order: "begin", "end", "file NAME" for each named progress, "msg CODE".
class KvCompOperations : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveZipEngineLibraries()) GTEST_SKIP() << "the zip engine libraries are not built";
        comp_.SetDllDirectory(test::BinaryDir().string());
        fs::create_directories(src_ / "sub");
        test::WriteFile(src_ / "a.txt", "alpha");
        test::WriteFile(src_ / "data.txt", std::string(5000, 'd'));
        test::WriteFile(src_ / "sub" / "b.txt", "beta");
        comp_.OnBegin = [this](TObject*) { log_.push_back("begin"); };
        comp_.OnEnd = [this](TObject*) { log_.push_back("end"); };
        comp_.OnProgress = [this](TObject*, std::uint8_t, std::uint8_t, const std::string& name) {
            if (!name.empty() && (log_.empty() || log_.back() != "file " + name)) log_.push_back("file " + name);
        };
        comp_.OnMessage = [this](TObject*, int code, const std::string& text) {
            if (code != 0) log_.push_back("msg " + std::to_string(code));
            messages_ += text + "\n";
        };
    }

    // A new ZIP holding the source folder (names "src/...").
    void MakeZip(const std::string& password = {}) {
        ASSERT_TRUE(comp_.NewArchive(zip_, atZip));
        comp_.FileSpec = {src_.string()};
        comp_.AddOptions = {facade::aoRecurse, facade::aoDirNames};
        comp_.Password = password;
        comp_.AddEncryptMethod = emAes2_256;
        ASSERT_EQ(comp_.Add(), 0) << messages_;
        log_.clear();
    }
    void ExtractAll(facade::TExtOpts options = {facade::eoDirNames}) {
        comp_.ActionMode = facade::amAll;
        comp_.ExtDir = out_.string();
        comp_.ExtOptions = options;
        EXPECT_FALSE(comp_.Extract());
    }
    int Count(const std::string& line) const { return static_cast<int>(std::count(log_.begin(), log_.end(), line)); }

    test::TempDir dir_;
    const fs::path src_ = dir_ / "src";
    const fs::path out_ = dir_ / "out";
    const std::string zip_ = (dir_ / "new.zip").string();
    TkvComp comp_;
    std::vector<std::string> log_;
    std::string messages_;
};

TEST_F(KvCompOperations, AddingAFolderToANewZipThenExtractingItGivesTheFiles) {
    ASSERT_TRUE(comp_.NewArchive(zip_, atZip));
    EXPECT_TRUE(comp_.IsNewArchive());
    comp_.FileSpec = {src_.string()};
    comp_.AddOptions = {facade::aoRecurse, facade::aoDirNames};
    const fs::path before = fs::current_path();
    ASSERT_EQ(comp_.Add(), 0) << messages_;
    EXPECT_FALSE(comp_.IsNewArchive());
    EXPECT_EQ(comp_.Status(), facade::asReady);
    EXPECT_TRUE(comp_.FileSpec.empty());
    EXPECT_EQ(fs::current_path(), before);
    std::vector<std::string> names = test::EntryNames(comp_);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"src/a.txt", "src/data.txt", "src/sub/b.txt"}));
    // One begin, every file, one end.
    ASSERT_FALSE(log_.empty());
    EXPECT_EQ(log_.front(), "begin");
    EXPECT_EQ(log_.back(), "end");
    EXPECT_EQ(comp_.ProcessedFiles().size(), 3u);
    if (test::HaveProgram("unzip")) {
        EXPECT_EQ(test::RunCommand("unzip -tq '" + zip_ + "'"), 0);
    }

    log_.clear();
    ExtractAll();
    for (const char* name : {"a.txt", "data.txt", "sub/b.txt"})
        EXPECT_EQ(test::ReadFile(out_ / "src" / name), test::ReadFile(src_ / name)) << name;
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_EQ(Count("begin"), 1);
    EXPECT_EQ(Count("end"), 1);
    EXPECT_EQ(Count("file src/sub/b.txt"), 1);

    log_.clear();
    EXPECT_FALSE(comp_.Test());
    EXPECT_EQ(std::count_if(log_.begin(), log_.end(), [](const std::string& l) { return l.starts_with("msg"); }), 0)
        << messages_;
}

TEST_F(KvCompOperations, TheOverwriteQuestionNamesTheRightEntryAndItsAnswerHoldsForOneOperation) {
    MakeZip();
    ExtractAll();
    test::WriteFile(out_ / "src" / "a.txt", "changed");
    std::vector<std::string> asked;
    facade::TkvOverwriteMode answer = facade::komSkipAll;
    comp_.OnOverwrite = [&](TObject*, const facade::TArcEntry& on_disk, const facade::TArcEntry& in_archive,
                            facade::TkvOverwriteMode& mode) {
        asked.push_back(in_archive.FileName);
        EXPECT_TRUE(on_disk.FileName.ends_with(in_archive.FileName)) << on_disk.FileName;
        EXPECT_EQ(on_disk.Size, static_cast<std::int64_t>(fs::file_size(on_disk.FileName)));
        mode = answer;
    };
    ExtractAll();
    ASSERT_EQ(asked.size(), 1u);  // skip all: asked once
    EXPECT_EQ(test::ReadFile(out_ / "src" / "a.txt"), "changed");

    // The next operation asks again; overwrite all replaces every file.
    asked.clear();
    answer = facade::komOverwriteAll;
    ExtractAll();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(test::ReadFile(out_ / "src" / "a.txt"), "alpha");

    // Told to overwrite, nobody is asked.
    asked.clear();
    ExtractAll({facade::eoDirNames, facade::eoOverWrite});
    EXPECT_TRUE(asked.empty());

    // Cancel stops the operation.
    answer = facade::komCancel;
    test::WriteFile(out_ / "src" / "a.txt", "changed");
    test::WriteFile(out_ / "src" / "data.txt", "changed");
    ExtractAll();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(test::ReadFile(out_ / "src" / "data.txt"), "changed");
    EXPECT_EQ(comp_.Status(), facade::asReady);
}

TEST_F(KvCompOperations, PasswordsComeFromThePropertyOrOnPasswordWithinTheTries) {
    MakeZip("secret");
    int asked = 0;
    comp_.OnPassword = [&](TObject*, const std::string&, std::string& password, bool&) {
        ++asked;
        password = "wrong";
    };
    comp_.FileSpec = {"src/a.txt"};
    comp_.ActionMode = facade::amCustom;
    comp_.ExtDir = out_.string();
    comp_.ExtOptions = {facade::eoDirNames};
    comp_.Extract();
    EXPECT_GE(asked, 1);
    EXPECT_LE(asked, 3);  // PasswordReqCount
    EXPECT_EQ(Count("msg " + std::to_string(ecode::kInvalidPassword)), 1) << messages_;
    EXPECT_FALSE(fs::exists(out_ / "src" / "a.txt"));

    // The given password opens every entry without a question.
    asked = 0;
    comp_.Password = "secret";
    ExtractAll();
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(test::ReadFile(out_ / "src" / "sub" / "b.txt"), "beta");
    EXPECT_TRUE(comp_.Password.empty());
}

TEST_F(KvCompOperations, DeleteAndSelectionChooseTheEntries) {
    MakeZip();
    comp_.ActionMode = facade::amCustom;
    comp_.FileSpec = {"src/data.txt"};
    comp_.Delete();
    std::vector<std::string> names = test::EntryNames(comp_);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"src/a.txt", "src/sub/b.txt"}));

    // A selected folder row stands for everything under it; with nothing selected the tree's folder counts.
    SelectingListView list;
    SelectingTreeView tree;
    comp_.SetArcListView(&list);
    comp_.SetArcTreeView(&tree);
    list.selected = {"src/sub/"};
    comp_.ActionMode = facade::amSelected;
    comp_.ExtDir = (out_ / "1").string();
    comp_.ExtOptions = {facade::eoDirNames};
    comp_.Extract();
    EXPECT_TRUE(fs::exists(out_ / "1" / "src" / "sub" / "b.txt"));
    EXPECT_FALSE(fs::exists(out_ / "1" / "src" / "a.txt"));

    list.selected.clear();
    tree.folder = "src/";
    comp_.ExtDir = (out_ / "2").string();
    comp_.Extract();
    EXPECT_TRUE(fs::exists(out_ / "2" / "src" / "a.txt"));
    EXPECT_TRUE(fs::exists(out_ / "2" / "src" / "sub" / "b.txt"));
}

TEST_F(KvCompOperations, ACancelledAddLeavesTheArchiveAsItWas) {
    MakeZip();
    const std::string before = test::ReadFile(zip_);
    test::WriteFile(src_ / "more.txt", std::string(100000, 'm'));
    comp_.OnProgress = [this](TObject*, std::uint8_t, std::uint8_t, const std::string& name) {
        if (!name.empty()) comp_.Cancel();
    };
    comp_.FileSpec = {src_.string()};
    comp_.AddOptions = {facade::aoRecurse, facade::aoDirNames};
    comp_.Add();
    EXPECT_EQ(test::ReadFile(zip_), before);
    EXPECT_EQ(comp_.Status(), facade::asReady);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir_.Path())) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"new.zip", "src"}));  // no temporary file stays behind
}

// Extracting a ZIP runs inside the extraction folder; names relative to the caller's folder still hold.
TEST_F(KvCompOperations, RelativeNamesMeanTheCallersFolder) {
    MakeZip();
    const fs::path caller = fs::current_path();
    fs::current_path(dir_.Path());
    comp_.OnOverwrite = [](TObject*, const facade::TArcEntry& on_disk, const facade::TArcEntry&,
                           facade::TkvOverwriteMode& mode) {
        EXPECT_GT(on_disk.Size, 0) << on_disk.FileName;
        mode = facade::komOverwrite;
    };
    const bool opened = comp_.Open("new.zip");
    comp_.ActionMode = facade::amAll;
    comp_.ExtDir = "rel/out";
    comp_.ExtOptions = {facade::eoDirNames};
    comp_.Extract();
    comp_.ActionMode = facade::amAll;
    comp_.ExtDir = "rel/out";
    comp_.Extract();  // again, answering the questions
    const fs::path now = fs::current_path();
    fs::current_path(caller);
    ASSERT_TRUE(opened);
    EXPECT_EQ(now, dir_.Path());
    EXPECT_EQ(test::ReadFile(dir_ / "rel" / "out" / "src" / "a.txt"), "alpha") << messages_;
}

TEST_F(KvCompOperations, AnExtractionFolderThatCannotBeMadeIsTold) {
    MakeZip();
    test::WriteFile(dir_ / "file", "x");
    comp_.ExtDir = (dir_ / "file" / "below").string();
    comp_.ActionMode = facade::amAll;
    EXPECT_TRUE(comp_.Extract());
}

TEST_F(KvCompOperations, RenamingNeedsTheZipManager) {
    MakeZip();
    comp_.RenameList = {{"src/a.txt", "src/renamed.txt", 0}};
    EXPECT_EQ(comp_.RenameEntries(), 0);
    EXPECT_TRUE(comp_.RenameList.empty());
    std::vector<std::string> names = test::EntryNames(comp_);
    EXPECT_NE(std::find(names.begin(), names.end(), "src/renamed.txt"), names.end());

    ASSERT_TRUE(comp_.Open(test::WriteTarOf(dir_, "t.tar", {"x.txt"})));
    log_.clear();
    EXPECT_EQ(comp_.RenameEntries(), TkvComp::kNoEngineObject);
    EXPECT_EQ(log_, std::vector<std::string>{"msg 30501"});
}

// A TAR is served by the engine's reader and writer: added to (staying a TAR under the simple settings,
// whose method is TAR.GZ's), extracted and emptied.
TEST_F(KvCompOperations, TarThroughTheEngine) {
    ASSERT_TRUE(comp_.Open(test::WriteTarOf(dir_, "t.tar", {"x.txt"})));
    comp_.FileSpec = {src_.string()};
    comp_.AddOptions = {facade::aoRecurse};
    EXPECT_EQ(comp_.Add(), 0);
    EXPECT_EQ(comp_.ArcEntryCount(), 4) << messages_;  // x.txt and the three files
    comp_.ExtDir = out_.string();
    comp_.ActionMode = facade::amAll;
    EXPECT_FALSE(comp_.Extract());
    EXPECT_EQ(test::ReadFile(out_ / "x.txt"), "x.txt");
    comp_.ActionMode = facade::amAll;
    comp_.Delete();
    EXPECT_EQ(comp_.ArcEntryCount(), 0);
}

// Types whose reader or writer the engine does not have yet say so: LHA is read but not written.
TEST_F(KvCompOperations, TypesWithoutAnEngineSaySo) {
    if (!test::HaveProgram("jlha")) GTEST_SKIP() << "no jlha to make an LHA archive";
    ASSERT_EQ(test::RunCommand("cd '" + dir_.Path().string() + "' && echo x > x.txt && jlha aq l.lzh x.txt"), 0);
    ASSERT_TRUE(comp_.Open((dir_ / "l.lzh").string()));
    comp_.FileSpec = {src_.string()};
    EXPECT_EQ(comp_.Add(), 10);
    comp_.ExtDir = out_.string();
    EXPECT_FALSE(comp_.Extract());
    EXPECT_EQ(test::ReadFile(out_ / "x.txt"), "x\n");
    comp_.ActionMode = facade::amAll;
    comp_.Delete();
    const std::string unsupported = "msg " + std::to_string(ecode::kUnsupportedArcTypeOperation);
    ASSERT_FALSE(log_.empty());
    EXPECT_EQ(log_.front(), unsupported);
    EXPECT_EQ(log_.back(), unsupported);
    EXPECT_EQ(std::count(log_.begin(), log_.end(), unsupported), 2);
    EXPECT_EQ(comp_.ArcEntryCount(), 1);

    // A type that cannot be written at all: 10 and nothing else.
    log_.clear();
    ASSERT_TRUE(comp_.Open(test::WriteZipOf(dir_, "sfx.exe", {"a"})));
    if (comp_.ArcType() == atZipExe) {
        comp_.FileSpec = {src_.string()};
        EXPECT_EQ(comp_.Add(), 10);
        EXPECT_TRUE(log_.empty());
    }
}

// A JAR is written by the engine's writer: a new one is listed after its first add, a changed file replaces
// its entry, and deleting takes entries out.
TEST_F(KvCompOperations, AJarIsWrittenThroughTheWriter) {
    const std::string jar = (dir_ / "made.jar").string();
    ASSERT_TRUE(comp_.NewArchive(jar, atJar));
    comp_.FileSpec = {src_.string()};
    comp_.AddOptions = {facade::aoRecurse, facade::aoDirNames};
    comp_.SimpleCompressionOptions = false;
    comp_.EngCompressMethod = cmDeflate;
    ASSERT_EQ(comp_.Add(), 0) << messages_;
    EXPECT_FALSE(comp_.IsNewArchive());
    EXPECT_EQ(comp_.ArcType(), atJar);
    std::vector<std::string> names = test::EntryNames(comp_);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"src/a.txt", "src/data.txt", "src/sub/b.txt"})) << messages_;
    ASSERT_FALSE(log_.empty());
    EXPECT_EQ(log_.front(), "begin");
    EXPECT_EQ(Count("end"), 1);
    EXPECT_EQ(Count("begin"), 1);
    EXPECT_EQ(comp_.Status(), facade::asReady);
    if (test::HaveProgram("unzip")) {
        EXPECT_EQ(test::RunCommand("unzip -tq '" + jar + "'"), 0);
    }

    // A newer file replaces its entry.
    test::WriteFile(src_ / "a.txt", "alpha, changed");
    fs::last_write_time(src_ / "a.txt", fs::last_write_time(src_ / "a.txt") + std::chrono::hours(1));
    comp_.FileSpec = {src_.string()};
    comp_.AddOptions = {facade::aoRecurse, facade::aoDirNames};
    comp_.AddMode = facade::amUpdate;
    ASSERT_EQ(comp_.Add(), 0) << messages_;
    ExtractAll();
    EXPECT_EQ(test::ReadFile(out_ / "src" / "a.txt"), "alpha, changed");

    comp_.ActionMode = facade::amCustom;
    comp_.FileSpec = {"src/data.txt"};
    comp_.Delete();
    names = test::EntryNames(comp_);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"src/a.txt", "src/sub/b.txt"})) << messages_;
}

// A first add that makes nothing leaves the new archive attached, still new.
TEST_F(KvCompOperations, AFailedFirstAddKeepsTheNewArchive) {
    const std::string jar = (dir_ / "never.jar").string();
    ASSERT_TRUE(comp_.NewArchive(jar, atJar));
    comp_.FileSpec = {(dir_ / "missing.txt").string()};
    comp_.Add();
    EXPECT_TRUE(comp_.ArcOpen());
    EXPECT_TRUE(comp_.IsNewArchive());
    EXPECT_EQ(comp_.ArcFilename(), jar);
    EXPECT_EQ(Count("msg " + std::to_string(ecode::kFileNotFound)), 0) << messages_;
    EXPECT_FALSE(fs::exists(jar));
}

// A JAR goes through the engine's reader: its events become the facade's, a failed check is told.
TEST_F(KvCompOperations, AJarIsExtractedThroughTheReaderWithItsEvents) {
    std::vector<test::ZipMember> members{{.name = "META-INF/MANIFEST.MF", .data = "Manifest-Version: 1.0\n"},
                                         {.name = "good.txt", .data = "good data"},
                                         {.name = "bad.txt", .data = "bad data here"}};
    std::string jar = test::BuildZip(members);
    jar[jar.find("bad data here")] = 'B';
    const std::string path = (dir_ / "x.jar").string();
    test::WriteFile(path, jar);
    ASSERT_TRUE(comp_.Open(path));
    ASSERT_EQ(comp_.ArcType(), atJar);
    log_.clear();
    ExtractAll();
    EXPECT_EQ(log_.front(), "begin");
    EXPECT_EQ(log_.back(), "end");
    const auto bad = std::find(log_.begin(), log_.end(), "msg " + std::to_string(ecode::kFileFailsCrcCheck));
    ASSERT_NE(bad, log_.end()) << messages_;
    EXPECT_NE(std::find(log_.begin(), bad, "file " + (out_ / "bad.txt").string()), bad);
    EXPECT_EQ(test::ReadFile(out_ / "good.txt"), "good data");
    EXPECT_FALSE(fs::exists(out_ / "bad.txt"));  // what failed its check is not left behind

    // The overwrite question reaches the caller with the entry the file came from.
    std::vector<std::string> asked;
    comp_.OnOverwrite = [&](TObject*, const facade::TArcEntry&, const facade::TArcEntry& in_archive,
                            facade::TkvOverwriteMode& mode) {
        asked.push_back(in_archive.FileName);
        mode = facade::komSkip;
    };
    ExtractAll();
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<std::string>{"META-INF/MANIFEST.MF", "good.txt"}));
}

}  // namespace
}  // namespace kv
