// Split and spanned sets made by Info-ZIP: the directory is read from the last volume, following it
// across volumes, and a set named by its base name is found by its numbered volumes.
#include <gtest/gtest.h>


#include "support/sample_data.h"
#include "support/zip_builder.h"
#include "zm_probe.h"

namespace kv {
namespace {

using test::TZipManagerProbe;

constexpr int kSmallFiles = 800;  // enough central headers to fill more than one 64 KiB volume

class SpannedSet : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!test::HaveProgram("zip")) return;
        dir_ = new test::TempDir;
        test::WriteFile(*dir_ / "big.bin", test::RandomBytes(150000));
        std::filesystem::create_directory(*dir_ / "many");
        for (int i = 1; i <= kSmallFiles; ++i)
            test::WriteFile(*dir_ / ("many/a_rather_long_file_name_" + std::to_string(i) + ".txt"), "x");
        // "wide": the directory starts volumes before the last; "small": three volumes, directory on the last.
        std::filesystem::create_directory(*dir_ / "wide");
        std::filesystem::create_directory(*dir_ / "small");
        ready_ = test::RunIn(*dir_, "zip -qr -s 64k wide/a.zip big.bin many && zip -q -s 64k small/a.zip big.bin");
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override {
        if (!ready_) GTEST_SKIP() << "zip missing or failed";
    }
    static std::filesystem::path Path(const std::string& name) { return *dir_ / name; }
    static std::vector<std::string> Volumes(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& item : std::filesystem::directory_iterator(Path(folder)))
            names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static inline test::TempDir* dir_ = nullptr;
    static inline bool ready_ = false;
};

TEST_F(SpannedSet, ReadsADirectoryRunningOverSeveralVolumes) {
    ASSERT_GT(Volumes("wide").size(), 4u);
    for (const bool compat : {false, true}) {
        TZipManagerProbe probe;
        if (compat) probe.zm.SetSpanOptions(SpanOpts{spCompatName});
        EXPECT_EQ(probe.Open(Path("wide/a.zip")), 0) << compat << ": " << probe.zm.Message();
        const auto names = probe.Names();
        ASSERT_EQ(names.size(), std::size_t{kSmallFiles} + 1) << compat;
        EXPECT_EQ(names.front(), "big.bin");
        EXPECT_EQ(probe.Find("big.bin")->UnpackedSize, 150000u);
        EXPECT_NE(probe.Find("many/a_rather_long_file_name_800.txt"), nullptr);
        EXPECT_EQ(probe.SeqNos.back(), kSmallFiles + 2);  // "many/" was dropped
        EXPECT_TRUE(probe.Messages.empty());
        EXPECT_EQ(probe.zm.ZipFileName(), Path("wide/a.zip").string());
    }
}

TEST_F(SpannedSet, AMissingVolumeOfTheDirectoryFailsTheListing) {
    test::TempDir copy;
    const auto volumes = Volumes("wide");
    for (const std::string& name : volumes)
        if (name != volumes[volumes.size() - 2]) std::filesystem::copy(Path("wide/" + name), copy / name);
    TZipManagerProbe probe;
    EXPECT_EQ(probe.Open(copy / "a.zip"), 11001);
    EXPECT_EQ(probe.zm.Message(), "Input file does not exist");
    EXPECT_TRUE(probe.zm.DirEntries().empty());
}

TEST_F(SpannedSet, AsksForEachVolumeOnRemovableMedia) {
    const auto removable = [](const std::string&) {
        platform::DriveInfo drive;
        drive.Valid = true;
        drive.Removable = true;
        return drive;
    };
    const int volumes = static_cast<int>(Volumes("wide").size());
    struct Case {
        const char* label;
        bool unattended;
        bool abort;
        int code;
    };
    const Case cases[] = {
        {"disks given", false, false, 0},
        {"disk request aborted", false, true, 11007},
        {"unattended", true, false, 11025},
    };
    for (const Case& c : cases) {
        TZipManagerProbe probe(c.unattended);
        probe.zm.SetDriveQuery(removable);
        std::vector<std::pair<int, int>> requests;
        probe.zm.OnGetNextDisk = [&](TObject*, int disk, int total, const std::string&, bool& abort) {
            requests.emplace_back(disk, total);
            abort = c.abort;
        };
        EXPECT_EQ(probe.Open(Path("wide/a.zip")), c.code) << c.label << ": " << probe.zm.Message();
        EXPECT_EQ(probe.prompter.Boxes.size(), c.unattended || c.code == 0 ? 0u : 1u) << c.label;
        if (c.code != 0) {
            EXPECT_TRUE(probe.zm.DirEntries().empty()) << c.label;
            continue;
        }
        EXPECT_EQ(probe.zm.EntryCount(), kSmallFiles + 1);
        // One request per volume read, from the one where the directory starts up to the last.
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.back(), std::make_pair(volumes, volumes));
        for (std::size_t i = 1; i < requests.size(); ++i) EXPECT_EQ(requests[i].first, requests[i - 1].first + 1);
    }
}

// A set named by its base name ("backup.zip") whose volumes carry three-digit numbers.
TEST_F(SpannedSet, FindsTheLastNumberedVolumeOfASet) {
    const auto small = Volumes("small");  // a.z01, a.z02, a.zip
    ASSERT_EQ(small, (std::vector<std::string>{"a.z01", "a.z02", "a.zip"}));
    const std::string plain = test::BuildZip({{.name = "plain", .data = "x"}});
    struct Case {
        const char* label;
        std::vector<std::pair<std::string, std::string>> files;  // name, small volume or "plain"
        int code;
        std::size_t entries;
    };
    const Case cases[] = {
        {"three volumes", {{"backup001.zip", "a.z01"}, {"backup002.zip", "a.z02"}, {"backup003.zip", "a.zip"}}, 0, 1},
        {"last volume numbered too low", {{"backup001.zip", "a.z01"}, {"backup002.zip", "a.zip"}}, 11036, 0},
        {"last volume missing", {{"backup001.zip", "a.z01"}, {"backup002.zip", "a.z02"}}, 11002, 0},
        {"numbered volume and .z01 beside it",
         {{"backup001.zip", "a.z01"}, {"backup002.zip", "a.zip"}, {"backup002.z01", "a.z01"}}, 11002, 0},
        {"a lone archive under a volume name", {{"backup001.zip", "plain"}}, 11002, 0},
        {"no first volume", {{"backup002.zip", "a.z02"}, {"backup003.zip", "a.zip"}}, 0, 0},
    };
    for (const Case& c : cases) {
        test::TempDir set;
        for (const auto& [name, source] : c.files) {
            if (source == "plain")
                test::WriteFile(set / name, plain);
            else
                std::filesystem::copy(Path("small/" + source), set / name);
        }
        TZipManagerProbe probe;
        EXPECT_EQ(probe.Open(set / "backup.zip"), c.code) << c.label << ": " << probe.zm.Message();
        EXPECT_EQ(probe.zm.DirEntries().size(), c.entries) << c.label;
        if (c.entries != 0) {
            EXPECT_EQ(probe.Names(), std::vector<std::string>{"big.bin"}) << c.label;
            EXPECT_EQ(probe.zm.ZipFileName(), (set / "backup.zip").string()) << c.label;
        }
    }
}

}  // namespace
}  // namespace kv
