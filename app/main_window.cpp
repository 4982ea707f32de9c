#include "app/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

#include "app/deferred_file_drag.h"
#include "app/dialogs/status_window.h"
#include "app/form_translator.h"
#include "app/format_text.h"
#include "app/lang_engine.h"
#include "app/settings/arc_list_columns.h"
#include "app/settings/kv_settings.h"
#include "app/settings/window_placement.h"
#include "app/user_dialogs.h"
#include "engine/core/formats.h"
#include "engine/core/output_path.h"
#include "engine/writers/format_capabilities.h"
#include "facade/nested_tar.h"
#include "facade/views/arc_list_item.h"
#include "facade/views/arc_list_view.h"
#include "facade/views/arc_tree_view.h"
#include "platform/paths.h"

namespace kv::app {
namespace {

namespace fs = std::filesystem;

QString Str(const std::string& text) { return QString::fromStdString(text); }

qint64 Kilobytes(std::int64_t bytes) { return std::llround(static_cast<double>(bytes) / 1024.0); }

// The toolbar's docks by their stored names.
constexpr std::array<std::pair<const char*, Qt::ToolBarArea>, 4> kToolbarDocks = {{{"kvDockTop", Qt::TopToolBarArea},
                                                                                  {"kvDockBottom", Qt::BottomToolBarArea},
                                                                                  {"kvDockLeft", Qt::LeftToolBarArea},
                                                                                  {"kvDockRight", Qt::RightToolBarArea}}};

// The program's own files a dropped file may be besides an archive.
constexpr std::array kOwnFileExtensions = {"kea", "kvs", "enc"};

// Whether a dropped file's name offers it to be opened rather than added.
bool OpensWhenDropped(const QString& file_name) {
    const std::string suffix = QFileInfo(file_name).suffix().toLower().toStdString();
    const std::vector<std::string_view> archives = OpenableExtensions();
    return std::ranges::find(archives, suffix) != archives.end() ||
           std::ranges::find(kOwnFileExtensions, suffix) != kOwnFileExtensions.end();
}

// The code pages the "Character set" menu offers besides the automatic choice (kv --charset takes any).
constexpr std::array kMenuCodePages = {"CP437",      "CP850",  "CP852", "CP866", "CP1250", "CP1251", "CP1252",
                                       "ISO-8859-2", "KOI8-R", "CP932", "CP936", "CP949",  "CP950",  "UTF-8"};

// The formats the file dialogs offer, ZIP (the default choice) first: for opening those with a filter, for a
// new archive those that can also be written.
std::vector<const TFormat*> DialogFormats(bool new_archive) {
    std::vector<const TFormat*> formats;
    for (const TFormat& format : Formats()) {
        if (format.OpenFilterKey.empty()) continue;
        if (new_archive && (format.NewFilterKey.empty() || !CapabilitiesOfFormat(format.Type).Add)) continue;
        formats.insert(format.Type == atZip ? formats.begin() : formats.end(), &format);
    }
    return formats;
}

}  // namespace

TfrmKavrelMain::TfrmKavrelMain(TkvSettings& settings, TLangEngine& lang, std::string program_folder,
                               std::unique_ptr<TUserDialogs> dialogs)
    : settings_(settings), lang_(lang), program_folder_(std::move(program_folder)), dialogs_(std::move(dialogs)) {
    setObjectName("frmKavrelMain");
    setWindowTitle("Kavrel");
    setAcceptDrops(true);
    CreateActions();
    CreateViews();
    CreateMenus();
    CreateToolBar();
    SetStatusPanels(1);
    ConnectFacade();
    LoadSettings();
    panels_[0]->setText(Msg("msgSBWelcome"));
    TranslateForm(lang_, *this);
    EnableItems();
}

TfrmKavrelMain::~TfrmKavrelMain() {
    // The facade closes as it goes and the views tell of it as they go, while the window's parts are
    // being taken down.
    kvList_->OnSelInfo = nullptr;
    kvList_->OnMsgString = nullptr;
    kvList_->OnStartDrag = nullptr;
    kvList_->SetkvComp(nullptr);
    kvTree_->SetkvComp(nullptr);
}

QString TfrmKavrelMain::Msg(const std::string& key) const { return Str(lang_.GetMessage(key)); }

QAction* TfrmKavrelMain::Action(const std::string& name) const {
    const auto found = actions_.find(name);
    return found == actions_.end() ? nullptr : found->second;
}

QString TfrmKavrelMain::LogText() const { return log_->toPlainText(); }

QString TfrmKavrelMain::StatusPanelText(int panel) const {
    return panel < static_cast<int>(panels_.size()) && panels_[panel]->isVisible() ? panels_[panel]->text() : QString();
}

void TfrmKavrelMain::CreateActions() {
    for (const TActionDef& def : MainWindowActions()) {
        auto* action = new QAction(Str(std::string(def.Name)), this);
        action->setObjectName(Str(std::string(def.Name)));
        actions_[std::string(def.Name)] = action;
        categories_[std::string(def.Name)] = def.Category;
    }
    const auto on = [this](const char* name, auto handler) {
        connect(Action(name), &QAction::triggered, this, handler);
    };
    on("aArcNew", [this] { aArcNewExecute(); });
    on("aArcOpen", [this] { aArcOpenExecute(); });
    on("aArcClose", [this] { CloseArchive(); });
    on("aExit", [this] { close(); });
    on("aActAdd", [this] { aActAddExecute(); });
    on("aActExt", [this] { aActExtExecute(); });
    on("aExtFName", [this] { ExtractTo(NamedSubfolder(), facade::amAll); });
    on("aExtSame", [this] { ExtractTo(ArchiveFolder(), facade::amAll); });
    on("aActDel", [this] { aActDelExecute(); });
    on("aActTest", [this] { aActTestExecute(); });
    on("aActOpen", [this] { aActOpenExecute(); });
    on("aEdSelAll", [this] { SelectRows(0); });
    on("aEdDeSelAll", [this] { SelectRows(1); });
    on("aEdInvert", [this] { SelectRows(2); });
    for (const char* name : {"aOptTool", "aOptStatus", "aOptLog", "aOptReuse", "aOptExplorer"})
        Action(name)->setCheckable(true);
    on("aOptTool", [this](bool shown) { toolbar_->setVisible(shown); });
    on("aOptStatus", [this](bool shown) { statusBar()->setVisible(shown); });
    on("aOptLog", [this](bool shown) { log_dock_->setVisible(shown); });
    on("aOptExplorer", [this] { aOptExplorerExecute(); });
}

void TfrmKavrelMain::CreateMenus() {
    const auto menu = [this](const char* name, std::initializer_list<const char*> items) {
        QMenu* created = menuBar()->addMenu(Str(name));
        created->setObjectName(Str(name));
        for (const char* item : items) {
            if (*item == '-') created->addSeparator();
            else created->addAction(Action(item));
        }
    };
    menu("mnuFile", {"aArcNew", "aArcOpen", "aArcClose", "-", "aExit"});
    menu("mnuActions", {"aActAdd", "aActExt", "aExtFName", "aExtSame", "aActDel", "-", "aActOpen", "aActTest"});
    menu("mnuEdit", {"aEdSelAll", "aEdDeSelAll", "aEdInvert", "-"});
    // Sorting by a column as a click on its header would.
    QMenu* sort = menuBar()->findChild<QMenu*>("mnuEdit")->addMenu("mnuSort");
    sort->setObjectName("mnuSort");
    static constexpr std::array kSortItems = {"mnuSortName", "mnuSortExt",  "mnuSortSize", "mnuSortPacked",
                                              "mnuSortRatio", "mnuSortDate", "mnuSortPath"};
    for (std::size_t column = 0; column < kSortItems.size(); ++column) {
        QAction* item = sort->addAction(kSortItems[column]);
        item->setObjectName(kSortItems[column]);
        connect(item, &QAction::triggered, this, [this, column] { kvList_->ColumnClick(static_cast<int>(column)); });
    }
    menu("mnuOptions", {"aOptTool", "aOptStatus", "aOptLog", "aOptReuse", "aOptExplorer", "-"});
    CreateCharsetMenu(*menuBar()->findChild<QMenu*>("mnuOptions"));
}

void TfrmKavrelMain::CreateCharsetMenu(QMenu& parent) {
    charset_menu_ = parent.addMenu("mnuCharset");
    charset_menu_->setObjectName("mnuCharset");
    auto* group = new QActionGroup(charset_menu_);
    const auto item = [&](const QString& name, const std::string& code_page) {
        QAction* action = charset_menu_->addAction(code_page.empty() ? name : Str(code_page));
        action->setObjectName(name);
        action->setCheckable(true);
        action->setData(Str(code_page));
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, code_page] { ChooseCodePage(code_page); });
    };
    item("mnuCharsetAuto", {});
    charset_menu_->addSeparator();
    for (const char* code_page : kMenuCodePages) item("mnuCharset" + QString(code_page), code_page);
    connect(charset_menu_, &QMenu::aboutToShow, this, [this] {
        const QString chosen = Str(kvArcMain_.NameCodePage());
        for (QAction* action : charset_menu_->actions())
            action->setChecked(action->isCheckable() && action->data() == chosen);
    });
}

