// Which actions of the main window are enabled for which archive.
#include <QTest>

#include <set>
#include <string>

#include "app/action_table.h"
#include "tests/app/app_test_registry.h"

namespace kv::app {
namespace {

std::set<std::string> Enabled(const TArchiveAbilities& archive) {
    std::set<std::string> names;
    for (const TActionDef& action : MainWindowActions()) {
        if (CategoryEnabled(action.Category, archive) || (action.Name == "aActAdd" && AddEnabledAlone(archive)))
            names.insert(std::string(action.Name));
    }
    return names;
}

class ActionTableTest : public QObject {
    Q_OBJECT
private slots:
    void EveryActionOnce() {
        std::set<std::string> names;
        for (const TActionDef& action : MainWindowActions()) QVERIFY(names.insert(std::string(action.Name)).second);
        QCOMPARE(names.size(), std::size_t{56});
    }

    void EnabledByArchive() {
        const std::set<std::string> standard = Enabled({});
        QVERIFY(standard.count("aArcOpen") && standard.count("aExtConvert") && !standard.count("aArcClose"));

        // An empty writable archive: Open and Standard, and adding.
        const TArchiveAbilities empty_zip{true, true, true, false, true, true, atZip};
        std::set<std::string> expected = standard;
        for (const TActionDef& action : MainWindowActions())
            if (action.Category == acOpen) expected.insert(std::string(action.Name));
        expected.insert("aActAdd");
        QCOMPARE(Enabled(empty_zip), expected);

        const TArchiveAbilities zip{true, true, true, false, true, false, atZip};
        const std::set<std::string> with_entries = Enabled(zip);
        for (const char* name : {"aActExt", "aActDel", "aActComment", "aActExe", "aExtRep", "aExtWSpan"})
            QVERIFY2(with_entries.count(name), name);
        QVERIFY(!with_entries.count("aActZip") && !with_entries.count("aActInstall"));

        const TArchiveAbilities sfx{true, true, true, true, false, false, atZipExe};
        const std::set<std::string> exe = Enabled(sfx);
        QVERIFY(exe.count("aActZip") && !exe.count("aActExe") && !exe.count("aActComment"));

        const TArchiveAbilities rar{true, true, false, false, false, false, atRar};
        const std::set<std::string> read_only = Enabled(rar);
        QVERIFY(read_only.count("aActExt") && !read_only.count("aActAdd") && !read_only.count("aActDel"));
        for (const char* never : {"aEdFindText", "aExtBCreate", "aExtBRun", "aExtBSchedule"})
            QVERIFY(!read_only.count(never) && !with_entries.count(never));
    }
};

KV_APP_TEST(ActionTableTest);

}  // namespace
}  // namespace kv::app

#include "action_table_test.moc"
