#include "views/list_view_test.h"

#include <QDate>
#include <QHeaderView>
#include <QLocale>
#include <QTime>
#include <QtTest>

#include "engine/core/crc.h"
#include "views/views_fixture.h"

namespace kv::test {

using facade::TRowKind;
using namespace facade;  // the column names

namespace {

const std::vector<std::string> kTree = {"top.txt", "docs/a.md", "docs/sub/b.md", "Docs/c.md", "zeta/d.txt", "Alpha/e"};

QStringList Strings(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& text : texts) list << QString::fromStdString(text);
    return list;
}

// A member of `size` bytes whose data gives it a CRC with the top bit set (or clear).
ZipMember MemberWithCrcSign(const std::string& name, bool topBit) {
    for (int i = 0;; ++i) {
        const std::string data = "crc" + std::to_string(i);
        if (((Crc32Of(data.data(), data.size()) & 0x80000000u) != 0) == topBit) return {.name = name, .data = data};
    }
}

}  // namespace

void ArcListViewTest::refillFlatAndExplorer_data() {
    QTest::addColumn<bool>("explorer");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QStringList>("types");
    // docs and Docs are two folders; with case ignored they sort as one, so either may come first.
    QTest::newRow("flat") << false << "" << Strings({"top.txt", "a.md", "b.md", "c.md", "d.txt", "e"})
                          << QStringList();
    QTest::newRow("explorer, top") << true << "" << Strings({"Alpha", "docs|Docs", "docs|Docs", "zeta", "top.txt"})
                                   << Strings({"Directory", "Directory", "Directory", "Directory", ""});
    QTest::newRow("explorer, folder") << true << "docs/" << Strings({"..", "sub", "a.md"})
                                      << Strings({"Up-Dir", "Directory", ""});
    QTest::newRow("explorer, other case") << true << "Docs/" << Strings({"..", "c.md"}) << Strings({"Up-Dir", ""});
    QTest::newRow("explorer, deepest") << true << "docs/sub/" << Strings({"..", "b.md"}) << Strings({"Up-Dir", ""});
}

void ArcListViewTest::refillFlatAndExplorer() {
    QFETCH(bool, explorer);
    QFETCH(QString, filter);
    QFETCH(QStringList, captions);
    QFETCH(QStringList, types);
    TViewsFixture f;
    QVERIFY(f.OpenNames(kTree, explorer));
    f.comp.SetDirFilter(filter.toStdString());
    const QStringList shown = f.Column(lcFilename);
    QCOMPARE(shown.size(), captions.size());
    for (int row = 0; row < shown.size(); ++row)
        QVERIFY2(captions[row].split('|').contains(shown[row]), qPrintable(shown.join(',')));
    QCOMPARE(QSet<QString>(shown.begin(), shown.end()).size(), shown.size());
    if (!explorer) return;
    for (int row = 0; row < types.size(); ++row) {
        const TArcListItem& item = f.list.ArcItems()[row];
        QCOMPARE(item.Owned, !types[row].isEmpty());
        if (!item.Owned) continue;
        QCOMPARE(f.Cell(row, lcType), types[row]);
        QCOMPARE(f.Cell(row, lcPath), filter);
        QCOMPARE(f.Cell(row, lcSize), QString());
        QCOMPARE(f.Cell(row, lcCRC), QString());
    }
}

void ArcListViewTest::folderEntriesInFlatStyle() {
    TViewsFixture f;
    f.comp.SetDisplayDirs(true);
    QVERIFY(f.OpenNames({"a/", "a/b/", "a/b/c.txt"}, false));
    QCOMPARE(f.Column(lcFilename), Strings({"a", "b", "c.txt"}));
    QCOMPARE(f.Column(lcType).mid(0, 2), Strings({"Directory", "Directory"}));
    QCOMPARE(f.Column(lcPath), Strings({"", "a/", "a/b/"}));
    QCOMPARE(f.Column(lcSize), Strings({"", "", "9"}));
    QVERIFY(!f.Cell(0, lcDateTime).isEmpty());

    // Without ListFiles the rows stay but show nothing.
    f.comp.SetListFiles(false);
    QCOMPARE(f.list.ArcItems().size(), std::size_t{3});
    QCOMPARE(f.Cell(2, lcFilename), QString());
}

