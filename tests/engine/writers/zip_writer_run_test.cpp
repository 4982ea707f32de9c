// The ZIP and JAR writers' compression run: what each configuration writes (checked by peer tools and the
// engine's own reader), the decisions on entries that already exist, deletion, moving, stored names, and
// the archive staying as it was when a run is cancelled or fails.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "engine/core/zip_cipher.h"
#include "engine/writers/format_writers.h"
#include "writer_fixture.h"

namespace kv::test {
namespace {

class ZipWriterTest : public WriterTest {
protected:
    // Sources: compressible text, noise, a small file, an empty one and one in a subfolder.
    std::map<std::string, std::string> WriteSources() {
        const std::map<std::string, std::string> files = {{"text.txt", TextBytes(20000)},
                                                          {"noise.bin", RandomBytes(5000)},
                                                          {"small.txt", TextBytes(100)},
                                                          {"empty", ""},
                                                          {"sub/deep.txt", TextBytes(3000)}};
        for (const auto& [name, bytes] : files) WriteFile(dir_ / "src" / name, bytes);
        return files;
    }
};

TEST_F(ZipWriterTest, EveryConfigurationPassesPeerToolsAndReadsBack) {
    struct Case {
        const char* Name;
        TCompressMethod Method;
        TDeflateType Type;
        const char* Password;
        bool EncryptHeaders;
        std::uint16_t TextMethod;  // what the compressible file is written with
        std::uint16_t LevelFlags;  // its general-purpose bits 1-2
    };
    const Case cases[] = {
        {"stored", cmStore, dtDeflateN, "", false, 0, 0},
        {"deflate-s", cmDeflate, dtDeflateS, "", false, 0, 0},
        {"deflate-f", cmDeflate, dtDeflateF, "", false, 8, 0x4},
        {"deflate-n", cmDeflate, dtDeflateN, "", false, 8, 0},
        {"deflate-x", cmDeflate, dtDeflateX, "", false, 8, 0x2},
        {"bzip2", cmBZip2, dtDeflateN, "", false, 12, 0},
        {"deflate-cipher", cmDeflate, dtDeflateN, "secret", false, 8, 0},
        {"bzip2-cipher", cmBZip2, dtDeflateX, "secret", false, 12, 0},
        {"hidden-headers", cmDeflate, dtDeflateN, "secret", true, 8, 0},
    };
    const auto files = WriteSources();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const fs::path archive = dir_ / (std::string(c.Name) + ".zip");
        auto writer = MakeWriter(archive);
        writer->SetCompressMethod(c.Method);
        writer->DeflateType = c.Type;
        writer->Password = c.Password;
        writer->EncryptHeaders = c.EncryptHeaders;
        writer->FileSpec = {(dir_ / "src" / "*.*").string()};
        EXPECT_EQ(writer->Compress(), 5);
        EXPECT_TRUE(errors_.empty());
        EXPECT_TRUE(TempFolderEmpty());
        EXPECT_EQ(ExtractAll(archive, c.Password), files);
        const std::string bytes = ReadFile(archive);
        EXPECT_EQ(bytes.substr(0, 2), c.EncryptHeaders ? "PL" : "PK");
        if (c.EncryptHeaders) continue;  // only the engine's own reader knows hidden headers

        for (const TKeptEntry& entry : ArchiveEntries(archive)) {
            if (entry.Name != "text.txt" && entry.Name != "noise.bin") continue;
            const bool text = entry.Name == "text.txt";
            // Noise never gets smaller: it is stored whatever the method.
            EXPECT_EQ(entry.Central.Method, text ? c.TextMethod : 0) << entry.Name;
            EXPECT_EQ(entry.Central.Flags & 0x6, text ? c.LevelFlags : 0) << entry.Name;
            EXPECT_EQ(entry.Central.Flags & 0x1, *c.Password != '\0' ? 1 : 0) << entry.Name;
        }
        std::string output;
        const std::string password = *c.Password != '\0' ? std::string(" -P ") + c.Password : "";
        if (HaveProgram("unzip")) {
            EXPECT_EQ(RunCommand("unzip -t" + password + " " + Quoted(archive) + " 2>&1", &output), 0) << output;
        }
        if (HaveProgram("7z")) {
            const std::string seven_password = *c.Password != '\0' ? std::string(" -p") + c.Password : "";
            EXPECT_EQ(RunCommand("7z t" + seven_password + " " + Quoted(archive) + " 2>&1", &output), 0) << output;
        }
    }
}

TEST_F(ZipWriterTest, ArchivesWithHiddenHeadersCanBeChangedLater) {
    WriteFile(dir_ / "src" / "a.txt", TextBytes(3000));
    WriteFile(dir_ / "src" / "b.txt", "b");
    const fs::path archive = dir_ / "hidden.zip";
    auto first = MakeWriter(archive);
    first->EncryptHeaders = true;
    first->FileSpec = {(dir_ / "src" / "a.txt").string()};
    ASSERT_EQ(first->Compress(), 1);

    WriteFile(dir_ / "src" / "a.txt", "changed");
    auto second = MakeWriter(archive);
    second->FileSpec = {(dir_ / "src" / "*.txt").string()};
    second->OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime, std::int64_t,
                               std::int64_t, int, int, bool& replace) { replace = false; };
    second->OnRenameDupeFile = [](TObject*, const std::string&, std::string& name, bool& rename) {
        name = "old/a.txt";
        rename = true;
    };
    EXPECT_EQ(second->Compress(), 3);
    EXPECT_TRUE(errors_.empty());
    const std::map<std::string, std::string> expected = {
        {"old/a.txt", TextBytes(3000)}, {"a.txt", "changed"}, {"b.txt", "b"}};
    EXPECT_EQ(ExtractAll(archive), expected);
    if (HaveProgram("unzip")) {
        std::string output;
        EXPECT_EQ(RunCommand("unzip -t " + Quoted(archive) + " 2>&1", &output), 0) << output;
    }
}

