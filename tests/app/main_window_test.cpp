// The main window over real archives, with a script in the user's place: opening fills the list and the
// tree, and extract, add, delete and test run with their questions; another language re-translates it;
// a second start of the real program hands its command line over.
#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QDir>
#include <QDockWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <filesystem>
#include <fstream>

#include "app/command_line.h"
#include "app/form_translator.h"
#include "app/lang_engine.h"
#include "app/main_window.h"
#include "app/run_once.h"
#include "app/settings/kv_settings.h"
#include "facade/views/arc_list_view.h"
#include "facade/views/arc_tree_view.h"
#include "support/test_support.h"
#include "support/zip_builder.h"
#include "tests/app/app_test_registry.h"
#include "tests/app/scripted_dialogs.h"

namespace kv::app {
namespace {

namespace fs = std::filesystem;

const std::string kProgramFolder = std::string(KV_BINARY_DIR) + "/";

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class MainWindowTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir work_;
    fs::path Work() const { return work_.path().toStdString(); }

    // A ZIP made by the zip tool: two files at the top, two in docs/ (no folder entries).
    fs::path MakeZip() {
        const fs::path source = Work() / "src";
        WriteText(source / "a.txt", "alpha\n");
        WriteText(source / "b.txt", "bravo\n");
        WriteText(source / "docs" / "c.txt", "charlie\n");
        WriteText(source / "docs" / "d.txt", "delta\n");
        const fs::path archive = Work() / "sample.zip";
        fs::remove(archive);
        QProcess zip;
        zip.setWorkingDirectory(QString::fromStdString(source.string()));
        zip.start("zip", {"-qrD", QString::fromStdString(archive.string()), "."});
        zip.waitForFinished();
        return archive;
    }

    struct TWindow {
        TkvSettings settings{"kavrel"};
        std::unique_ptr<TLangEngine> lang;
        test::TScriptedDialogs* dialogs = nullptr;
        std::unique_ptr<TfrmKavrelMain> window;
        // Closed as a user closes it: the settings are saved and the temporary files go.
        ~TWindow() {
            if (window) window->close();
        }
    };

    std::unique_ptr<TWindow> Open(const std::string& language = "english.ini", const fs::path& temp = {}) {
        auto made = std::make_unique<TWindow>();
        made->settings.WriteString("Settings", "Language-Ini", kProgramFolder + "languages/" + language);
        // The window's temporary files stay in the test's folder.
        made->settings.WriteBool("Settings", "SysTemp", false);
        made->settings.WriteString("Directories", "Temp", (temp.empty() ? Work() / "temp" : temp).string());
        made->settings.WriteBool("Settings", "optOverwrite", false);
        made->settings.WriteBool("Settings", "optZipDirs", true);
        std::string error;
        made->lang = TLangEngine::Create(kProgramFolder, made->settings, error);
        if (!made->lang) return nullptr;
        auto dialogs = std::make_unique<test::TScriptedDialogs>();
        made->dialogs = dialogs.get();
        made->window = std::make_unique<TfrmKavrelMain>(made->settings, *made->lang, kProgramFolder, std::move(dialogs));
        made->window->show();
        return made;
    }

private slots:
    void OpeningFillsTheListAndTheTree() {
        if (QStandardPaths::findExecutable("zip").isEmpty()) QSKIP("zip is not installed");
        const auto ui = Open();
        QVERIFY(ui);
        TfrmKavrelMain& window = *ui->window;
        QVERIFY(window.OpenArchive(MakeZip().string()));
        QCOMPARE(window.windowTitle(), QString("Kavrel - sample.zip"));
        // Explorer style: the docs folder row and the two top-level files.
        QCOMPARE(window.kvList().model()->rowCount(), 3);
        QCOMPARE(window.kvTree().model()->rowCount(), 1);  // the archive's node
        QVERIFY(window.Action("aActExt")->isEnabled());
        QVERIFY(window.Action("aActDel")->isEnabled());
        QVERIFY(window.StatusPanelText(2).contains("4"));
        window.kvArcMain().SetDirFilter("docs/");
        QCOMPARE(window.kvList().model()->rowCount(), 3);  // ".." and two files
        window.findChild<QAction*>("mnuSortSize")->trigger();
        QCOMPARE(window.kvList().SortColumn(), 2);
        QCOMPARE(window.Action("aExtFName")->text(), "Extract to " + QString::fromStdString((Work() / "sample/").string()));
        const QString shot = QString(KV_BINARY_DIR) + "/kavrel-main-window.png";
        QVERIFY(window.grab().save(shot));
        window.CloseArchive();
        QCOMPARE(window.Action("aExtFName")->text(), QString("Extract to a folder named after the archive"));
        QVERIFY(!window.Action("aActExt")->isEnabled());
        QVERIFY(window.Action("aArcOpen")->isEnabled());
    }