std::string TfrmKavrelMain::CodePageKey() const {
    return unpacked_from_.empty() ? kvArcMain_.ArcFilename() : unpacked_from_;
}

void TfrmKavrelMain::ChooseCodePage(const std::string& code_page) {
    if (!kvArcMain_.ArcOpen()) return;
    code_pages_[CodePageKey()] = code_page;
    DisableAll();
    kvArcMain_.SetNameCodePage(code_page);  // lists the archive again
    EnableAll();
}

void TfrmKavrelMain::CreateToolBar() {
    toolbar_ = addToolBar("tbMain");
    toolbar_->setObjectName("tbMain");
    for (const char* name : {"aArcNew", "aArcOpen", "aActAdd", "aActExt", "aActDel", "aActTest"})
        toolbar_->addAction(Action(name));
}

void TfrmKavrelMain::CreateViews() {
    splitter_ = new QSplitter(this);
    splitter_->setObjectName("splTree");
    kvTree_ = new facade::TArcTreeView(splitter_);
    kvTree_->setObjectName("kvTree");
    kvList_ = new facade::TArcListView(splitter_);
    kvList_->setObjectName("kvList");
    splitter_->addWidget(kvTree_);
    splitter_->addWidget(kvList_);
    splitter_->setStretchFactor(1, 1);
    setCentralWidget(splitter_);
    kvList_->SetkvComp(&kvArcMain_);
    kvTree_->SetkvComp(&kvArcMain_);
    kvList_->OnMsgString = [this](QObject*, const QString& key, QString& text) {
        const std::string translated = lang_.GetText("kvList", key.toStdString());
        if (!translated.empty() && translated != TLangEngine::kMissing) text = Str(translated);
    };
    kvList_->OnStartDrag = [this](QObject*) {
        auto* drag = new QDrag(this);
        drag->setMimeData(SelectionDragData().release());
        drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
    };
    kvList_->OnSelInfo = [this](QObject*) {
        if (!selecting_rows_) ShowSelectionInfo();
    };
    // With single click on, the first click of a double click has already acted.
    connect(kvList_, &QAbstractItemView::doubleClicked, this, [this] {
        if (!single_click_) ListDoubleClicked();
    });
    connect(kvList_, &QAbstractItemView::clicked, this, [this] {
        if (single_click_) ListDoubleClicked();
    });
    connect(kvList_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!selecting_rows_) EnableEntryActions();
    });
    // Enter opens like a double click; Delete deletes the selection.
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)})
        connect(new QShortcut(key, kvList_, nullptr, nullptr, Qt::WidgetShortcut), &QShortcut::activated, this,
                [this] { ListDoubleClicked(); });
    connect(new QShortcut(QKeySequence::Delete, kvList_, nullptr, nullptr, Qt::WidgetShortcut), &QShortcut::activated,
            this, [this] {
                if (Action("aActDel")->isEnabled()) aActDelExecute();
            });

    log_dock_ = new QDockWidget("Log", this);
    log_dock_->setObjectName("pnlLog");
    log_ = new QPlainTextEdit(log_dock_);
    log_->setObjectName("memLog");
    log_->setReadOnly(true);
    log_dock_->setWidget(log_);
    addDockWidget(Qt::BottomDockWidgetArea, log_dock_);
}