TEST_F(ZipWriterTest, SmallFilesAreStoredOnlyWhenDeflatingMakesThemLarger) {
    WriteFile(dir_ / "src" / "noise100", RandomBytes(100));
    WriteFile(dir_ / "src" / "text100", std::string(100, 'a'));
    const fs::path archive = dir_ / "small.zip";
    auto writer = MakeWriter(archive);
    writer->SetCompressMethod(cmDeflate);
    writer->FileSpec = {(dir_ / "src" / "*100").string()};
    ASSERT_EQ(writer->Compress(), 2);
    for (const TKeptEntry& entry : ArchiveEntries(archive)) {
        EXPECT_EQ(entry.Central.Method, entry.Name == "noise100" ? 0 : 8) << entry.Name;
    }
}

TEST_F(ZipWriterTest, ExistingEntriesAreKeptReplacedOrRenamedAsAnswered) {
    enum class Answer { NoHandler, Replace, Rename };
    struct Case {
        const char* Name;
        TSwitch Switch;
        std::time_t FileTime;  // of the file on disk; the entry has 1 000 000 000
        bool SameContent;
        Answer Reply;
        std::vector<std::string> Names;  // afterwards
        std::string Content;             // of the entry the file's name finds afterwards
        std::vector<int> Errors;
    };
    const std::time_t entry_time = 1000000000;
    const Case cases[] = {
        {"differs, no handler", swAdd, entry_time + 100, false, Answer::NoHandler, {"a.txt"}, "old!", {25270, 25268}},
        {"differs, replaced", swAdd, entry_time + 100, false, Answer::Replace, {"a.txt"}, "new content", {}},
        {"differs, renamed", swAdd, entry_time + 100, false, Answer::Rename, {"a-old.txt", "a.txt"}, "new content", {}},
        {"same, renamed", swAdd, entry_time, true, Answer::Rename, {"a-old.txt", "a.txt"}, "old!", {}},
        {"same, nothing to do", swAdd, entry_time, true, Answer::NoHandler, {"a.txt"}, "old!", {25268}},
        {"refresh with older file", swRefresh, entry_time - 100, false, Answer::NoHandler, {"a.txt"}, "old!", {25268}},
        {"refresh with newer file", swRefresh, entry_time + 100, false, Answer::NoHandler, {"a.txt"}, "new content", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        errors_.clear();
        const fs::path archive = dir_ / "dupes.zip";
        fs::remove(archive);
        WriteFile(dir_ / "src" / "a.txt", "old!");
        SetFileTime(dir_ / "src" / "a.txt", entry_time);
        auto first = MakeWriter(archive);
        first->FileSpec = {(dir_ / "src" / "a.txt").string()};
        ASSERT_EQ(first->Compress(), 1);
        WriteFile(dir_ / "src" / "a.txt", c.SameContent ? "old!" : "new content");
        SetFileTime(dir_ / "src" / "a.txt", c.FileTime);
        const std::string before = ReadFile(archive);

        auto writer = MakeWriter(archive);
        writer->Switch = c.Switch;
        writer->FileSpec = {(dir_ / "src" / "a.txt").string()};
        if (c.Reply == Answer::Replace) {
            writer->OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime,
                                       std::int64_t, std::int64_t, int, int, bool& replace) { replace = true; };
        }
        if (c.Reply == Answer::Rename) {
            writer->OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime,
                                       std::int64_t, std::int64_t, int, int, bool& replace) { replace = false; };
            writer->OnRenameDupeFile = [](TObject*, const std::string&, std::string& name, bool& rename) {
                name = "a-old.txt";
                rename = true;
            };
        }
        writer->Compress();
        EXPECT_EQ(errors_, c.Errors);
        auto names = ArchiveEntryNames(archive);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.Names);
        auto extracted = ExtractAll(archive);
        EXPECT_EQ(extracted[c.Names.back()], c.Content);
        if (c.Names.size() == 2) {
            EXPECT_EQ(extracted["a-old.txt"], "old!");
        }
        if (!c.Errors.empty()) {
            EXPECT_EQ(ReadFile(archive), before);
        }
        if (HaveProgram("unzip")) {
            std::string output;
            EXPECT_EQ(RunCommand("unzip -t " + Quoted(archive) + " 2>&1", &output), 0) << output;
        }
        fs::remove(dir_ / "src" / "a.txt");
    }
}

