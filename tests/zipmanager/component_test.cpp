// The component shell: one operation at a time, guarded properties, locked file lists, property
// write rules, deferred work while inactive, and cancelling from the after-report hook.
#include <gtest/gtest.h>

#include "support/zip_builder.h"
#include "zm_probe.h"

namespace kv {
namespace {

using test::TZipManagerProbe;

class ZipManagerComponent : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteFile(archive_, test::BuildZip({{.name = "a", .data = "x"}, {.name = "b", .data = "y"},
                                                  {.name = "c", .data = "z"}}));
    }
    test::TempDir dir_;
    const std::filesystem::path archive_ = dir_ / "a.zip";
};

TEST_F(ZipManagerComponent, RefusesWorkAndGuardedWritesWhileBusy) {
    TZipManagerProbe probe;
    TZipManager& zm = probe.zm;
    zm.FSpecArgs().Add("kept.txt");
    TShieldStringList other;
    other.Add("other.txt");
    bool inside = false;
    zm.OnNewName = [&](TObject*, int seq_no, const ZipDirEntry&) {
        probe.SeqNos.push_back(seq_no);
        if (inside) return;
        inside = true;
        EXPECT_TRUE(zm.Busy());
        EXPECT_EQ(zm.List(), TZipManager::kNotReady);
        zm.SetAddCompLevel(3);
        zm.SetExtrBaseDir("/elsewhere");
        zm.SetRootDir("/root");
        zm.SetUseDirOnlyEntries(true);
        zm.SetZipFileName((dir_ / "other.zip").string());
        zm.SetFSpecArgs(other);
        EXPECT_EQ(zm.FSpecArgs().Add("refused.txt"), -1);
        zm.FSpecArgsExcl().Clear();
        EXPECT_EQ(zm.FSpecArgs().Count(), 1);  // reading still works
        zm.SetPassword("secret");              // not guarded
    };
    EXPECT_EQ(probe.Open(archive_), 0);

    EXPECT_EQ(probe.SeqNos, (std::vector<int>{1, 2, 3}));  // the running List went on undisturbed
    EXPECT_FALSE(zm.Busy());
    EXPECT_TRUE(zm.ReEntry());
    EXPECT_EQ(zm.AddCompLevel(), 9);
    EXPECT_EQ(zm.ExtrBaseDir(), "");
    EXPECT_EQ(zm.RootDir(), "");
    EXPECT_FALSE(zm.UseDirOnlyEntries());
    EXPECT_EQ(zm.ZipFileName(), archive_.string());
    EXPECT_EQ(zm.FSpecArgs().ToVector(), std::vector<std::string>{"kept.txt"});
    EXPECT_EQ(zm.Password(), "secret");

    // Unlocked again once the operation is over; the next operation starts without the re-entry mark.
    EXPECT_EQ(zm.FSpecArgs().Add("later.txt"), 1);
    zm.SetAddCompLevel(3);
    EXPECT_EQ(zm.AddCompLevel(), 3);
    inside = true;
    EXPECT_EQ(zm.List(), 0);
    EXPECT_FALSE(zm.ReEntry());
    EXPECT_EQ(probe.prompter.BusyLevel, 0);
}

TEST_F(ZipManagerComponent, ApplyTheWriteRulesOfItsProperties) {
    TZipManager zm;
    struct Count {
        std::uint32_t written, read;
    };
    for (const Count c : {Count{100, 15}, Count{16, 15}, Count{15, 15}, Count{3, 3}, Count{0, 0}}) {
        zm.SetPasswordReqCount(c.written);
        EXPECT_EQ(zm.PasswordReqCount(), c.read) << c.written;
    }
    const std::pair<const char*, const char*> folders[] = {
        {"/opt/zip/", "/opt/zip"}, {"/opt/zip", "/opt/zip"}, {"C:\\dlls\\", "C:\\dlls"}, {"/", "/"}, {"", ""}};
    for (const auto& [written, read] : folders) {
        zm.SetDLLDirectory(written);
        EXPECT_EQ(zm.DLLDirectory(), read) << written;
    }
    EXPECT_EQ(TZipManager::VersionInfo(), "1.76");

    EXPECT_TRUE(zm.SetOemCodePage("866"));
    EXPECT_FALSE(zm.SetOemCodePage("no such code page"));
    EXPECT_EQ(zm.OemCodePage(), "866");
}