    // New offers only the types a writer serves, ZIP first; the chosen filter decides the type and extension.
    void NewOffersOnlyWritableTypes() {
        const auto ui = Open();
        QVERIFY(ui);
        TfrmKavrelMain& window = *ui->window;
        test::TScriptedDialogs& dialogs = *ui->dialogs;
        dialogs.new_archive = QString::fromStdString((Work() / "made").string());
        dialogs.new_archive_filter = 2;
        window.Action("aArcNew")->trigger();
        QCOMPARE(dialogs.new_archive_filters,
                 QStringList({"ZIP archive (*.zip)", "JAR archive (*.jar)", "TAR archive (*.tar)"}));
        QVERIFY(window.kvArcMain().IsNewArchive());
        QCOMPARE(window.kvArcMain().ArcType(), atTar);
        QCOMPARE(window.kvArcMain().ArcFilename(), (Work() / "made.tar").string());
        QVERIFY(window.Action("aActAdd")->isEnabled());
    }

    void ExtractAddDeleteAndTestThroughTheWindow() {
        if (QStandardPaths::findExecutable("zip").isEmpty()) QSKIP("zip is not installed");
        const auto ui = Open();
        QVERIFY(ui);
        TfrmKavrelMain& window = *ui->window;
        test::TScriptedDialogs& dialogs = *ui->dialogs;
        const fs::path archive = MakeZip();
        QVERIFY(window.OpenArchive(archive.string()));

        const fs::path out = Work() / "out";
        fs::create_directories(out);
        dialogs.folder = QString::fromStdString(out.string());
        window.Action("aActExt")->trigger();
        QCOMPARE(ReadText(out / "docs" / "c.txt"), std::string("charlie\n"));

        // Again over what is there: the overwrite question, answered "No to all", leaves the files alone.
        WriteText(out / "a.txt", "changed\n");
        dialogs.answers = {QMessageBox::NoToAll};
        window.Action("aActExt")->trigger();
        QCOMPARE(dialogs.asked.size(), 1);
        QVERIFY2(dialogs.asked.front().contains(QString::fromStdString(out.string())), qPrintable(dialogs.asked.front()));
        QCOMPARE(ReadText(out / "a.txt"), std::string("changed\n"));

        const fs::path extra = Work() / "extra.txt";
        WriteText(extra, "echo\n");
        dialogs.files = {QString::fromStdString(extra.string())};
        window.Action("aActAdd")->trigger();
        QVERIFY2(window.kvArcMain().ArcEntryCount() == 5, qPrintable(window.LogText()));
        // A file dropped from outside is added as well.
        const fs::path dropped = Work() / "dropped.txt";
        WriteText(dropped, "foxtrot\n");
        QMimeData drop_data;
        drop_data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dropped.string()))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &drop_data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &drop_data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        QVERIFY2(window.kvArcMain().ArcEntryCount() == 6, qPrintable(window.LogText()));