TEST_F(ZipWriterTest, AnEntryWhoseNewFileCannotBeReadIsKept) {
    WriteFile(dir_ / "src" / "a.txt", "first");
    const fs::path archive = dir_ / "kept.zip";
    auto first = MakeWriter(archive);
    first->FileSpec = {(dir_ / "src" / "a.txt").string()};
    ASSERT_EQ(first->Compress(), 1);

    // A file over the in-memory budget is opened only when its turn comes; by then it is gone.
    fs::resize_file(dir_ / "src" / "a.txt", (std::uintmax_t{64} << 20) + 1);
    WriteFile(dir_ / "src" / "b.txt", "b");
    auto writer = MakeWriter(archive);
    writer->FileSpec = {(dir_ / "src" / "*.txt").string()};
    writer->OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime, std::int64_t,
                               std::int64_t, int, int, bool& replace) { replace = true; };
    writer->OnBegin = [](TObject*, const std::string& path, int, bool&) {
        if (fs::path(path).filename() == "a.txt") fs::remove(path);
    };
    EXPECT_EQ(writer->Compress(), 1);
    EXPECT_EQ(errors_, std::vector<int>{25235});
    const std::map<std::string, std::string> expected = {{"a.txt", "first"}, {"b.txt", "b"}};
    EXPECT_EQ(ExtractAll(archive), expected);
}