void ArcListViewTest::rowTexts() {
    TViewsFixture f;
    const std::string big(1234567, 'x');
    QVERIFY(f.Open({{.name = "dir/a.txt", .data = "abc", .flags = 1, .external_attributes = 0x21},
                    {.name = "big.bin", .data = big, .packed = std::string(1000, 'p'), .method = 8,
                     .external_attributes = 0x27},
                    {.name = "small", .data = std::string(999, 's')}},
                   false));
    const QString sep = QLocale::system().groupSeparator();
    const QString date = QLocale::system().toString(QDate(2025, 3, 11), QLocale::ShortFormat) + "  " +
                         QLocale::system().toString(QTime(7, 33, 2), QLocale::ShortFormat);
    QCOMPARE(f.Column(lcFilename), Strings({"a.txt+", "big.bin", "small"}));
    QCOMPARE(f.Column(lcSize), (QStringList{"3", "1" + sep + "234" + sep + "567", "999"}));
    QCOMPARE(f.Column(lcPacked), (QStringList{"3", "1" + sep + "000", "999"}));
    QCOMPARE(f.Column(lcRatio), Strings({"0%", "100%", "0%"}));
    QCOMPARE(f.Column(lcDateTime), (QStringList{date, date, date}));
    QCOMPARE(f.Column(lcPath), Strings({"dir/", "", ""}));
    QCOMPARE(f.Column(lcAttributes), Strings({"AR", "ASHR", ""}));
    const QStringList crcs = f.Column(lcCRC);
    QCOMPARE(crcs[0], QStringLiteral("352441c2"));  // CRC-32 of "abc"
    for (const QString& crc : crcs) QVERIFY2(QRegularExpression("^[0-9a-f]{8}$").match(crc).hasMatch(), qPrintable(crc));
}

void ArcListViewTest::typeNamesAndTranslation() {
    TViewsFixture f;
    QVERIFY(f.OpenNames({"a.txt", "b.qqzz", "noext", "c.QQZZ"}, false));
    const QStringList types = f.Column(lcType);
    QVERIFY(!types[0].isEmpty() && !types[0].endsWith("Unknown"));  // the MIME database knows text files
    QCOMPARE(types[1], QStringLiteral("QQZZ Unknown"));
    QCOMPARE(types[2], QStringLiteral(" Unknown"));
    QCOMPARE(types[3], QStringLiteral("QQZZ Unknown"));

    // The unknown word is the owner's; a view caches a type once asked.
    TViewsFixture g;
    g.list.OnMsgString = [](QObject*, const QString& key, QString& text) {
        if (key == "cptnUnknown") text = "Unbekannt";
        if (key == "cptnDirectory") text = "Ordner";
        if (key == "cptnUpDir") text = "error";  // the language engine's miss: the English word stays
    };
    QVERIFY(g.OpenNames({"b.qqzz", "d/x.qqzz"}, true));
    QCOMPARE(g.Column(lcType), Strings({"Ordner", "QQZZ Unbekannt"}));
    g.comp.SetDirFilter("d/");
    QCOMPARE(g.Column(lcType), Strings({"Up-Dir", "QQZZ Unbekannt"}));
    g.list.OnMsgString = nullptr;
    QCOMPARE(g.list.TypeNameOf(".qqzz"), QStringLiteral("QQZZ Unbekannt"));
    QCOMPARE(g.list.TypeNameOf(".QQZZ"), QStringLiteral("QQZZ Unknown"));  // the cache is case-sensitive

    // Icons: one per kind of file, the key's case ignored.
    QCOMPARE(g.list.IconIndexOf(".QQZZ"), g.list.IconIndexOf(".qqzz"));
    QVERIFY(g.list.IconIndexOf("Folder") != g.list.IconIndexOf(".qqzz"));
    QCOMPARE(g.list.IconList().size(), std::size_t{2});
}