        // Row 0 is the docs folder; row 1 a file at the top.
        dialogs.answers = {QMessageBox::Yes};
        window.kvList().selectionModel()->select(window.kvList().model()->index(1, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        window.Action("aActDel")->trigger();
        QCOMPARE(window.kvArcMain().ArcEntryCount(), 5);

        window.Action("aActTest")->trigger();
        QVERIFY2(window.LogText().contains("the test passed"), qPrintable(window.LogText()));
    }

    // A .tar.gz opens as the TAR it holds, read-only; the unpacking shows its progress in the status bar.
    void ACompressedTarOpensAsItsTar() {
        if (QStandardPaths::findExecutable("tar").isEmpty()) QSKIP("tar is not installed");
        const auto ui = Open();
        QVERIFY(ui);
        TfrmKavrelMain& window = *ui->window;
        WriteText(Work() / "tree" / "docs" / "c.txt", "charlie\n");
        WriteText(Work() / "tree" / "a.txt", "alpha\n");
        const fs::path archive = Work() / "site.tar.gz";
        QProcess tar;
        tar.start("tar", {"-czf", QString::fromStdString(archive.string()), "-C", QString::fromStdString((Work() / "tree").string()), "."});
        QVERIFY(tar.waitForFinished() && tar.exitCode() == 0);

        QVERIFY(window.OpenArchive(archive.string()));
        QCOMPARE(window.kvArcMain().ArcType(), atTar);
        QCOMPARE(window.kvArcMain().ArcEntryCount(), 2);  // the files; folders are not counted
        const auto* progress = window.findChild<QProgressBar*>("sbProgress");
        QVERIFY(progress && !progress->isVisible());
        QVERIFY(!window.StatusPanelText(2).isEmpty());
        // The TAR is a temporary copy: extracting works, changing it would be lost.
        QVERIFY(window.Action("aActExt")->isEnabled());
        QVERIFY(!window.Action("aActAdd")->isEnabled());
        QVERIFY(!window.Action("aActDel")->isEnabled());
    }

    // An archive from an MS-DOS machine in Russia: its CP866 names read as CP437 until the user picks CP866
    // in the Character set menu, which the window remembers for that archive while it runs.
    void TheCharacterSetMenuReadsTheArchiveAgain() {
        const auto ui = Open();
        QVERIFY(ui);
        TfrmKavrelMain& window = *ui->window;
        test::ZipMember member{.name = "\x8F\xE0\xA8\xA2\xA5\xE2.txt", .data = "privet\n"};
        member.made_by = 0x0014;  // MS-DOS
        const fs::path dos = Work() / "dos.zip";
        const fs::path other = Work() / "other.zip";
        test::WriteFile(dos, test::BuildZip({member}));
        test::WriteFile(other, test::BuildZip({member}));
        const QString as_cp437 = QString::fromUtf8("\xC3\x85\xCE\xB1\xC2\xBF\xC3\xB3\xC3\x91\xCE\x93.txt");  // Åα¿óÑΓ
        const QString as_cp866 = QString::fromUtf8("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt");  // Привет
        // The one name the list shows (explorer style: the archive's top folder).
        const auto shown = [&] {
            const QAbstractItemModel& model = *window.kvList().model();
            return model.rowCount() == 1 ? model.index(0, 0).data().toString()
                                         : QString("%1 rows").arg(model.rowCount());
        };
        QMenu* menu = window.findChild<QMenu*>("mnuCharset");
        QVERIFY(menu);
        QCOMPARE(menu->title(), QString("C&haracter set"));
        QVERIFY(!menu->isEnabled());

        QVERIFY(window.OpenArchive(dos.string()));
        QVERIFY(menu->isEnabled());
        QCOMPARE(shown(), as_cp437);
        window.findChild<QAction*>("mnuCharsetCP866")->trigger();
        QCOMPARE(shown(), as_cp866);
        QCOMPARE(window.kvArcMain().Entries().front().FileName, as_cp866.toStdString());
        const QString shot = QString(KV_BINARY_DIR) + "/kavrel-character-set.png";
        QVERIFY(window.grab().save(shot));

        QVERIFY(window.OpenArchive(other.string()));
        QCOMPARE(shown(), as_cp437);  // another archive starts automatic
        QVERIFY(window.OpenArchive(dos.string()));
        QCOMPARE(shown(), as_cp866);  // this one was chosen for
        emit menu->aboutToShow();
        QVERIFY(window.findChild<QAction*>("mnuCharsetCP866")->isChecked());
        window.findChild<QAction*>("mnuCharsetAuto")->trigger();
        QCOMPARE(shown(), as_cp437);
        window.CloseArchive();
        QVERIFY(!menu->isEnabled());
    }

    // The list's keys, the actions that need a real entry, and Ctrl+U, which deselects with an archive open
    // and is the UU-encode command's without one.
    void KeysAndSelectionDriveTheList() {
        if (QStandardPaths::findExecutable("zip").isEmpty()) QSKIP("zip is not installed");
        const auto ui = Open();
        QVERIFY(ui);
        TfrmKavrelMain& window = *ui->window;
        QCOMPARE(window.Action("aExtUUEnc")->shortcut(), QKeySequence("Ctrl+U"));
        QVERIFY(window.OpenArchive(MakeZip().string()));
        QVERIFY(window.Action("aExtUUEnc")->shortcut().isEmpty());
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        facade::TArcListView& list = window.kvList();
        const auto select = [&](int row) {
            list.setCurrentIndex(list.model()->index(row, 0));
            list.selectionModel()->select(list.model()->index(row, 0),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        };
        QVERIFY(!window.Action("aActOpen")->isEnabled());

        window.Action("aEdSelAll")->trigger();
        QCOMPARE(list.SelectedItemIndexes().size(), std::size_t{3});
        QVERIFY(window.Action("aActOpen")->isEnabled());
        QTest::keyClick(&window, Qt::Key_U, Qt::ControlModifier);
        QVERIFY(list.SelectedItemIndexes().empty());
        QVERIFY(!window.Action("aActOpen")->isEnabled());

        select(0);  // the docs folder: no entry of its own
        QVERIFY(!window.Action("aActOpen")->isEnabled());
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Return);
        QCOMPARE(window.kvArcMain().DirFilter(), std::string("docs/"));
        QCOMPARE(list.model()->rowCount(), 3);  // ".." and two files
        select(1);
        QVERIFY(window.Action("aActOpen")->isEnabled());
        select(0);  // ".."
        QVERIFY(!window.Action("aActOpen")->isEnabled());
        QTest::keyClick(&list, Qt::Key_Return);
        QCOMPARE(window.kvArcMain().DirFilter(), std::string());

        ui->dialogs->answers = {QMessageBox::Yes};
        select(1);
        QTest::keyClick(&list, Qt::Key_Delete);
        QCOMPARE(ui->dialogs->asked.size(), 1);
        QCOMPARE(window.kvArcMain().ArcEntryCount(), 3);

        window.CloseArchive();
        QCOMPARE(window.Action("aExtUUEnc")->shortcut(), QKeySequence("Ctrl+U"));
    }

    // Dragging rows out names their files in the temporary folder; they are extracted only when the drop
    // target asks for them.
    void DraggedRowsBecomeFilesWhenDropped() {
        if (QStandardPaths::findExecutable("zip").isEmpty()) QSKIP("zip is not installed");
        const fs::path temp = Work() / "drag-temp";
        fs::create_directories(temp);
        const auto ui = Open("english.ini", temp);
        QVERIFY(ui);
        TfrmKavrelMain& window = *ui->window;
        QVERIFY(window.OpenArchive(MakeZip().string()));
        window.Action("aEdSelAll")->trigger();  // the docs folder and two files

        const std::unique_ptr<QMimeData> drag = window.SelectionDragData();
        QVERIFY(drag->hasUrls());
        QVERIFY(!fs::exists(temp / "a.txt"));
        QStringList dropped;
        for (const QUrl& url : drag->urls()) dropped << url.toLocalFile();
        dropped.sort();
        const QString base = QString::fromStdString(temp.string());
        QCOMPARE(dropped, QStringList({base + "/a.txt", base + "/b.txt", base + "/docs"}));
        QCOMPARE(ReadText(temp / "a.txt"), std::string("alpha\n"));
        QCOMPARE(ReadText(temp / "docs" / "d.txt"), std::string("delta\n"));
        window.CloseArchive();  // what was left in the temporary folder goes
        QVERIFY(fs::is_empty(temp));

        // A stored name that climbs out still names a file inside the temporary folder.
        const fs::path hostile = Work() / "hostile.zip";
        test::WriteFile(hostile, test::BuildZip({{.name = "../escape.txt", .data = "x"}}));
        QVERIFY(window.OpenArchive(hostile.string()));
        window.kvArcMain().SetExplorerStyle(false);
        window.Action("aEdSelAll")->trigger();
        const std::unique_ptr<QMimeData> climbing = window.SelectionDragData();
        QCOMPARE(climbing->urls().size(), 1);
        const QString named = QDir::cleanPath(climbing->urls().front().toLocalFile());
        QVERIFY2(named.startsWith(base + "/"), qPrintable(named));
        QVERIFY(!fs::exists(Work() / "escape.txt"));
    }

    // The docked log keeps its height from one start to the next.
    void TheLogKeepsItsHeight() {
        const auto first = Open();
        QVERIFY(first);
        first->settings.WriteInteger("Log", "tbLogHeight", 220);
        first->window.reset();
        const auto ui = Open();
        QVERIFY(QTest::qWaitForWindowExposed(ui->window.get()));
        QCOMPARE(ui->window->findChild<QDockWidget*>("pnlLog")->height(), 200);
        ui->window->close();
        QCOMPARE(ui->settings.ReadInteger("Log", "tbLogHeight", 0), 220);
    }

    // The toolbar's dock comes back; with single click on, a click opens a folder row.
    void ToolbarDockAndSingleClickFollowTheSettings() {
        if (QStandardPaths::findExecutable("zip").isEmpty()) QSKIP("zip is not installed");
        const auto first = Open();
        QVERIFY(first);
        first->settings.WriteString("Toolbar", "Docked", "kvDockLeft");
        first->settings.WriteString("Visual", "SingleClick", "1");
        first->window.reset();
        const auto ui = Open();
        TfrmKavrelMain& window = *ui->window;
        QCOMPARE(window.toolBarArea(window.findChild<QToolBar*>("tbMain")), Qt::LeftToolBarArea);
        QVERIFY(window.OpenArchive(MakeZip().string()));
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        facade::TArcListView& list = window.kvList();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(list.model()->index(0, 0)).center());
        QCOMPARE(window.kvArcMain().DirFilter(), std::string("docs/"));
        window.addToolBar(Qt::BottomToolBarArea, window.findChild<QToolBar*>("tbMain"));
        window.close();
        QCOMPARE(ui->settings.ReadString("Toolbar", "Docked", ""), std::string("kvDockBottom"));
    }