TEST_F(ZipWriterTest, JarAddOfAnIdenticalFileChangesNothing) {
    WriteFile(dir_ / "src" / "Main.class", TextBytes(500));
    const fs::path archive = dir_ / "app";
    auto first = MakeWriter<TJar>(archive);
    EXPECT_EQ(first->ArchiveFile(), (dir_ / "app.jar").string());
    EXPECT_TRUE(first->IsNewArchive());
    EXPECT_EQ(first->ArcType(), atJar);
    first->FileSpec = {(dir_ / "src" / "Main.class").string()};
    ASSERT_EQ(first->Compress(), 1);
    const std::string before = ReadFile(dir_ / "app.jar");
    EXPECT_EQ(ArchiveEntries(dir_ / "app.jar").front().Central.Method, 8);

    auto again = MakeWriter<TJar>(dir_ / "app.jar");
    EXPECT_FALSE(again->IsNewArchive());
    again->FileSpec = {(dir_ / "src" / "Main.class").string()};
    EXPECT_EQ(again->Compress(), 0);
    EXPECT_EQ(errors_, std::vector<int>{25268});
    EXPECT_EQ(ReadFile(dir_ / "app.jar"), before);
    EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(ZipWriterTest, DeletingSelectsByMaskHonoursExclusionsAndCanEmptyTheArchive) {
    WriteSources();
    const fs::path archive = dir_ / "del.zip";
    auto add = MakeWriter(archive);
    add->FileSpec = {(dir_ / "src" / "*.*").string()};
    ASSERT_EQ(add->Compress(), 5);

    auto some = MakeWriter(archive);
    some->Switch = swDelete;
    some->FileSpec = {"*.txt"};
    some->ExcludeSpec = {"small.txt"};
    std::vector<std::string> deleted;
    std::vector<int> counts;
    some->OnDeleteFile = [&](TObject*, const std::string& name, int count, int max) {
        deleted.push_back(name);
        counts.push_back(count * 10 + max);
    };
    EXPECT_EQ(some->Compress(), 2);
    std::sort(deleted.begin(), deleted.end());
    EXPECT_EQ(deleted, (std::vector<std::string>{"sub/deep.txt", "text.txt"}));
    EXPECT_EQ(counts, (std::vector<int>{12, 22}));
    auto names = ArchiveEntryNames(archive);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"empty", "noise.bin", "small.txt"}));

    auto all = MakeWriter(archive);
    all->Switch = swDelete;
    all->FileSpec = {"*"};
    EXPECT_EQ(all->Compress(), 3);
    const std::string bytes = ReadFile(archive);
    ASSERT_EQ(bytes.size(), 22u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x05\x06", 4));

    // Deleting from or refreshing an archive that is not there has nothing to do.
    errors_.clear();
    for (TSwitch action : {swDelete, swRefresh}) {
        auto missing = MakeWriter(dir_ / "missing.zip");
        missing->Switch = action;
        missing->FileSpec = {"*"};
        EXPECT_EQ(missing->Compress(), 0);
    }
    EXPECT_EQ(errors_, (std::vector<int>{26859, 26859}));
    EXPECT_FALSE(fs::exists(dir_ / "missing.zip"));
}

TEST_F(ZipWriterTest, KeptEntriesAndTheStubAreCopiedByteForByte) {
    WriteSources();
    const fs::path archive = dir_ / "keep.zip";
    auto first = MakeWriter(archive);
    first->SetCompressMethod(cmDeflate);
    first->FileSpec = {(dir_ / "src" / "*.txt").string(), (dir_ / "src" / "*.bin").string()};
    first->RecurseDirs = false;
    ASSERT_EQ(first->Compress(), 3);
    // A self-extractor's stub before the entries (whose offsets do not count it) stays in front.
    const std::string stub = "#!/bin/sh\necho this is a stub\nexit 0\n" + std::string(200, '\0');
    WriteFile(archive, stub + ReadFile(archive));
    const std::string before = ReadFile(archive);
    const auto old_entries = ArchiveEntries(archive);
    ASSERT_EQ(old_entries.size(), 3u);

    WriteFile(dir_ / "src" / "later.dat", TextBytes(7000));
    auto add = MakeWriter(archive);
    add->FileSpec = {(dir_ / "src" / "later.dat").string()};
    ASSERT_EQ(add->Compress(), 1);
    const std::string after = ReadFile(archive);
    EXPECT_EQ(after.substr(0, stub.size()), stub);
    const auto new_entries = ArchiveEntries(archive);
    ASSERT_EQ(new_entries.size(), 4u);
    for (std::size_t i = 0; i < old_entries.size(); ++i) {
        const auto& old = old_entries[i];
        const auto& kept = new_entries[i];
        EXPECT_EQ(kept.Name, old.Name);
        EXPECT_EQ(after.substr(static_cast<std::size_t>(kept.Offset), static_cast<std::size_t>(kept.Length)),
                  before.substr(static_cast<std::size_t>(old.Offset), static_cast<std::size_t>(old.Length)));
    }
    if (HaveProgram("unzip")) {
        std::string output;
        EXPECT_EQ(RunCommand("unzip -t " + Quoted(archive) + " 2>&1", &output), 0) << output;
    }
}

