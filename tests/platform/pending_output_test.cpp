// An output replaces what bears its name only when committed: a free name is taken at once, a taken one
// waits under a hidden name beside it; whatever is not committed goes, and nothing else with it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/pending_output.h"
#include "support/folder_contents.h"
#include "support/test_support.h"

namespace kv::platform {
namespace {

namespace fs = std::filesystem;

void WriteAndClose(int handle, const std::string& data) {
    ASSERT_GE(handle, 0);
    ASSERT_EQ(::write(handle, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    ::close(handle);
}

TEST(PendingOutput, ReplacesOnlyOnCommitAndLeavesNothingElse) {
    test::TempDir dir;
    const std::string taken = (dir / "taken.txt").string();
    const std::string free = (dir / "free.txt").string();
    test::WriteFile(taken, "old");
    const struct {
        const char* what;
        bool commit;
        bool only_if_free;
        const char* taken_after;
        bool free_exists;
    } cases[] = {
        {"committed", true, false, "new", true},
        {"discarded", false, false, "old", false},
        {"kept where free", true, true, "old", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::WriteFile(taken, "old");
        fs::remove(free);
        TPendingOutput over, fresh;
        WriteAndClose(over.CreateFile(taken), "new");
        WriteAndClose(fresh.CreateFile(free), "new");
        EXPECT_FALSE(over.InPlace());
        EXPECT_TRUE(fresh.InPlace());
        EXPECT_EQ(fs::path(over.TempPath()).filename().string().rfind(".taken.txt.kv", 0), 0u) << over.TempPath();
        EXPECT_EQ(test::ReadFile(taken), "old");  // not before the commit
        for (TPendingOutput* output : {&over, &fresh}) {
            if (!c.commit) output->Discard();
            else if (c.only_if_free) output->CommitIfFree();
            else EXPECT_TRUE(output->Commit());
        }
        EXPECT_EQ(test::ReadFile(taken), c.taken_after);
        EXPECT_EQ(fs::exists(free), c.free_exists);
        const std::vector<std::string> expected =
            c.free_exists ? std::vector<std::string>{"free.txt", "taken.txt"} : std::vector<std::string>{"taken.txt"};
        EXPECT_EQ(test::FolderNames(dir.Path()), expected);
    }
}

TEST(PendingOutput, ALinkReplacesAnotherWithoutFollowingIt) {
    test::TempDir dir;
    test::WriteFile(dir / "victim.txt", "precious");
    fs::create_symlink("victim.txt", dir / "link");
    TPendingOutput output;
    ASSERT_TRUE(output.CreateSymbolicLink("other.txt", (dir / "link").string()));
    EXPECT_TRUE(output.Commit());
    EXPECT_EQ(fs::read_symlink(dir / "link"), "other.txt");
    EXPECT_EQ(test::ReadFile(dir / "victim.txt"), "precious");
}

}  // namespace
}  // namespace kv::platform
