#pragma once

#include <QMainWindow>
#include <QMessageBox>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/action_table.h"
#include "facade/kv_comp.h"

class QAction;
class QLabel;
class QMenu;
class QMimeData;
class QPlainTextEdit;
class QProgressBar;
class QDockWidget;
class QSplitter;
class QToolBar;

namespace kv::facade {
class TArcListView;
class TArcTreeView;
}  // namespace kv::facade

namespace kv {
class TkvSettings;
}

namespace kv::app {

class TLangEngine;
class TUserDialogs;
class TfrmStatus;

// The program's main window: the open archive in a folder tree and a list, the commands on it, and what
// the user sees and answers while they run.
class TfrmKavrelMain : public QMainWindow {
    Q_OBJECT
public:
    TfrmKavrelMain(TkvSettings& settings, TLangEngine& lang, std::string program_folder,
                   std::unique_ptr<TUserDialogs> dialogs);
    ~TfrmKavrelMain() override;

    // The one entry point for a command line, the program's own or one a second start handed over.
    void HandleParams(const std::vector<std::string>& params);
    void SetReusedWindow(bool reused) { reused_window_ = reused; }

    // `unpacked_from` names the compressed file a TAR was unpacked from (empty for any other archive).
    bool OpenArchive(const std::string& file_name, const std::string& unpacked_from = {});
    bool CreateArchive(const std::string& file_name, TArcType type);
    void CloseArchive();
    void EnableItems();
    void DisableAll();
    void EnableAll();
    // A message box with the caption of its kind (0 warning, 1 error, 2 information, 3 confirmation) and
    // translated buttons; the button pressed.
    // The kinds of message box, each with its caption and icon.
    enum TMessageKind { mkWarning, mkError, mkInformation, mkConfirmation };
    QMessageBox::StandardButton MessageDialog(const QString& text, TMessageKind kind,
                                              QMessageBox::StandardButtons buttons);

    facade::TkvComp& kvArcMain() { return kvArcMain_; }
    facade::TArcListView& kvList() { return *kvList_; }
    facade::TArcTreeView& kvTree() { return *kvTree_; }
    QAction* Action(const std::string& name) const;
    QString LogText() const;
    QString StatusPanelText(int panel) const;

    // What dragging the selected rows out carries: the files they become in the temporary folder, extracted
    // when the drop target asks for them.
    std::unique_ptr<QMimeData> SelectionDragData();

    // The language's text of a message key, as shown.
    QString Msg(const std::string& key) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateCharsetMenu(QMenu& parent);
    // Reads the open archive again with its names in `code_page` (empty: automatic), remembered for its path.
    void ChooseCodePage(const std::string& code_page);
    // The path a code-page choice is remembered by: a TAR unpacked from a compressed file goes by that file.
    std::string CodePageKey() const;
    void CreateToolBar();
    void CreateViews();
    void ConnectFacade();
    void LoadSettings();
    void SaveSettings();
    // The list's look and click behaviour from the "Visual" settings.
    void LoadListLook();
    void SetStatusPanels(int count);
    // Each shortcut goes to the first enabled action that has it, as actions sharing one take turns.
    void AssignShortcuts();
    // Open, view and rename need a real entry among the selected rows.
    void EnableEntryActions();
    TArchiveAbilities Abilities() const;
    void Log(const QString& text);

    // Commands.
    void aArcNewExecute();
    void aArcOpenExecute();
    void aActAddExecute();
    void aActExtExecute();
    // Extracts with the extract options of the settings.
    void ExtractTo(const std::string& folder, facade::TActionMode mode);
    void aActDelExecute();
    void aActTestExecute();
    void aActOpenExecute();
    // Extracts the selected rows into the temporary folder; false when a CRC error was refused.
    bool ExtractSelectionToTemp(facade::TExtOpts options);
    void SelectRows(int how);
    void aOptExplorerExecute();
    void AddFiles(const QStringList& files);
    void ExtractFirstToTemp();
    // Where the extract-to commands extract: the archive's folder, or a folder in it named after the archive
    // without its last extension.
    std::string ArchiveFolder() const;
    std::string NamedSubfolder() const;
    // The extract-to commands show their folders.
    void InitExtraMenus();
    void ShowSelectionInfo();
    void ShowTotals();
    void ListDoubleClicked();

    // The running operation shows its progress in the status bar, not in the progress window.
    bool ProgressInStatusBar() const;
    // The facade's events.
    void kvArcMainBegin();
    void kvArcMainEnd();
    void kvArcMainProgress(int by_file, int by_archive, const std::string& file_name);
    void kvArcMainOverwrite(const facade::TArcEntry& on_disk, const facade::TArcEntry& in_archive,
                            facade::TkvOverwriteMode& mode);

    TkvSettings& settings_;
    TLangEngine& lang_;
    std::string program_folder_;
    std::unique_ptr<TUserDialogs> dialogs_;

    facade::TkvComp kvArcMain_;
    facade::TArcListView* kvList_ = nullptr;
    facade::TArcTreeView* kvTree_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QDockWidget* log_dock_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    std::vector<QLabel*> panels_;
    std::map<std::string, QAction*> actions_;
    std::map<std::string, TActionCategory> categories_;
    std::unique_ptr<TfrmStatus> status_window_;
    QProgressBar* status_progress_ = nullptr;

    std::string temp_folder_;
    std::string open_folder_;
    std::string extract_folder_;
    std::string archive_name_;
    std::string unpacked_from_;  // the compressed file the open TAR was unpacked from
    std::vector<std::string> temp_files_;
    QMenu* charset_menu_ = nullptr;
    std::map<std::string, std::string> code_pages_;  // the code page chosen per archive path, this session
    bool opt_zip_dirs_ = false;
    bool opt_overwrite_ = true;
    bool opt_update_ = false;
    bool crc_cancel_ = false;
    int operation_errors_ = 0;  // CRC errors and error messages of the running operation
    bool reused_window_ = false;
    bool hotkeys_ = true;
    bool nested_extraction_ = false;  // opening runs an extraction: its progress goes to the status bar
    bool single_click_ = false;  // a click in the list acts as a double click
    bool selecting_rows_ = false;  // the select-all commands mute the selection handlers
};

}  // namespace kv::app