TEST_F(ZipWriterTest, DefaultExtAndMethodSetters) {
    struct Case {
        const char* Value;
        const char* Expected;
    };
    for (const Case& c : {Case{"ZiPx", ".zip"}, Case{"tgz", ".tgz"}, Case{".7Z", ".7z"}, Case{"", ".zip"},
                          Case{".", ".zip"}}) {
        TZip writer;
        writer.SetDefaultExt("abc");
        writer.SetDefaultExt(c.Value);
        EXPECT_EQ(writer.DefaultExt(), c.Expected) << c.Value;
    }
    // Names without extension or with the previous default take the new one; others keep theirs.
    TZip writer;
    writer.SetArchiveFile((dir_ / "plain").string());
    EXPECT_EQ(writer.ArchiveFile(), (dir_ / "plain.zip").string());
    writer.SetDefaultExt("tgz");
    EXPECT_EQ(writer.ArchiveFile(), (dir_ / "plain.tgz").string());
    writer.SetArchiveFile((dir_ / "other.bak").string());
    writer.SetDefaultExt("zip");
    EXPECT_EQ(writer.ArchiveFile(), (dir_ / "other.bak").string());

    EXPECT_EQ(TJar().DefaultExt(), ".jar");
    EXPECT_EQ(TZip().CompressMethod(), cmBZip2);
    EXPECT_EQ(TJar().CompressMethod(), cmDeflate);
    TZip zip;
    zip.SetCompressMethod(cmDeflate);
    zip.SetCompressMethod(cmLzx);
    EXPECT_EQ(zip.CompressMethod(), cmDeflate);
    TJar jar;
    jar.SetCompressMethod(cmBZip2);
    EXPECT_EQ(jar.CompressMethod(), cmDeflate);

    EXPECT_NE(dynamic_cast<TJar*>(CreateWriter(atJarExe).get()), nullptr);
    EXPECT_NE(dynamic_cast<TZip*>(CreateWriter(atZip).get()), nullptr);
    EXPECT_EQ(CreateWriter(atRar), nullptr);
}

TEST_F(ZipWriterTest, StoredDirNames) {
    WriteFile(dir_ / "src" / "a.txt", "a");
    WriteFile(dir_ / "src" / "sub" / "b.txt", "b");
    fs::create_directories(dir_ / "src" / "sub" / "void");
    const std::string abs = fs::path(dir_.Path()).relative_path().generic_string();  // without the leading "/"
    struct Case {
        const char* Name;
        TStoredDirNames Mode;
        std::vector<std::string> Lines;  // relative lines are taken from dir_
        bool EmptyDirs;
        std::vector<std::string> Names;
    };
    const Case cases[] = {
        {"none", sdNone, {"src/*.*"}, false, {"a.txt", "b.txt"}},
        {"absolute", sdAbsolute, {"src/*.*"}, false, {abs + "/src/a.txt", abs + "/src/sub/b.txt"}},
        {"relative", sdRelative, {"src/*.*"}, false, {"a.txt", "sub/b.txt"}},
        {"relative, empty folders", sdRelative, {"src/sub/*.*"}, true, {"b.txt", "void/"}},
        {"store start, relative line", sdRelativeStoreStart, {"src/sub/*.*"}, true, {"src/sub/b.txt", "src/sub/void/"}},
        {"store start, absolute line", sdRelativeStoreStart, {(dir_ / "src" / "*.*").string()}, false,
         {"src/a.txt", "src/sub/b.txt"}},
        {"store start, no folder in the line", sdRelativeStoreStart, {"*.txt"}, false, {"src/a.txt", "src/sub/b.txt"}},
        {"common root", sdExplorer_Auto, {"src/sub/*.txt", (dir_ / "src" / "a.txt").string()}, false,
         {"a.txt", "sub/b.txt"}},
        {"default dir", sdExplorer_UserDefineDefaultDir, {"src/sub/*.txt"}, false, {"sub/b.txt"}},
        {"dots never stored", sdRelativeStoreStart, {"src/../src/sub/*.txt"}, false, {"src/src/sub/b.txt"}},
    };
    const fs::path saved = fs::current_path();
    fs::current_path(dir_.Path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const fs::path archive = dir_ / "names.zip";
        fs::remove(archive);
        auto writer = MakeWriter(archive);
        writer->StoredDirNames = c.Mode;
        writer->StoreEmptySubDirs = c.EmptyDirs;
        writer->DefaultDir = (dir_ / "src").string();
        writer->FileSpec = c.Lines;
        writer->Compress();
        auto names = ArchiveEntryNames(archive);
        std::sort(names.begin(), names.end());
        auto expected = c.Names;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected);
    }
    // Without a default directory the run names the missing property.
    errors_.clear();
    auto writer = MakeWriter(dir_ / "nodefault.zip");
    writer->StoredDirNames = sdExplorer_UserDefineDefaultDir;
    writer->FileSpec = {"src/*.*"};
    EXPECT_EQ(writer->Compress(), 0);
    EXPECT_EQ(errors_, std::vector<int>{25271});
    EXPECT_EQ(error_details_, std::vector<std::string>{"DefaultDir"});
    fs::current_path(saved);
}