    void AnotherLanguageTranslatesTheOpenWindow() {
        const auto ui = Open();
        QVERIFY(ui);
        TfrmKavrelMain& window = *ui->window;
        QCOMPARE(window.Action("aActAdd")->text(), QString("&Add..."));
        ui->settings.WriteString("Settings", "Language-Ini", kProgramFolder + "languages/german.ini");
        std::string error;
        const std::unique_ptr<TLangEngine> german = TLangEngine::Create(kProgramFolder, ui->settings, error);
        QVERIFY(german);
        TranslateForm(*german, window);
        QCOMPARE(window.Action("aActAdd")->text(), QString("&Hinzufügen..."));
        QCOMPARE(window.menuBar()->actions().front()->text(), QString("&Datei"));
        QCOMPARE(window.findChild<QMenu*>("mnuCharset")->title(), QString("&Zeichensatz"));
    }

    void ASecondStartHandsItsCommandLineOver() {
        TRunOnce first;
        std::string received;
        QVERIFY(first.Listen([&](const std::string& line) { received = line; }));
        const QString archive = QString::fromStdString((Work() / "with blank.zip").string());
        QProcess second;
        second.start(QString(KV_BINARY_DIR) + "/kavrel", {archive});
        QTRY_VERIFY_WITH_TIMEOUT(!received.empty(), 20000);
        // The answer goes out through this program's event loop, which the wait keeps running.
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
        QCOMPARE(second.exitCode(), 0);
        const std::vector<std::string> params =
            SplitHandedOverLine(received, fs::canonical(std::string(KV_BINARY_DIR) + "/kavrel").string());
        QCOMPARE(params, std::vector<std::string>{archive.toStdString()});
    }
};

KV_APP_TEST(MainWindowTest);

}  // namespace
}  // namespace kv::app

#include "main_window_test.moc"