void ArcListViewTest::columnCaptions() {
    TViewsFixture f;
    QStringList captions;
    for (int column = 0; column < 9; ++column)
        captions << f.list.model()->headerData(column, Qt::Horizontal).toString();
    QCOMPARE(captions, Strings({"Filename", "Type", "Size", "Packed", "Ratio", "Date / Time", "Path", "CRC", "Attributes"}));
    QCOMPARE(f.list.columnWidth(lcFilename), 135);
    QCOMPARE(f.list.columnWidth(lcAttributes), 30);
    QCOMPARE(f.list.model()->headerData(lcSize, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
                 Qt::AlignHorizontal_Mask,
             Qt::Alignment(Qt::AlignRight));

    f.list.OnMsgString = [](QObject*, const QString& key, QString& text) {
        if (key == "cptnSize") text = QString::fromUtf8("Größe");
        if (key == "cptnPath") text = "error";
        if (key == "cptnCRC") text.clear();
    };
    f.list.UpdateColumnCaptions();
    QCOMPARE(f.list.model()->headerData(lcSize, Qt::Horizontal).toString(), QString::fromUtf8("Größe"));
    QCOMPARE(f.list.model()->headerData(lcPath, Qt::Horizontal).toString(), QStringLiteral("Path"));
    QCOMPARE(f.list.model()->headerData(lcCRC, Qt::Horizontal).toString(), QStringLiteral("CRC"));
}

void ArcListViewTest::sortBySizeKeepsFoldersOnTop() {
    TViewsFixture f;
    QVERIFY(f.Open({{.name = "m.txt", .data = "12345"},
                    {.name = "b/x", .data = "x"},
                    {.name = "s.txt", .data = "1"},
                    {.name = "A/y", .data = "y"},
                    {.name = "l.txt", .data = "123"}},
                   true));
    QCOMPARE(f.Column(lcFilename), Strings({"A", "b", "m.txt", "s.txt", "l.txt"}));  // a refill does not sort
    QCOMPARE(f.list.SortColumn(), -1);
    f.list.ColumnClick(lcSize);
    QCOMPARE(f.Column(lcFilename), Strings({"A", "b", "s.txt", "l.txt", "m.txt"}));
    QCOMPARE(f.list.SortDirection(), 1);
    f.list.ColumnClick(lcSize);
    QCOMPARE(f.Column(lcFilename), Strings({"A", "b", "m.txt", "l.txt", "s.txt"}));
    QCOMPARE(f.list.SortDirection(), -1);
    // Another column starts ascending again; the header's click sorts the same way.
    emit f.list.header()->sectionClicked(lcFilename);
    QCOMPARE(f.Column(lcFilename), Strings({"A", "b", "l.txt", "m.txt", "s.txt"}));
    QCOMPARE(f.list.SortColumn(), static_cast<int>(lcFilename));
    QCOMPARE(f.list.SortDirection(), 1);
    // The sort survives a refill, which leaves the rows in listing order.
    f.comp.Reload();
    QCOMPARE(f.list.SortColumn(), static_cast<int>(lcFilename));
    QCOMPARE(f.Column(lcFilename), Strings({"A", "b", "m.txt", "s.txt", "l.txt"}));
}

void ArcListViewTest::sortByNameCrcAndAttributes_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<std::vector<ZipMember>>("members");
    QTest::addColumn<QStringList>("ascending");
    QTest::newRow("name, case ignored") << static_cast<int>(lcFilename)
                                        << std::vector<ZipMember>{{.name = "z/b.txt"}, {.name = "A.txt"}, {.name = "c.txt"}}
                                        << Strings({"A.txt", "b.txt", "c.txt"});
    QTest::newRow("path") << static_cast<int>(lcPath)
                          << std::vector<ZipMember>{{.name = "b/1"}, {.name = "C/2"}, {.name = "a/3"}, {.name = "4"}}
                          << Strings({"4", "3", "1", "2"});
    QTest::newRow("CRC signed") << static_cast<int>(lcCRC)
                                << std::vector<ZipMember>{MemberWithCrcSign("low", false), MemberWithCrcSign("high", true)}
                                << Strings({"high", "low"});
    QTest::newRow("attributes") << static_cast<int>(lcAttributes)
                                << std::vector<ZipMember>{{.name = "a", .external_attributes = 0x81A40020},
                                                          {.name = "b", .external_attributes = 0x21}}
                                << Strings({"b", "a"});
}

void ArcListViewTest::sortByNameCrcAndAttributes() {
    QFETCH(int, column);
    QFETCH(std::vector<ZipMember>, members);
    QFETCH(QStringList, ascending);
    TViewsFixture f;
    QVERIFY(f.Open(members, false));
    f.list.ColumnClick(column);
    QCOMPARE(f.Column(lcFilename), ascending);
    f.list.ColumnClick(column);
    std::reverse(ascending.begin(), ascending.end());
    QCOMPARE(f.Column(lcFilename), ascending);
}

void ArcListViewTest::sortKeepsTheSelection() {
    TViewsFixture f;
    QVERIFY(f.OpenNames({"c", "bb", "aaa"}, false));
    f.SelectRows({"bb"});
    f.list.selectionModel()->setCurrentIndex(f.list.model()->index(0, 0), QItemSelectionModel::NoUpdate);  // "c"
    f.list.ColumnClick(lcFilename);
    QCOMPARE(f.Column(lcFilename), Strings({"aaa", "bb", "c"}));
    QCOMPARE(f.list.SelectedItemIndexes(), std::vector<std::int64_t>{1});
    QCOMPARE(f.list.SelectedEntryIndexes(), std::vector<std::int64_t>{1});
    QCOMPARE(f.list.currentIndex().row(), 2);
}

void ArcListViewTest::folderUp_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("inner folder") << "a/b/" << "a/";
    QTest::newRow("top folder") << "a/" << "";
    QTest::newRow("top") << "" << "";
}

