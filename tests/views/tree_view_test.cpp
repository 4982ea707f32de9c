#include "views/tree_view_test.h"

#include <QtTest>

#include "views/views_fixture.h"

namespace kv::test {

namespace {

const std::vector<std::string> kFolders = {"top.txt", "docs/a.md", "Docs/b.md", "docs/sub/c.md", "zeta/d",
                                           "Beta/e", "alpha/deep/f"};

QStringList ChildTexts(const QTreeWidgetItem* node) {
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i) texts << node->child(i)->text(0);
    return texts;
}

}  // namespace

void ArcTreeViewTest::buildsFolderNodes() {
    TViewsFixture f;
    QVERIFY(f.OpenNames(kFolders, true));
    QCOMPARE(f.tree.topLevelItemCount(), 1);
    const QTreeWidgetItem* root = f.tree.RootNode();
    QCOMPARE(root->text(0), QStringLiteral("a.zip"));
    // docs and Docs are two nodes; with case ignored they sort together, in either order.
    const QStringList top = ChildTexts(root);
    QCOMPARE(top.size(), 5);
    QCOMPARE(top.mid(0, 2), (QStringList{"alpha", "Beta"}));
    QCOMPARE(QSet<QString>(top.begin() + 2, top.begin() + 4), (QSet<QString>{"docs", "Docs"}));
    QCOMPARE(top[4], QStringLiteral("zeta"));
    const QTreeWidgetItem* docs = root->child(top.indexOf("docs"));
    QCOMPARE(ChildTexts(docs), QStringList{"sub"});
    QCOMPARE(ChildTexts(root->child(top.indexOf("Docs"))), QStringList());
    QCOMPARE(ChildTexts(root->child(0)), QStringList{"deep"});  // a folder with only a folder in it
    QCOMPARE(f.tree.FolderPathOf(docs->child(0)), std::string("docs/sub/"));
    QCOMPARE(f.tree.FolderPathOf(root), std::string());
    // Opening starts at the archive's top.
    QCOMPARE(f.tree.currentItem(), root);
}

void ArcTreeViewTest::onlyInExplorerStyleWithAnArchive() {
    TViewsFixture f;
    QVERIFY(f.OpenNames(kFolders, false));
    QCOMPARE(f.tree.topLevelItemCount(), 0);
    f.comp.SetExplorerStyle(true);
    QCOMPARE(f.tree.topLevelItemCount(), 1);
    QVERIFY(f.comp.Close());
    QCOMPARE(f.tree.topLevelItemCount(), 0);
    QVERIFY(!f.tree.SelectFolder("docs/"));
}

void ArcTreeViewTest::selectFolder_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("selected");
    QTest::newRow("nested") << "docs/sub/" << true << "docs/sub/";
    QTest::newRow("without delimiter") << "Docs" << true << "Docs/";
    QTest::newRow("other case") << "DOCS/" << false << "zeta/";
    QTest::newRow("missing inner") << "docs/none/" << false << "zeta/";
    QTest::newRow("archive") << "" << true << "";
    QTest::newRow("leading delimiter") << "/alpha/deep" << true << "alpha/deep/";
}

void ArcTreeViewTest::selectFolder() {
    QFETCH(QString, path);
    QFETCH(bool, found);
    QFETCH(QString, selected);
    TViewsFixture f;
    QVERIFY(f.OpenNames(kFolders, true));
    QVERIFY(f.tree.SelectFolder("zeta/"));
    QCOMPARE(f.tree.SelectFolder(path.toStdString()), found);
    QCOMPARE(QString::fromStdString(f.tree.SelectedFolder()), selected);
    // Selecting a node is choosing that folder.
    QCOMPARE(QString::fromStdString(f.comp.DirFilter()), selected);
    if (!selected.isEmpty()) QVERIFY(f.tree.currentItem()->parent()->isExpanded());
}

void ArcTreeViewTest::selectionSetsDirFilter() {
    TViewsFixture f;
    QVERIFY(f.OpenNames(kFolders, true));
    QTreeWidgetItem* root = f.tree.RootNode();
    QTreeWidgetItem* docs = root->child(ChildTexts(root).indexOf("docs"));
    f.tree.setCurrentItem(docs->child(0));
    QCOMPARE(f.comp.DirFilter(), std::string("docs/sub/"));
    QCOMPARE(f.Column(facade::lcFilename), (QStringList{"..", "c.md"}));
    f.tree.setCurrentItem(root);
    QCOMPARE(f.comp.DirFilter(), std::string());
    // The other way round: the facade's folder selects its node, and Folder up climbs the tree.
    f.comp.SetDirFilter("alpha/deep/");
    QCOMPARE(f.tree.currentItem()->text(0), QStringLiteral("deep"));
    f.list.FolderUp();
    QCOMPARE(f.tree.currentItem()->text(0), QStringLiteral("alpha"));
    f.list.FolderUp();
    QCOMPARE(f.tree.currentItem(), root);
    // Listing again keeps the folder shown and its node.
    f.comp.SetDirFilter("docs/sub/");
    QVERIFY(f.comp.Reload());
    QCOMPARE(f.tree.SelectedFolder(), std::string("docs/sub/"));
    QCOMPARE(f.comp.DirFilter(), std::string("docs/sub/"));
}

void ArcTreeViewTest::selectedFolderEntries() {
    TViewsFixture f;
    QVERIFY(f.OpenNames(kFolders, true));
    f.comp.SetDirFilter("docs/");
    std::vector<std::string> entries = {"replaced"};
    f.tree.GetSelectedFolderEntries(entries);
    QCOMPARE(entries, (std::vector<std::string>{"docs/a.md", "docs/sub/c.md"}));
    f.comp.SetDirFilter("");
    f.tree.GetSelectedFolderEntries(entries);
    QCOMPARE(entries.size(), kFolders.size());
}

}  // namespace kv::test
