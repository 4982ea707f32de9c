#include <gtest/gtest.h>

#include "facade/arc_capabilities.h"
#include "facade/facade_fixture.h"

namespace kv {
namespace {

using facade::TkvComp;

TEST(KvCompSecurity, TraversalNames) {
    const struct {
        std::string name;
        bool traversal;
    } cases[] = {
        {"../evil", true},  {"a/../../b", true}, {"a/b/..", true},   {"..\\x", true},  {"/abs", true},
        {"\\abs", true},    {"C:x", true},       {"c:\\x", true},    {"a..b.txt", false}, {"...", false},
        {"dir/..x", false}, {"ok/name", false},  {"x:", true},      {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(facade::IsTraversalName(c.name), c.traversal) << c.name;
}

// One question per Open, asked by the first unsafe name; Cancel closes the archive again.
TEST(KvCompSecurity, TraversalQuestionOncePerOpen) {
    test::TempDir dir;
    const std::vector<std::string> names = {"ok.txt", "../evil", "/abs", "a..b.txt"};
    for (const std::string& path : {test::WriteZipOf(dir, "a.zip", names), test::WriteTarOf(dir, "a.tar", names)}) {
        for (const bool cancel : {false, true}) {
            TkvComp comp;
            int questions = 0;
            comp.OnSecurityIssue = [&](TObject* sender, const facade::TkvSecurityIssue& issue, bool& stop) {
                EXPECT_EQ(sender, &comp);
                EXPECT_NE(dynamic_cast<const facade::TkvDirectoryTraversalIssue*>(&issue), nullptr);
                EXPECT_EQ(issue.IssueKind, 2);
                EXPECT_FALSE(stop);
                stop = cancel;
                ++questions;
            };
            EXPECT_EQ(comp.Open(path), !cancel) << path;
            EXPECT_EQ(questions, 1) << path;
            EXPECT_EQ(comp.ArcOpen(), !cancel) << path;
            if (cancel) {
                EXPECT_TRUE(comp.Entries().empty()) << path;
                continue;
            }
            EXPECT_EQ(comp.Entries().size(), names.size()) << path;
            ASSERT_TRUE(comp.Open(path));
            EXPECT_EQ(questions, 2) << path;
        }
    }
}

TEST(KvCompSecurity, SafeNamesAskNothing) {
    test::TempDir dir;
    TkvComp comp;
    int questions = 0;
    comp.OnSecurityIssue = [&](TObject*, const facade::TkvSecurityIssue&, bool&) { ++questions; };
    ASSERT_TRUE(comp.Open(test::WriteZipOf(dir, "a.zip", {"a..b.txt", "dir/..x", "ok"})));
    EXPECT_EQ(questions, 0);
}

TEST(KvCompSetup, ARootSetupProgramMakesTheArchiveInstallable) {
    const struct {
        std::string name;
        bool installable;
    } cases[] = {
        {"setup.exe", true}, {"SETUP.EXE", true}, {"install.bat", true}, {"Install.Exe", true},
        {"docs/setup.exe", false}, {"exe", false}, {"p.e", false}, {"setup.exe.txt", false},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        for (const std::string& path :
             {test::WriteZipOf(dir, "a.zip", {"readme", c.name}), test::WriteTarOf(dir, "a.tar", {"readme", c.name})}) {
            TkvComp comp;
            ASSERT_TRUE(comp.Open(path));
            EXPECT_EQ(comp.IsArcInstallable(), c.installable) << c.name << " in " << path;
            if (c.installable) {
                EXPECT_EQ(comp.SetupEntry().FileName, c.name);
            }
            // The next archive without one is not installable.
            ASSERT_TRUE(comp.Open(test::WriteZipOf(dir, "plain.zip", {"readme"})));
            EXPECT_FALSE(comp.IsArcInstallable());
        }
    }
}

}  // namespace
}  // namespace kv