void ArcListViewTest::folderUp() {
    QFETCH(QString, from);
    QFETCH(QString, to);
    TViewsFixture f;
    QVERIFY(f.OpenNames({"a/b/c.txt"}, true));
    f.comp.SetDirFilter(from.toStdString());
    f.list.FolderUp();
    QCOMPARE(QString::fromStdString(f.comp.DirFilter()), to);
    QCOMPARE(f.Column(lcFilename).value(0), to.isEmpty() ? QStringLiteral("a") : QStringLiteral(".."));
    // The tree follows the facade.
    QCOMPARE(QString::fromStdString(f.tree.SelectedFolder()), to);
}

void ArcListViewTest::selectedEntriesAndSizes() {
    TViewsFixture f;
    QVERIFY(f.Open({{.name = "top.txt", .data = "123"},
                    {.name = "docs/a.md", .data = std::string(10, 'a')},
                    {.name = "docs/sub/b.md", .data = std::string(2000, 'b'), .packed = "pk", .method = 8},
                    {.name = "docsx/c", .data = std::string(40, 'c')}},
                   true));
    f.SelectRows({"docs"});
    QCOMPARE(f.list.SelectedItemIndexes(), std::vector<std::int64_t>{0});
    QCOMPARE(f.list.SelectedEntryIndexes(), (std::vector<std::int64_t>{1, 2}));
    QCOMPARE(f.list.SelSize(), std::int64_t{2010});
    QCOMPARE(f.list.SelPackedSize(), std::int64_t{12});

    f.SelectRows({"docsx", "top.txt", "docs"});
    QCOMPARE(f.list.SelectedEntryIndexes(), (std::vector<std::int64_t>{1, 2, 3, 0}));  // row order
    QCOMPARE(f.list.SelSize(), std::int64_t{2053});

    f.comp.SetDirFilter("docs/");
    f.SelectRows({".."});
    QVERIFY(f.list.SelectedEntryIndexes().empty());
    QCOMPARE(f.list.SelSize(), std::int64_t{0});
}

void ArcListViewTest::selectionNames_data() {
    QTest::addColumn<bool>("explorer");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("wholeNames");
    QTest::addColumn<QStringList>("draggedNames");
    QTest::newRow("top") << true << "" << Strings({"docs", "top.txt"})
                         << Strings({"docs/a.md", "docs/sub/b.md", "docs/sub/deep/c.md", "top.txt"})
                         << Strings({"docs/", "top.txt"});
    QTest::newRow("folder") << true << "docs/" << Strings({"..", "sub", "a.md"})
                            << Strings({"docs/sub/b.md", "docs/sub/deep/c.md", "docs/a.md"})
                            << Strings({"docs/sub/", "docs/a.md"});
    // A folder whose files all lie deeper still stands for them.
    QTest::newRow("deeper only") << true << "docs/sub/" << Strings({"deep"}) << Strings({"docs/sub/deep/c.md"})
                                 << Strings({"docs/sub/deep/"});
    QTest::newRow("flat") << false << "" << Strings({"b.md", "top.txt"}) << Strings({"docs/sub/b.md", "top.txt"})
                          << Strings({"docs/sub/b.md", "top.txt"});
}

void ArcListViewTest::selectionNames() {
    QFETCH(bool, explorer);
    QFETCH(QString, filter);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, wholeNames);
    QFETCH(QStringList, draggedNames);
    TViewsFixture f;
    QVERIFY(f.OpenNames({"docs/a.md", "docs/sub/b.md", "docs/sub/deep/c.md", "top.txt"}, explorer));
    f.comp.SetDirFilter(filter.toStdString());
    f.SelectRows(rows);
    for (const auto& [whole, expected] : {std::pair{true, wholeNames}, std::pair{false, draggedNames}}) {
        std::vector<std::string> names = {"kept"};  // the names are appended
        f.list.GetSelectionNames(names, whole);
        QCOMPARE(Strings(names), QStringList{"kept"} + expected);
    }
    QCOMPARE(Strings(f.list.SelectedNames()), wholeNames);  // what the facade extracts and deletes
}

void ArcListViewTest::selInfoFollowsRefillAndSelection() {
    TViewsFixture f;
    int raised = 0;
    f.list.OnSelInfo = [&](QObject* sender) {
        QCOMPARE(sender, static_cast<QObject*>(&f.list));
        ++raised;
    };
    QVERIFY(f.OpenNames({"a", "b"}, false));
    QVERIFY(raised >= 1);
    const int after_refill = raised;
    f.SelectRows({"b"});
    QVERIFY(raised > after_refill);
    QCOMPARE(f.list.SelSize(), std::int64_t{1});
}

}  // namespace kv::test