TEST_F(ZipManagerComponent, StartsWithItsDocumentedDefaults) {
    TZipManager zm;
    EXPECT_TRUE(zm.Active());
    EXPECT_FALSE(zm.Verbose());
    EXPECT_FALSE(zm.Unattended());
    EXPECT_EQ(zm.AddCompLevel(), 9);
    EXPECT_EQ(zm.CodePage(), cpAuto);
    EXPECT_EQ(zm.HowToDelete(), htdAllowUndo);
    EXPECT_EQ(zm.PasswordReqCount(), 1u);
    EXPECT_TRUE(zm.ConfirmErase());
    EXPECT_EQ(zm.MinFreeVolumeSize(), 65536);
    EXPECT_EQ(zm.MaxVolumeSize(), 0);
    EXPECT_TRUE(zm.AddStoreSuffixes().Has(assGIF));
    EXPECT_TRUE(zm.AddStoreSuffixes().Has(assJAR));
    EXPECT_FALSE(zm.AddStoreSuffixes().Has(assEXE));
    EXPECT_FALSE(zm.AddStoreSuffixes().Has(assEXT));
    EXPECT_EQ(zm.EntryCount(), 0);
}

TEST_F(ZipManagerComponent, InactiveComponentRemembersListAndCommentUntilActivated) {
    const std::string before = test::ReadFile(archive_);
    TZipManagerProbe probe;
    TZipManager& zm = probe.zm;
    zm.SetActive(false);
    zm.SetZipFileName(archive_.string());
    zm.SetArchiveComment("written later");
    EXPECT_EQ(zm.List(), TZipManager::kNotReady);
    EXPECT_EQ(zm.EntryCount(), 0);
    EXPECT_EQ(probe.DirUpdates, 0);
    EXPECT_EQ(test::ReadFile(archive_), before);

    zm.SetActive(true);
    EXPECT_EQ(zm.EntryCount(), 3);
    EXPECT_EQ(zm.ArchiveComment(), "written later");
    const std::string after = test::ReadFile(archive_);
    EXPECT_EQ(after.substr(after.size() - 13), "written later");
    const int updates = probe.DirUpdates;
    EXPECT_GE(updates, 1);

    // Both were forgotten once done.
    zm.SetActive(false);
    zm.SetActive(true);
    EXPECT_EQ(probe.DirUpdates, updates);
}

TEST_F(ZipManagerComponent, AbortFromTheAfterReportHookCancelsTheListing) {
    TZipManagerProbe probe(false);
    int calls = 0;
    probe.zm.OnAfterCallback = [&](TObject*, bool& abort) {
        ++calls;
        abort = true;
    };
    EXPECT_EQ(probe.Open(archive_), 11007);
    EXPECT_EQ(probe.zm.Message(), "User canceled operation");
    EXPECT_TRUE(probe.zm.DirEntries().empty());
    EXPECT_EQ(probe.zm.ZipFileName(), "");
    EXPECT_EQ(probe.DirUpdates, 1);
    EXPECT_EQ(probe.prompter.Boxes.size(), 1u);
    EXPECT_EQ(probe.SeqNos.size(), 1u);  // stopped after the first entry
    EXPECT_GT(calls, 0);

    // A cancel ends the operation it stopped; the next one starts afresh.
    probe.zm.OnAfterCallback = nullptr;
    EXPECT_EQ(probe.Open(archive_), 0);
    EXPECT_EQ(probe.zm.EntryCount(), 3);
}

TEST_F(ZipManagerComponent, PumpsMessagesOnlyWithoutAnAfterReportHook) {
    TZipManagerProbe probe;
    int pumps = 0;
    probe.zm.SetProcessMessages([&] { ++pumps; });
    EXPECT_EQ(probe.Open(archive_), 0);
    EXPECT_EQ(pumps, 5);  // one per report: the step, three entries, the end of the batch

    int hooks = 0;
    pumps = 0;
    probe.zm.OnAfterCallback = [&](TObject*, bool&) { ++hooks; };
    EXPECT_EQ(probe.zm.List(), 0);
    EXPECT_EQ(pumps, 0);
    EXPECT_EQ(hooks, 5);
}

}  // namespace
}  // namespace kv
