#include <gtest/gtest.h>

#include <memory>

#include "facade/facade_fixture.h"

namespace kv {
namespace {

using facade::TkvComp;

class FakeListView : public facade::TArcListViewLink {
public:
    void Refill() override { ++refills; }
    int refills = 0;
};

class FakeTreeView : public facade::TArcTreeViewLink {
public:
    void Rebuild() override { ++rebuilds; }
    bool SelectFolder(const std::string& path) override {
        selected.push_back(path);
        return true;
    }
    int rebuilds = 0;
    std::vector<std::string> selected;
};

TEST(KvCompViews, BindingGoesBothWaysAndEndsWithEitherSide) {
    TkvComp comp;
    FakeListView first;
    comp.SetArcListView(&first);
    EXPECT_EQ(first.kvComp(), &comp);

    FakeListView second;
    second.SetkvComp(&comp);
    EXPECT_EQ(comp.ArcListView(), &second);
    EXPECT_EQ(first.kvComp(), nullptr);

    {
        FakeTreeView tree;
        tree.SetkvComp(&comp);
        EXPECT_EQ(comp.ArcTreeView(), &tree);
    }
    EXPECT_EQ(comp.ArcTreeView(), nullptr);  // a destroyed view is forgotten

    FakeTreeView tree;
    {
        TkvComp other;
        tree.SetkvComp(&other);
        EXPECT_EQ(other.ArcTreeView(), &tree);
    }
    EXPECT_EQ(tree.kvComp(), nullptr);  // and so is a destroyed facade
}

TEST(KvCompViews, ViewsFollowListingClosingAndSettings) {
    test::TempDir dir;
    const std::string zip = test::WriteZipOf(dir, "a.zip", {"one.txt"});
    TkvComp comp;
    FakeListView list;
    FakeTreeView tree;
    comp.SetArcListView(&list);
    comp.SetArcTreeView(&tree);
    comp.SetDisplayDirs(true);

    ASSERT_TRUE(comp.Open(zip));
    EXPECT_EQ(list.refills, 0);  // without ListFiles and explorer style the views are left alone
    EXPECT_EQ(tree.rebuilds, 0);

    comp.SetListFiles(true);
    EXPECT_EQ(list.refills, 1);
    comp.SetExplorerStyle(true);
    EXPECT_FALSE(comp.DisplayDirs());  // explorer style shows folders in the tree instead
    EXPECT_GE(tree.rebuilds, 1);
    EXPECT_GE(list.refills, 2);

    // Every listing and the closing redraw both views.
    for (const auto& step : {+[](TkvComp& c) { return c.Reload(); }, +[](TkvComp& c) { return c.Close(); }}) {
        const int refills = list.refills;
        const int rebuilds = tree.rebuilds;
        ASSERT_TRUE(step(comp));
        EXPECT_GT(list.refills, refills);
        EXPECT_GT(tree.rebuilds, rebuilds);
    }
}

TEST(KvCompBrowse, DirFilterAndEntriesUnder) {
    test::TempDir dir;
    TkvComp comp;
    FakeListView list;
    FakeTreeView tree;
    comp.SetArcListView(&list);
    comp.SetArcTreeView(&tree);
    ASSERT_TRUE(comp.Open(test::WriteZipOf(dir, "a.zip", {"top.txt", "docs/a.md", "docs/sub/b.md", "docsx/c"})));

    comp.SetDirFilter("docs");
    EXPECT_EQ(comp.DirFilter(), "docs/");
    EXPECT_EQ(tree.selected, std::vector<std::string>{"docs/"});
    EXPECT_EQ(list.refills, 1);
    comp.SetDirFilter("docs/");  // no change, nothing to redo
    EXPECT_EQ(list.refills, 1);
    comp.SetDirFilter("");
    EXPECT_EQ(comp.DirFilter(), "");

    EXPECT_EQ(*comp.EntriesUnder("docs/"), (std::vector<std::string>{"docs/a.md", "docs/sub/b.md"}));
    EXPECT_EQ(comp.EntriesUnder("")->size(), 4u);
    EXPECT_TRUE(comp.EntriesUnder("nothing/")->empty());
}

TEST(KvCompBrowse, DisplayDirsListsAgainWithFolderEntries) {
    test::TempDir dir;
    const std::vector<std::string> names = {"docs/", "docs/a.md"};
    for (const std::string& path : {test::WriteZipOf(dir, "a.zip", names), test::WriteTarOf(dir, "a.tar", names)}) {
        TkvComp comp;
        ASSERT_TRUE(comp.Open(path));
        EXPECT_EQ(test::EntryNames(comp), std::vector<std::string>{"docs/a.md"}) << path;
        comp.SetDisplayDirs(true);
        EXPECT_EQ(test::EntryNames(comp), names) << path;
        comp.SetDisplayDirs(false);
        EXPECT_EQ(test::EntryNames(comp), std::vector<std::string>{"docs/a.md"}) << path;
    }
}

TEST(KvCompBrowse, ReloadKeepsTheFolderShown) {
    test::TempDir dir;
    for (const std::string& path : {test::WriteZipOf(dir, "a.zip", {"docs/a.md"}), test::WriteTarOf(dir, "a.tar", {"docs/a.md"})}) {
        TkvComp comp;
        comp.SetExplorerStyle(true);
        ASSERT_TRUE(comp.Open(path));
        comp.SetDirFilter("docs/");
        ASSERT_TRUE(comp.Reload());
        EXPECT_EQ(comp.DirFilter(), "docs/") << path;
        EXPECT_EQ(comp.Entries().size(), 1u);
        // Opening an archive starts at its root.
        ASSERT_TRUE(comp.Open(path));
        EXPECT_EQ(comp.DirFilter(), "") << path;
    }
}

}  // namespace
}  // namespace kv