void TfrmKavrelMain::ConnectFacade() {
    kvArcMain_.OnBegin = [this](TObject*) { kvArcMainBegin(); };
    kvArcMain_.OnEnd = [this](TObject*) { kvArcMainEnd(); };
    kvArcMain_.OnProgress = [this](TObject*, std::uint8_t by_file, std::uint8_t by_archive, const std::string& name) {
        kvArcMainProgress(by_file, by_archive, name);
    };
    kvArcMain_.OnOverwrite = [this](TObject*, const facade::TArcEntry& on_disk, const facade::TArcEntry& in_archive,
                                    facade::TkvOverwriteMode& mode) { kvArcMainOverwrite(on_disk, in_archive, mode); };
    kvArcMain_.OnPassword = [this](TObject*, const std::string& file, std::string& password, bool& cancel) {
        const std::optional<QString> answer = dialogs_->AskPassword(this, Msg("msgPassword"), Str(file));
        if (answer) password = answer->toStdString();
        cancel = !answer;
    };
    kvArcMain_.OnCRCError = [this](TObject*, const std::string& file, std::uint32_t, std::uint32_t, bool& cancel) {
        ++operation_errors_;
        cancel = MessageDialog(FormatText(Msg("msgCRCError"), {Str(file)}), mkConfirmation,
                               QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes;
        crc_cancel_ = cancel;
    };
    kvArcMain_.OnNextVolume = [this](TObject*, int number, int total, const std::string& drive, bool& abort) {
        const QString text =
            FormatText(Msg("msgNextDisk"), {QString::number(number), QString::number(total), Str(drive)});
        abort = MessageDialog(text, mkInformation, QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok;
    };
    kvArcMain_.OnSecurityIssue = [this](TObject*, const facade::TkvSecurityIssue& issue, bool& cancel) {
        if (dynamic_cast<const facade::TkvDirectoryTraversalIssue*>(&issue) == nullptr) return;
        cancel = MessageDialog(Msg("msgDirTraversalIssue"), mkWarning, QMessageBox::Yes | QMessageBox::No) ==
                 QMessageBox::No;
    };
    kvArcMain_.OnMessage = [this](TObject*, int code, const std::string& message) {
        if (code != 0) ++operation_errors_;
        Log(Str(message));
    };
    kvArcMain_.OnDirUpdate = [this](TObject*) { ShowTotals(); };
}

void TfrmKavrelMain::LoadSettings() {
    open_folder_ = settings_.ReadString("Directories", "Open", QDir::homePath().toStdString());
    extract_folder_ = settings_.ReadString("Directories", "Extract", QDir::homePath().toStdString());
    temp_folder_ = platform::IncludeTrailingDelimiter(settings_.ReadString("Directories", "Temp", QDir::tempPath().toStdString()));
    if (settings_.ReadBool("Settings", "SysTemp", true)) temp_folder_ = platform::IncludeTrailingDelimiter(QDir::tempPath().toStdString());
    // A chosen temporary folder that is not there yet is made; the operations report it if that fails.
    std::error_code no_folder;
    fs::create_directories(temp_folder_, no_folder);
    LoadListLook();
    opt_zip_dirs_ = settings_.ReadBool("Settings", "optZipDirs", false);
    opt_overwrite_ = settings_.ReadBool("Settings", "optOverwrite", true);
    opt_update_ = settings_.ReadBool("Settings", "optUpdate", false);
    if (!fs::is_directory(extract_folder_)) extract_folder_ = QDir::homePath().toStdString();
    if (!fs::is_directory(open_folder_)) open_folder_ = QDir::homePath().toStdString();
    kvArcMain_.SetTempDir(temp_folder_);
    kvArcMain_.SetDllDirectory(program_folder_);
    kvArcMain_.SetDisplayDirs(settings_.ReadBool("kvList", "ShowDirEntry", false));
    kvArcMain_.ASCIITranslation = settings_.ReadBool("Settings", "AsciiTranslation", false);
    const bool explorer = settings_.ReadBool("Visual", "ExplorerStyle", true);
    Action("aOptExplorer")->setChecked(explorer);
    kvTree_->setVisible(explorer);
    kvArcMain_.SetExplorerStyle(explorer);
    kvArcMain_.SetListFiles(true);
    splitter_->setSizes({settings_.ReadInteger("Position", "TreeWidth", 150), 600});
    for (int column = 0; column < kArcListColumnCount; ++column)
        kvList_->setColumnWidth(column, ReadArcListColumnWidth(settings_, column));
    Action("aOptReuse")->setChecked(settings_.ReadBool("Settings", "ReuseWindow", true));
    const std::string dock = settings_.ReadString("Toolbar", "Docked", "kvDockTop");
    for (const auto& [name, area] : kToolbarDocks)
        if (dock == name) addToolBar(area, toolbar_);
    const bool toolbar = settings_.ReadBool("Toolbar", "tbVisible", true);
    Action("aOptTool")->setChecked(toolbar);
    toolbar_->setVisible(toolbar);
    const bool status = settings_.ReadBool("Toolbar", "sbVisible", true);
    Action("aOptStatus")->setChecked(status);
    statusBar()->setVisible(status);
    const int log = settings_.ReadInteger("Log", "tbLogVisible", 1);
    Action("aOptLog")->setChecked(log == 1 || log == 3);
    log_dock_->setVisible(log == 1 || log == 3);
    log_dock_->setFloating(log >= 2);
    if (log_dock_->isFloating()) {
        log_dock_->setGeometry(settings_.ReadInteger("Log", "tbLogLeft", 1), settings_.ReadInteger("Log", "tbLogTop", 1),
                               settings_.ReadInteger("Log", "tbLogWidth", 500), settings_.ReadInteger("Log", "tbLogHeight", 87));
    } else {
        // Docked, the stored height is the log's own plus its title's 20 pixels.
        resizeDocks({log_dock_}, {std::max(settings_.ReadInteger("Log", "tbLogHeight", 66) - 20, log_dock_->minimumSizeHint().height())},
                    Qt::Vertical);
    }
    menuBar()->setVisible(settings_.ReadBool("Toolbar", "kvMainMenu", true));
    hotkeys_ = settings_.ReadBool("Settings", "Hotkeys", true);
    AssignShortcuts();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const TWindowPlacement placement =
        ReadWindowPlacement(settings_, "Position", x(), y(), screen.width(), screen.height());
    resize(placement.Width, placement.Height);
    move(placement.X, placement.Y);
    if (placement.Maximized) setWindowState(Qt::WindowMaximized);
}

void TfrmKavrelMain::LoadListLook() {
    // These flags are kept as the strings "0" and "1".
    const auto flag = [this](const char* key) { return settings_.ReadString("Visual", key, "0") == "1"; };
    single_click_ = flag("SingleClick");
    const bool hand = single_click_ && (flag("MousePoint") || flag("AlwaysUnder"));
    kvList_->viewport()->setCursor(hand ? Qt::PointingHandCursor : Qt::ArrowCursor);
    kvList_->setStyleSheet(flag("GridLines") ? "QTreeView::item { border-right: 1px solid palette(midlight); "
                                               "border-bottom: 1px solid palette(midlight); }"
                                             : QString());
}

void TfrmKavrelMain::SaveSettings() {
    settings_.WriteBool("Visual", "ExplorerStyle", Action("aOptExplorer")->isChecked());
    settings_.WriteString("Directories", "Open", open_folder_);
    settings_.WriteString("Directories", "Extract", extract_folder_);
    settings_.WriteBool("Settings", "ReuseWindow", Action("aOptReuse")->isChecked());
    if (toolbar_->isFloating()) {
        settings_.WriteString("Toolbar", "Docked", "");
        settings_.WriteInteger("Toolbar", "Left", toolbar_->x());
        settings_.WriteInteger("Toolbar", "Top", toolbar_->y());
    } else {
        for (const auto& [name, area] : kToolbarDocks)
            if (toolBarArea(toolbar_) == area) settings_.WriteString("Toolbar", "Docked", name);
    }
    settings_.WriteBool("Toolbar", "tbVisible", toolbar_->isVisible());
    settings_.WriteBool("Toolbar", "sbVisible", statusBar()->isVisible());
    settings_.WriteBool("Toolbar", "LogVisible", log_dock_->isVisible());
    settings_.WriteInteger("Log", "tbLogVisible", (log_dock_->isFloating() ? 2 : 0) + (log_dock_->isVisible() ? 1 : 0));
    if (log_dock_->isFloating()) {
        settings_.WriteInteger("Log", "tbLogLeft", log_dock_->x());
        settings_.WriteInteger("Log", "tbLogTop", log_dock_->y());
        settings_.WriteInteger("Log", "tbLogWidth", log_dock_->width());
        settings_.WriteInteger("Log", "tbLogHeight", log_dock_->height());
    } else if (log_dock_->isVisible()) {
        settings_.WriteInteger("Log", "tbLogHeight", log_dock_->height() + 20);
    }
    for (int column = 0; column < kArcListColumnCount; ++column)
        WriteArcListColumn(settings_, column, kvList_->columnWidth(column), kvList_->header()->visualIndex(column));
    if (kvTree_->isVisible()) settings_.WriteInteger("Position", "TreeWidth", splitter_->sizes().front());
    const QRect bounds = normalGeometry();
    SaveWindowPlacement(settings_, "Position", {bounds.x(), bounds.y(), bounds.width(), bounds.height(), isMaximized()});
}

void TfrmKavrelMain::closeEvent(QCloseEvent* event) {
    SaveSettings();
    CloseArchive();
    event->accept();
}

void TfrmKavrelMain::SetStatusPanels(int count) {
    while (static_cast<int>(panels_.size()) < 3) {
        auto* panel = new QLabel(this);
        panel->setObjectName(QString("sbPanel%1").arg(panels_.size()));
        statusBar()->addWidget(panel, panels_.empty() ? 0 : 1);
        panels_.push_back(panel);
    }
    panels_[0]->setMinimumWidth(count > 1 ? 210 : 0);
    panels_[1]->setMinimumWidth(163);
    panels_[1]->setAlignment(Qt::AlignCenter);
    for (int i = 1; i < 3; ++i) panels_[i]->setVisible(i < count);
}

void TfrmKavrelMain::Log(const QString& text) { log_->appendPlainText(text); }

QMessageBox::StandardButton TfrmKavrelMain::MessageDialog(const QString& text, TMessageKind kind,
                                                          QMessageBox::StandardButtons buttons) {
    static constexpr std::array<const char*, 4> kCaptions = {"cptnWarning", "cptnError", "cptnInformation",
                                                             "cptnConfirmaton"};
    static constexpr std::array<QMessageBox::Icon, 4> kIcons = {QMessageBox::Warning, QMessageBox::Critical,
                                                                QMessageBox::Information, QMessageBox::Question};
    const int shown = kind;
    QMessageBox box(kIcons[shown], Str(lang_.GetText("Common", kCaptions[shown])), text, buttons, this);
    box.setObjectName("MessageDialog");
    static const std::array<std::pair<QMessageBox::StandardButton, const char*>, 9> kButtons = {{
        {QMessageBox::Yes, "Yes"}, {QMessageBox::No, "No"}, {QMessageBox::Ok, "OK"},
        {QMessageBox::Cancel, "Cancel"}, {QMessageBox::Abort, "Abort"}, {QMessageBox::Retry, "Retry"},
        {QMessageBox::Ignore, "Ignore"}, {QMessageBox::NoToAll, "NotoAll"}, {QMessageBox::YesToAll, "YesToAll"},
    }};
    for (const auto& [button, name] : kButtons) {
        if (QAbstractButton* shown_button = box.button(button)) {
            shown_button->setObjectName(name);
            shown_button->setText(Msg(std::string("msgDlg") + name));
        }
    }
    return dialogs_->Ask(box);
}

// --- archives ---

bool TfrmKavrelMain::OpenArchive(const std::string& file_name, const std::string& unpacked_from) {
    unpacked_from_ = unpacked_from;
    // The code page chosen for this archive earlier in the session; set on a closed facade, so that the
    // archive open now is not listed again for nothing.
    const auto chosen = code_pages_.find(unpacked_from.empty() ? file_name : unpacked_from);
    const std::string code_page = chosen == code_pages_.end() ? std::string() : chosen->second;
    if (code_page != kvArcMain_.NameCodePage()) {
        kvArcMain_.Close();
        kvArcMain_.SetNameCodePage(code_page);
    }
    if (!kvArcMain_.Open(file_name)) {
        CloseArchive();
        return false;
    }
    DisableAll();
    SetStatusPanels(3);
    Action("aActView")->setEnabled(false);
    archive_name_ = fs::path(file_name).filename().string();
    setWindowTitle("Kavrel - " + Str(archive_name_));
    panels_[0]->setText(fontMetrics().elidedText(Str(file_name), Qt::ElideMiddle, 205));
    panels_[0]->setToolTip(Str(file_name));
    open_folder_ = fs::path(file_name).parent_path().string();
    InitExtraMenus();
    // A TAR inside is known by its content; the window needs it as a file of its own.
    if (FormatOf(kvArcMain_.ArcType()).Has(ftHoldsTar) && settings_.ReadBool("Settings", "OpenNestedTar", true) && facade::MayHoldTar(kvArcMain_))
        ExtractFirstToTemp();
    EnableAll();
    Action("aActInstall")->setEnabled(kvArcMain_.IsArcInstallable());
    return true;
}

std::string TfrmKavrelMain::ArchiveFolder() const {
    return platform::IncludeTrailingDelimiter(fs::path(kvArcMain_.ArcFilename()).parent_path().string());
}

std::string TfrmKavrelMain::NamedSubfolder() const {
    return platform::IncludeTrailingDelimiter(ArchiveFolder() + fs::path(kvArcMain_.ArcFilename()).stem().string());
}

void TfrmKavrelMain::InitExtraMenus() {
    const auto caption = [this](const std::string& folder) {
        return Msg("msgMenuExtToSubfolder") + " " + Str(folder).replace("&", "&&");
    };
    Action("aExtFName")->setText(caption(NamedSubfolder()));
    Action("aExtSame")->setText(caption(ArchiveFolder()));
}

void TfrmKavrelMain::ExtractFirstToTemp() {
    if (kvArcMain_.Entries().empty()) return;
    const std::string entry = kvArcMain_.Entries().front().FileName;
    kvArcMain_.ExtOptions = {facade::eoOverWrite};
    kvArcMain_.ActionMode = facade::amCustom;
    kvArcMain_.FileSpec = {"*.*"};
    kvArcMain_.ExtDir = temp_folder_;
    panels_[0]->setText(FormatText(Msg("msgExtracting"), {Str(entry)}));
    nested_extraction_ = true;
    kvArcMain_.Extract();
    nested_extraction_ = false;
    // The reader names the file it wrote: a TAR's name keeps or gains ".tar".
    for (const std::string& written : kvArcMain_.ProcessedFiles()) {
        const std::string path = temp_folder_ + fs::path(written).filename().string();
        if (fs::is_regular_file(path) && kvArcMain_.DetectArcType(path) == atTar) {
            const std::string compressed = kvArcMain_.ArcFilename();
            temp_files_.push_back(path);
            OpenArchive(path, compressed);
            return;
        }
    }
}

bool TfrmKavrelMain::CreateArchive(const std::string& file_name, TArcType type) {
    const TFormat& format = FormatOf(type);
    if (format.Extensions.empty() || !CapabilitiesOfFormat(type).Add) return false;
    SetStatusPanels(3);
    const std::string name =
        fs::path(file_name).replace_extension("." + std::string(NewArchiveExtensions(format).front())).string();
    if (!kvArcMain_.NewArchive(name, type)) return false;
    EnableItems();
    Action("aActInstall")->setEnabled(false);
    open_folder_ = fs::path(name).parent_path().string();
    InitExtraMenus();
    archive_name_ = fs::path(name).filename().string();
    setWindowTitle("Kavrel - " + Str(archive_name_));
    panels_[0]->setText(Str(name));
    return true;
}

void TfrmKavrelMain::CloseArchive() {
    unpacked_from_.clear();
    // Folders that extraction made for the files go with them once empty.
    const fs::path temp = fs::path(temp_folder_).parent_path();
    for (const std::string& file : temp_files_) {
        std::error_code error;
        fs::remove(file, error);
        for (fs::path folder = fs::path(file).parent_path(); folder.string().size() > temp.string().size();
             folder = folder.parent_path())
            if (!fs::remove(folder, error)) break;
    }
    temp_files_.clear();
    for (const char* name : {"aExtFName", "aExtSame"})
        if (const std::optional<std::string> caption = lang_.FormText("frmKavrelMain", name)) Action(name)->setText(Str(*caption));
    SetStatusPanels(1);
    kvArcMain_.Close();
    EnableItems();
    Action("aActInstall")->setEnabled(false);
    panels_[0]->setText(Msg("msgKavrelReady"));
    setWindowTitle("Kavrel");
}

TArchiveAbilities TfrmKavrelMain::Abilities() const {
    TArchiveAbilities archive;
    archive.Attached = kvArcMain_.ArcOpen();
    archive.Readable = kvArcMain_.IsArcDecompressable();
    // A TAR unpacked from a compressed file is a temporary copy: changes to it would be lost.
    archive.Writeable = kvArcMain_.IsArcCompressable() && unpacked_from_.empty();
    archive.SelfExtracting = kvArcMain_.IsArcSFX();
    archive.Spannable = kvArcMain_.IsArcSpannable();
    archive.Empty = kvArcMain_.Entries().empty();
    archive.Type = kvArcMain_.ArcType();
    return archive;
}

void TfrmKavrelMain::EnableItems() {
    const TArchiveAbilities archive = Abilities();
    charset_menu_->setEnabled(archive.Attached && !kvArcMain_.IsNewArchive());
    for (auto& [name, action] : actions_) {
        const TActionCategory category = categories_[name];
        if (category == acInstall) continue;
        action->setEnabled(CategoryEnabled(category, archive) || (name == "aActAdd" && AddEnabledAlone(archive)));
    }
    EnableEntryActions();
    AssignShortcuts();
}

void TfrmKavrelMain::EnableEntryActions() {
    bool real_entry = false;
    for (const std::int64_t row : kvList_->SelectedItemIndexes()) {
        const facade::TRowKind kind = facade::RowKindOf(kvList_->ArcItems()[static_cast<std::size_t>(row)]);
        if (kind == facade::TRowKind::File || kind == facade::TRowKind::FolderEntry) {
            real_entry = true;
            break;
        }
    }
    const bool readable = CategoryEnabled(acReadable, Abilities());
    for (const char* name : {"aActRen", "aActView", "aActOpen"}) Action(name)->setEnabled(readable && real_entry);
}

void TfrmKavrelMain::AssignShortcuts() {
    std::set<QString> taken;
    for (const TActionDef& def : MainWindowActions()) {
        QAction* action = Action(std::string(def.Name));
        const QString key = Str(std::string(def.Shortcut));
        const bool free = !taken.contains(key);
        if (action->isEnabled() && !key.isEmpty()) taken.insert(key);
        action->setShortcut(hotkeys_ && (free || !action->isEnabled()) ? QKeySequence(key) : QKeySequence());
    }
}

void TfrmKavrelMain::DisableAll() {
    menuBar()->setEnabled(false);
    toolbar_->setEnabled(false);
    kvList_->setEnabled(false);
    kvTree_->setEnabled(false);
}

void TfrmKavrelMain::EnableAll() {
    menuBar()->setEnabled(true);
    toolbar_->setEnabled(true);
    EnableItems();
    kvList_->setEnabled(true);
    kvTree_->setEnabled(true);
}

// --- commands ---

void TfrmKavrelMain::aArcOpenExecute() {
    QString filter = Msg("msgAllArchivesFilter") + ";;" + Msg("msgFAllExe");
    for (const TFormat* format : DialogFormats(false)) filter += ";;" + Msg(std::string(format->OpenFilterKey));
    filter += ";;" + Msg("msgFAllFiles");
    const QString folder = settings_.ReadBool("Settings", "OpenLast", true) ? Str(open_folder_) : QString();
    const QStringList chosen = dialogs_->ChooseArchives(this, Msg("msgodOpen"), folder, filter);
    if (!chosen.isEmpty()) OpenArchive(chosen.front().toStdString());
}

void TfrmKavrelMain::aArcNewExecute() {
    const std::vector<const TFormat*> formats = DialogFormats(true);
    QStringList filters;
    for (const TFormat* format : formats) filters << Msg(std::string(format->NewFilterKey));
    int filter = 0;
    const QString chosen = dialogs_->ChooseNewArchive(this, Msg("msgodNew"), Str(open_folder_), filters, filter);
    if (chosen.isEmpty()) return;
    if (QFileInfo::exists(chosen)) {
        if (MessageDialog(FormatText(Msg("msgArcOverwrite"), {chosen}), mkConfirmation,
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            return;
        QFile::remove(chosen);
    }
    CreateArchive(chosen.toStdString(), formats[std::clamp(filter, 0, static_cast<int>(formats.size()) - 1)]->Type);
}

void TfrmKavrelMain::aActAddExecute() {
    AddFiles(dialogs_->ChooseFiles(this, Msg("msgAddFiles"), Str(open_folder_)));
}

void TfrmKavrelMain::AddFiles(const QStringList& files) {
    if (files.isEmpty()) return;
    kvArcMain_.AddMode = facade::amAdd;
    kvArcMain_.SimpleCompressionOptions = true;
    kvArcMain_.SetSimpleCompressionFactor(facade::cfNormal);
    kvArcMain_.AddOptions = {facade::aoRecurse, facade::aoDirNames};
    kvArcMain_.FollowLinks = settings_.ReadBool("Settings", "FollowLinks", false);
    kvArcMain_.FileSpec.clear();
    for (const QString& file : files) {
        std::string path = file.toStdString();
        if (fs::is_directory(path)) path = platform::IncludeTrailingDelimiter(path);
        kvArcMain_.FileSpec.push_back(path);
    }
    kvArcMain_.Add();
}

void TfrmKavrelMain::aActExtExecute() {
    const QString folder = settings_.ReadBool("Settings", "ExtractLast", true) ? Str(extract_folder_) : QString();
    const QString chosen = dialogs_->ChooseFolder(this, Msg("msgExtractTo"), folder);
    if (chosen.isEmpty()) return;
    extract_folder_ = chosen.toStdString();
    ExtractTo(platform::IncludeTrailingDelimiter(extract_folder_),
              kvList_->selectionModel()->hasSelection() ? facade::amSelected : facade::amAll);
}

void TfrmKavrelMain::ExtractTo(const std::string& folder, facade::TActionMode mode) {
    std::error_code error;
    fs::create_directories(folder, error);
    kvArcMain_.ExtDir = folder;
    kvArcMain_.ExtOptions = {};
    if (opt_zip_dirs_) kvArcMain_.ExtOptions.Include(facade::eoDirNames);
    if (opt_overwrite_) kvArcMain_.ExtOptions.Include(facade::eoOverWrite);
    if (opt_update_) kvArcMain_.ExtOptions.Include(facade::eoUpdate);
    kvArcMain_.ActionMode = mode;
    kvArcMain_.Extract();
}

void TfrmKavrelMain::aActDelExecute() {
    const bool selected = kvList_->selectionModel()->hasSelection();
    const QString text = Msg(selected ? "msgDeleteSelected" : "msgDeleteAll");
    if (MessageDialog(text, mkConfirmation, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) return;
    kvArcMain_.ActionMode = selected ? facade::amSelected : facade::amAll;
    kvArcMain_.Delete();
}

void TfrmKavrelMain::aActTestExecute() {
    kvArcMain_.ActionMode = facade::amAll;
    operation_errors_ = 0;
    // The facade reports each failure as it happens; its result only tells an unusable folder.
    const bool passed = !kvArcMain_.Test() && operation_errors_ == 0;
    Log(FormatText(Msg(passed ? "msgTestPassed" : "msgTestFailed"), {Str(archive_name_)}));
}

void TfrmKavrelMain::aActOpenExecute() {
    const std::vector<std::int64_t> rows = kvList_->SelectedEntryIndexes();
    if (rows.empty() || !ExtractSelectionToTemp({facade::eoOverWrite})) return;
    const std::string name = fs::path(kvArcMain_.Entries()[rows.front()].FileName).filename().string();
    QDesktopServices::openUrl(QUrl::fromLocalFile(Str(temp_folder_ + name)));
}

void TfrmKavrelMain::SelectRows(int how) {
    QItemSelectionModel* selection = kvList_->selectionModel();
    const QAbstractItemModel* model = kvList_->model();
    const QItemSelection all(model->index(0, 0), model->index(model->rowCount() - 1, model->columnCount() - 1));
    static constexpr std::array<QItemSelectionModel::SelectionFlags, 3> kFlags = {
        QItemSelectionModel::Select, QItemSelectionModel::Deselect, QItemSelectionModel::Toggle};
    selecting_rows_ = true;
    selection->select(all, kFlags[how] | QItemSelectionModel::Rows);
    selecting_rows_ = false;
    EnableEntryActions();
    ShowSelectionInfo();
}

void TfrmKavrelMain::aOptExplorerExecute() {
    const bool explorer = Action("aOptExplorer")->isChecked();
    kvTree_->setVisible(explorer);
    kvArcMain_.SetExplorerStyle(explorer);
}

void TfrmKavrelMain::ListDoubleClicked() {
    const std::vector<std::int64_t> rows = kvList_->SelectedItemIndexes();
    if (rows.empty()) return;
    const facade::TArcListItem& row = kvList_->ArcItems()[static_cast<std::size_t>(rows.front())];
    switch (facade::RowKindOf(row)) {
        case facade::TRowKind::UpDir: kvList_->FolderUp(); break;
        case facade::TRowKind::SubDir:
            kvArcMain_.SetDirFilter(kvArcMain_.DirFilter() + row.Entry->FileName + platform::kPathDelim);
            break;
        default:
            if (Action("aActOpen")->isEnabled()) aActOpenExecute();
    }
}

std::unique_ptr<QMimeData> TfrmKavrelMain::SelectionDragData() {
    std::vector<std::string> names;
    kvList_->GetSelectionNames(names, false);
    // Each name goes where extraction puts it: a stored name cannot point the drop target at a file outside
    // the temporary folder.
    QList<QUrl> files;
    for (std::string& name : names) {
        while (!name.empty() && name.back() == platform::kPathDelim) name.pop_back();
        if (const std::optional<std::string> path = BuildOutputPath(temp_folder_, name, true))
            files << QUrl::fromLocalFile(Str(*path));
    }
    return std::make_unique<TDeferredFileDrag>(
        files, [this] { return ExtractSelectionToTemp({facade::eoDirNames, facade::eoOverWrite}); });
}

bool TfrmKavrelMain::ExtractSelectionToTemp(facade::TExtOpts options) {
    kvArcMain_.ActionMode = facade::amSelected;
    kvArcMain_.ExtOptions = options;
    kvArcMain_.ExtDir = temp_folder_;
    crc_cancel_ = false;
    kvArcMain_.Extract();
    return !crc_cancel_;
}

void TfrmKavrelMain::ShowSelectionInfo() {
    if (!kvArcMain_.ArcOpen()) {
        panels_[1]->clear();
        return;
    }
    const QString text = FormatText(Msg("msgsbFileSelected"), {QString::number(kvList_->SelectedItemIndexes().size()),
                                                               QString::number(Kilobytes(kvList_->SelSize()))});
    panels_[1]->setText(text);
}

void TfrmKavrelMain::ShowTotals() {
    EnableItems();
    panels_[2]->setText(FormatText(Msg("msgsbFileInfo"),
                                   {QString::number(kvArcMain_.ArcEntryCount()),
                                    QString::number(Kilobytes(kvArcMain_.ArcSize())),
                                    QString::number(Kilobytes(kvArcMain_.ArcPacked()))}));
}

// --- the facade's events ---

void TfrmKavrelMain::kvArcMainBegin() {
    DisableAll();
    crc_cancel_ = false;
    // An extraction that opening runs, or one inside another operation, shows its progress in the status bar.
    if (nested_extraction_ || status_window_) {
        SetStatusPanels(1);
        if (!status_progress_) {
            status_progress_ = new QProgressBar(statusBar());
            status_progress_->setObjectName("sbProgress");
            statusBar()->addPermanentWidget(status_progress_, 1);
        }
        status_progress_->setValue(0);
        status_progress_->show();
        return;
    }
    status_window_ = std::make_unique<TfrmStatus>(this, [this] { kvArcMain_.Cancel(); });
    TranslateForm(lang_, *status_window_);
    status_window_->show();
}

bool TfrmKavrelMain::ProgressInStatusBar() const { return status_progress_ != nullptr && status_progress_->isVisible(); }

void TfrmKavrelMain::kvArcMainProgress(int by_file, int by_archive, const std::string& file_name) {
    if (ProgressInStatusBar()) {
        status_progress_->setValue(by_archive);
    } else if (status_window_) {
        static constexpr std::array<const char*, 4> kHeaders = {"cptnExtracting", "cptnExtracting", "cptnAdding",
                                                                "cptnDeleting"};
        status_window_->SetHeader(Str(lang_.GetText("frmStatus", kHeaders[kvArcMain_.Status()])));
        status_window_->SetProgress(by_file, by_archive, Str(file_name));
    }
    // The operation runs on this thread: the window is redrawn and Cancel heard here.
    QApplication::processEvents();
}

void TfrmKavrelMain::kvArcMainEnd() {
    if (ProgressInStatusBar()) {
        status_progress_->hide();
        SetStatusPanels(3);
    } else {
        status_window_.reset();
    }
    if (settings_.ReadBool("Settings", "RemoveTempFiles", true) && kvArcMain_.ExtDir.find(temp_folder_) != std::string::npos) {
        for (const std::string& file : kvArcMain_.ProcessedFiles()) {
            const std::string path = temp_folder_ + file;
            if (std::find(temp_files_.begin(), temp_files_.end(), path) == temp_files_.end()) temp_files_.push_back(path);
        }
    }
    EnableAll();
}

void TfrmKavrelMain::kvArcMainOverwrite(const facade::TArcEntry& on_disk, const facade::TArcEntry& in_archive,
                                        facade::TkvOverwriteMode& mode) {
    if (settings_.ReadBool("Settings", "OverwriteTempFiles", false) &&
        QString::fromStdString(on_disk.FileName).toLower().contains(Str(temp_folder_).toLower()))
        return;
    const auto when = [](TDateTime date) { return QLocale().toString(ToQDateTime(date), QLocale::ShortFormat); };
    const QString text = FormatText(
        Msg("msgOverwriteFile"), {Str(on_disk.FileName), DottedNumber(on_disk.Size), when(on_disk.DateTime),
                                  Str(in_archive.FileName), DottedNumber(in_archive.Size), when(in_archive.DateTime)});
    switch (MessageDialog(
        text, mkConfirmation,
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::NoToAll | QMessageBox::YesToAll)) {
        case QMessageBox::Yes:
            mode = facade::komOverwrite;
            break;
        case QMessageBox::No:
            mode = facade::komSkip;
            break;
        case QMessageBox::NoToAll:
            mode = facade::komSkipAll;
            break;
        case QMessageBox::YesToAll:
            mode = facade::komOverwriteAll;
            break;
        default:
            mode = facade::komCancel;
            break;
    }
}

// --- command line and drops ---

void TfrmKavrelMain::HandleParams(const std::vector<std::string>& params) {
    if (params.empty()) return;
    // Paths begin with "/" here: a first parameter naming an existing file is an archive to open.
    if (fs::is_regular_file(params.front())) OpenArchive(fs::absolute(params.front()).string());
}

// Rows dragged out of our own list are not taken back in: they would be added to the archive they came from.
void TfrmKavrelMain::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && event->source() == nullptr) event->acceptProposedAction();
}

void TfrmKavrelMain::dropEvent(QDropEvent* event) {
    if (event->source() != nullptr) return;
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    if (files.size() == 1 && OpensWhenDropped(files.front())) {
        if (MessageDialog(Msg("msgOpenDroppedArchive"), mkConfirmation, QMessageBox::Yes | QMessageBox::No) ==
            QMessageBox::Yes) {
            OpenArchive(files.front().toStdString());
            return;
        }
    }
    if (Action("aActAdd")->isEnabled()) AddFiles(files);
}

}  // namespace kv::app