class ZipWriterMoveTest : public ZipWriterTest {
protected:
    void SetUp() override {
        ZipWriterTest::SetUp();
        if (const char* old = std::getenv("XDG_DATA_HOME")) saved_ = old;
        ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    }
    void TearDown() override {
        if (saved_.empty()) {
            ::unsetenv("XDG_DATA_HOME");
        } else {
            ::setenv("XDG_DATA_HOME", saved_.c_str(), 1);
        }
    }
    std::string saved_;
};

TEST_F(ZipWriterMoveTest, MovedFilesGoToTheTrashOnlyOnceTheArchiveHoldsThem) {
    WriteFile(dir_ / "src" / "one.txt", "one");
    WriteFile(dir_ / "src" / "two.txt", "two");
    fs::create_directories(dir_ / "src" / "void");
    const fs::path archive = dir_ / "moved.zip";
    auto writer = MakeWriter(archive);
    writer->Switch = swMove;
    writer->VerifyBeforeDelete = true;
    writer->StoreEmptySubDirs = true;
    writer->FileSpec = {(dir_ / "src" / "*.*").string()};
    // A file the owner does not let in stays where it is.
    writer->OnBegin = [](TObject*, const std::string& path, int, bool& take) {
        take = fs::path(path).filename() != "two.txt";
    };
    EXPECT_EQ(writer->Compress(), 3);  // one.txt and the empty folders sub/ and void/
    EXPECT_TRUE(errors_.empty());
    EXPECT_FALSE(fs::exists(dir_ / "src" / "one.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "src" / "void"));
    EXPECT_FALSE(fs::exists(dir_ / "src" / "sub"));
    EXPECT_EQ(ReadFile(dir_ / "src" / "two.txt"), "two");
    EXPECT_EQ(ReadFile(dir_ / "data" / "Trash" / "files" / "one.txt"), "one");
    auto names = ArchiveEntryNames(archive);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"one.txt", "sub/", "void/"}));
}

