#include "facade/kv_comp.h"

#include <exception>

#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"
#include "engine/core/formats.h"
#include "engine/core/oem_names.h"
#include "engine/readers/arc_lister.h"
#include "facade/compression_settings.h"
#include "platform/paths.h"
#include "zipmanager/zip_manager.h"

namespace kv::facade {
TkvComp::TkvComp() : temp_dir_(platform::SystemTempDirectory()) {}

TkvComp::~TkvComp() {
    Close();
    if (list_view_) list_view_->comp_ = nullptr;
    if (tree_view_) tree_view_->comp_ = nullptr;
}

// ---- attaching ----

void TkvComp::Attach(std::string FileName) {
    if (arc_open_) Close();
    dir_filter_.clear();
    arc_filename_ = std::move(FileName);
    // Totals of an earlier archive must not show for one that lists nothing.
    arc_entry_count_ = arc_size_ = arc_packed_ = 0;
    arc_ratio_ = 0;
    remembered_overwrite_ = komNotSet;
    DoSpan = false;
}

bool TkvComp::Open(const std::string& FileName) {
    try {
        Attach(FileName);
        list_aborted_ = false;
        traversal_asked_ = false;
        std::unique_ptr<TArcLister> probe = Probe(arc_filename_);
        if (!probe) {
            // Nothing to attach: a missing file is an error, not an empty archive.
            arc_filename_.clear();
            if (OnMessage) OnMessage(this, ecode::kFileNotFound, std::string(LoadStr(ecode::kFileNotFound)));
            return false;
        }
        arc_type_ = probe->ArcType();
        capabilities_ = CapabilitiesOf(arc_type_);
        type_name_ = std::string(ArcTypeDisplayName(arc_type_));
        ClearProcessed();
        password_tries_left_ = PasswordReqCount;
        arc_open_ = true;
        is_new_archive_ = false;
        SetUpEngine(std::move(probe));
        if (list_aborted_) {
            Close();
            return false;
        }
        return true;
    } catch (const std::exception& failure) {
        ReportFailure(failure);
        return false;
    }
}

bool TkvComp::NewArchive(const std::string& FileName, TArcType ArcType) {
    try {
        Attach(FileName);
        arc_type_ = ArcType;
        type_name_ = std::string(ArcTypeDisplayName(arc_type_));
        // An empty new archive has nothing to extract, so extracting is no fault; what it can take is its type's.
        capabilities_ = {.Compressable = CapabilitiesOf(ArcType).Compressable, .Decompressable = true, .SFX = false,
                         .Spannable = FormatOf(ArcType).Has(ftSpannable)};
        is_installable_ = false;
        arc_open_ = true;
        is_new_archive_ = true;
        SetUpEngine(nullptr);
        return true;
    } catch (const std::exception& failure) {
        ReportFailure(failure);
        return false;
    }
}

bool TkvComp::Close() {
    try {
        arc_open_ = false;
        arc_filename_.clear();
        list_aborted_ = false;
        ClearEntries();
        arc_entry_count_ = 0;
        zip_manager_.reset();
        lister_.reset();
        route_ = TEngineRoute::erEngine;
        RefreshViews();
        return true;
    } catch (const std::exception& failure) {
        ReportFailure(failure);
        return false;
    }
}

bool TkvComp::Reload() {
    if (route_ == TEngineRoute::erZipManager) {
        zip_manager_->List();
        return true;
    }
    if (!lister_) return false;
    const std::string filter = dir_filter_;
    const bool opened = Open(arc_filename_);
    SetDirFilter(filter);
    return opened;
}

TArcType TkvComp::DetectArcType(const std::string& FileName) {
    const auto detection = Detect(FileName);
    return detection ? detection->ArcType : atNA;
}

std::optional<TArcDetection> TkvComp::Detect(const std::string& FileName) {
    const std::unique_ptr<TArcLister> probe = Probe(FileName);
    if (!probe) return std::nullopt;
    return probe->Detection();
}

std::unique_ptr<TArcLister> TkvComp::Probe(const std::string& FileName) {
    auto probe = std::make_unique<TArcLister>();
    ForwardErrors(*probe);
    probe->SetArchiveFile(FileName);
    if (probe->ArchiveFile().empty()) return nullptr;
    return probe;
}

void TkvComp::ReportFailure(const std::exception& failure) {
    // An engine's own raise has been reported where it arose.
    if (dynamic_cast<const E_RAISE*>(&failure) != nullptr) return;
    if (OnMessage) OnMessage(this, ecode::kUnknownError, ErrorText(ecode::kUnknownError, failure.what()));
}

void TkvComp::ForwardErrors(TArcLister& engine) {
    engine.OnError = [this](TObject*, const std::string&, const std::string& extended, const std::string&, int code) {
        if (OnMessage) OnMessage(this, code, ErrorText(code, extended));
    };
}

std::optional<std::vector<std::string>> TkvComp::EntriesUnder(const std::string& Prefix) const {
    if (!arc_open_) return std::nullopt;
    std::vector<std::string> names;
    for (const TArcEntry& entry : entries_) {
        if (entry.FileName.starts_with(Prefix)) names.push_back(entry.FileName);
    }
    return names;
}

std::string TkvComp::ArcTypeName() const {
    return arc_open_ && route_ == TEngineRoute::erZipManager ? type_name_ : std::string();
}

// ---- engines ----

void TkvComp::SetUpEngine(std::unique_ptr<TArcLister> probe) {
    route_ = EngineRouteFor(arc_type_, probe ? arc_filename_ : std::string());
    if (route_ == TEngineRoute::erZipManager)
        SetUpZipManager();
    else
        SetUpLister(std::move(probe));
}

void TkvComp::SetUpZipManager() {
    zip_manager_ = std::make_unique<TZipManager>();
    zip_manager_->SetTempDir(temp_dir_);
    zip_manager_->SetDLLDirectory(dll_directory_);
    zip_manager_->SetUseDirOnlyEntries(display_dirs_);
    ApplyNameCodePage(*zip_manager_);
    zip_manager_->OnDirUpdate = [this](TObject*) { BuildZipEntries(); };
    HandleZipEvents();
    // By its absolute path: extracting runs inside the extraction folder.
    if (!is_new_archive_) zip_manager_->SetZipFileName(platform::AbsolutePath(arc_filename_));
}

void TkvComp::SetUpLister(std::unique_ptr<TArcLister> probe) {
    // The lister that found the type lists the archive too, without detecting it again.
    lister_ = probe ? std::move(probe) : std::make_unique<TArcLister>();
    lister_->FileSpec = {"*.*"};
    lister_->ShowEmptyDirs = display_dirs_;
    lister_->NameCodePage = name_code_page_;
    lister_->ListDecoded = ListDecoded;
    lister_->OnActivate = [this](TObject*) { ListerActivated(); };
    lister_->OnRead = [this](TObject*, int, int) { AddListerEntry(); };
    lister_->OnTotals = [this](TObject*, std::int64_t unpacked, std::int64_t packed, int ratio, int files) {
        ListerTotals(unpacked, packed, ratio, files);
    };
    lister_->OnDeactivate = [this](TObject*) { ListerDeactivated(); };
    ForwardErrors(*lister_);
    // Volumes that lie beside the archive are followed; a missing one ends the listing.
    lister_->OnNextVolume = [](TObject*, std::string&, int, bool exists, bool& cancel) { cancel = !exists; };
    // A damaged central directory is no reason to show nothing: the local headers are listed instead.
    lister_->OnCorruptZipHeader = [](TObject*, THeaderTypeState, bool& cancel) { cancel = false; };
    if (!is_new_archive_) RunLister();
}

void TkvComp::RunLister() { lister_->Activate(); }

int TkvComp::Cancel() {
    if (zip_manager_) zip_manager_->SetCancel(true);
    if (running_engine_) running_engine_->SetCancel(true);
    if (lister_) lister_->SetCancel(true);
    return 0;
}

// ---- properties ----

void TkvComp::SetListFiles(bool value) {
    if (value == list_files_) return;
    list_files_ = value;
    RefillList();
}

void TkvComp::SetExplorerStyle(bool value) {
    if (value == explorer_style_) return;
    explorer_style_ = value;
    if (value) SetDisplayDirs(false);
    RebuildTree();
    RefillList();
}

void TkvComp::SetDisplayDirs(bool value) {
    if (value == display_dirs_) return;
    display_dirs_ = value;
    if (zip_manager_ && zip_manager_->UseDirOnlyEntries() != value) {
        zip_manager_->SetUseDirOnlyEntries(value);
        zip_manager_->List();
    }
    if (lister_ && lister_->ShowEmptyDirs != value) {
        lister_->ShowEmptyDirs = value;
        if (!is_new_archive_) RunLister();
    }
}

void TkvComp::SetDirFilter(const std::string& value) {
    const std::string filter = value.empty() ? value : platform::IncludeTrailingDelimiter(value);
    if (filter == dir_filter_) return;
    dir_filter_ = filter;
    RefillList();
    if (tree_view_) tree_view_->SelectFolder(dir_filter_);
}

void TkvComp::SetTempDir(const std::string& value) {
    temp_dir_ = value;
    if (zip_manager_) zip_manager_->SetTempDir(value);
}

void TkvComp::SetDllDirectory(const std::string& value) {
    dll_directory_ = value;
    if (zip_manager_) zip_manager_->SetDLLDirectory(value);
}

bool TkvComp::SetNameCodePage(const std::string& value) {
    if (!value.empty() && !IsKnownCodePage(value)) return false;
    if (value == name_code_page_) return true;
    name_code_page_ = value;
    if (zip_manager_) {
        ApplyNameCodePage(*zip_manager_);
        if (!is_new_archive_) zip_manager_->List();
    }
    if (lister_) {
        lister_->NameCodePage = value;
        if (!is_new_archive_) RunLister();
    }
    return true;
}

void TkvComp::ApplyNameCodePage(TZipManager& zip_manager) const {
    // The ZIP manager's per-archive choice: the OEM conversion for every entry, in the code page chosen.
    zip_manager.SetCodePage(name_code_page_.empty() ? cpAuto : cpOEM);
    zip_manager.SetOemCodePage(name_code_page_);
}

std::string TkvComp::ZipComment() const { return zip_manager_ ? zip_manager_->ArchiveComment() : std::string(); }

void TkvComp::SetZipComment(const std::string& value) {
    if (zip_manager_) zip_manager_->SetArchiveComment(value);
}

void TkvComp::SetSimpleCompressionFactor(TCompressionFactor value) {
    compression_factor_ = value;
    TCompressionSettings settings{ZipAddCompLevel, EngCompressMethod, EngDeflateType};
    ApplyCompressionFactor(value, arc_type_, settings);
    ZipAddCompLevel = settings.ZipAddCompLevel;
    EngCompressMethod = settings.EngCompressMethod;
    EngDeflateType = settings.EngDeflateType;
}

// ---- operations that come with the archive writers and readers ----

int TkvComp::ReportUnsupported() {
    if (OnMessage) OnMessage(this, ecode::kUnsupportedArcTypeOperation, std::string(LoadStr(ecode::kUnsupportedArcTypeOperation)));
    return ecode::kUnsupportedArcTypeOperation;
}

int TkvComp::MakeSFX(bool) { return ReportUnsupported(); }
int TkvComp::MakeZip(bool) { return ReportUnsupported(); }
int TkvComp::WriteSpan(const std::string&, const std::string&, int) { return ReportUnsupported(); }
int TkvComp::ReadSpan(const std::string&, std::string&) { return ReportUnsupported(); }

}  // namespace kv::facade