TEST_F(ZipWriterTest, CancelledOrFailedRunsLeaveTheArchiveAsItWas) {
    WriteSources();
    const fs::path archive = dir_ / "safe.zip";
    auto first = MakeWriter(archive);
    first->FileSpec = {(dir_ / "src" / "text.txt").string()};
    ASSERT_EQ(first->Compress(), 1);
    const std::string before = ReadFile(archive);
    const auto Listing = [this] {
        std::vector<std::string> names;
        for (const auto& item : fs::directory_iterator(dir_.Path())) names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const auto listing = Listing();

    // Cancel: 0 never, 1 at the start of the run (before the files are gathered), 2 at the second file.
    struct Case {
        const char* Name;
        TCompressionMethod Where;
        int Cancel;
        int Error;
    };
    for (const Case& c : {Case{"cancel", cmTempFile, 2, 25443}, Case{"cancel in memory", cmInMemory, 2, 25443},
                          Case{"cancel at the start", cmTempFile, 1, 25443}, Case{"rename fails", cmTempFile, 0, 25350},
                          Case{"disk full", cmInMemory, 0, 25160}}) {
        SCOPED_TRACE(c.Name);
        errors_.clear();
        auto writer = MakeWriter(archive);
        writer->CompressionMethod = c.Where;
        writer->FileSpec = {(dir_ / "src" / "*.*").string()};
        bool activated = false;
        bool deactivated = false;
        writer->OnActivate = [&](TObject*) {
            activated = true;
            if (c.Cancel == 1) writer->SetCancel(true);
        };
        writer->OnDeactivate = [&](TObject*) { deactivated = true; };
        if (c.Cancel == 2) {
            writer->OnBegin = [&](TObject*, const std::string&, int count, bool&) {
                if (count == 2) writer->SetCancel(true);
            };
        }
        writer->TempFileOps.Rename = [](const std::string&, const std::string&) { return errno = EIO, -1; };
        writer->TempFileOps.Write = [](int, const void*, std::size_t) -> ssize_t { return errno = ENOSPC, -1; };
        EXPECT_EQ(writer->Compress(), 0);
        EXPECT_TRUE(activated && deactivated);
        ASSERT_FALSE(errors_.empty());
        EXPECT_EQ(errors_.back(), c.Error);
        EXPECT_EQ(ReadFile(archive), before);
        EXPECT_TRUE(TempFolderEmpty());
        EXPECT_EQ(Listing(), listing);  // nor a temporary sibling of the archive
    }
}

TEST_F(ZipWriterTest, DamagedArchivesAreRefusedNotRewritten) {
    WriteSources();
    const fs::path archive = dir_ / "broken.zip";
    auto first = MakeWriter(archive);
    first->FileSpec = {(dir_ / "src" / "*.txt").string()};
    ASSERT_EQ(first->Compress(), 3);
    std::string bytes = ReadFile(archive);
    bytes.resize(bytes.size() - 30);  // the end of the directory is gone
    WriteFile(archive, bytes);
    auto writer = MakeWriter(archive);
    writer->FileSpec = {(dir_ / "src" / "noise.bin").string()};
    EXPECT_EQ(writer->Compress(), 0);
    EXPECT_EQ(errors_, std::vector<int>{25259});
    EXPECT_EQ(ReadFile(archive), bytes);
}

TEST_F(ZipWriterTest, CommentsChangeWithoutTouchingTheEntries) {
    WriteSources();
    const fs::path archive = dir_ / "comments.zip";
    auto first = MakeWriter(archive);
    first->FileSpec = {(dir_ / "src" / "*.*").string()};
    ASSERT_EQ(first->Compress(), 5);
    const auto before = ArchiveEntries(archive);
    const std::string old_bytes = ReadFile(archive);

    auto writer = MakeWriter(archive);
    ASSERT_TRUE(writer->SetComments("the archive", {{"TEXT.TXT", "the text"}}));
    TFileStream32 in(archive.string(), TFileOpenMode::fmOpenRead);
    const auto zip = ReadExistingZip(in, archive.string());
    ASSERT_TRUE(zip.has_value());
    EXPECT_EQ(zip->Comment, "the archive");
    const std::string new_bytes = ReadFile(archive);
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(zip->Entries[i].Central.Comment, zip->Entries[i].Name == "text.txt" ? "the text" : "");
        EXPECT_EQ(new_bytes.substr(static_cast<std::size_t>(zip->Entries[i].Offset), static_cast<std::size_t>(zip->Entries[i].Length)),
                  old_bytes.substr(static_cast<std::size_t>(before[i].Offset), static_cast<std::size_t>(before[i].Length)));
    }
    if (HaveProgram("unzip")) {
        std::string output;
        EXPECT_EQ(RunCommand("unzip -t " + Quoted(archive) + " 2>&1", &output), 0) << output;
    }
    EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(ZipWriterTest, LargeFilesStreamWithEveryMethod) {
    // Over the in-memory budget: a sparse file of zeros with a little text at its end.
    const fs::path big = dir_ / "src" / "big.img";
    {
        std::FILE* file = std::fopen(big.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fseek(file, (std::int64_t{64} << 20) + 1000, SEEK_SET);
        std::fputs("tail", file);
        std::fclose(file);
    }
    for (TCompressMethod method : {cmBZip2, cmDeflate}) {
        const fs::path archive = dir_ / (method == cmBZip2 ? "big-bz.zip" : "big-deflate.zip");
        auto writer = MakeWriter(archive);
        writer->SetCompressMethod(method);
        writer->Password = "pw";
        writer->FileSpec = {big.string()};
        std::vector<int> percents;
        writer->OnProgress = [&](TObject*, std::uint8_t, std::uint8_t archive_percent) { percents.push_back(archive_percent); };
        ASSERT_EQ(writer->Compress(), 1);
        ASSERT_FALSE(percents.empty());
        EXPECT_EQ(percents.back(), 100);
        EXPECT_EQ(ArchiveEntries(archive).front().Central.Method, method == cmBZip2 ? 12 : 8);
        if (HaveProgram("unzip")) {
            std::string output;
            EXPECT_EQ(RunCommand("unzip -t -P pw " + Quoted(archive) + " 2>&1", &output), 0) << output;
        }
    }
}

}  // namespace
}  // namespace kv::test
