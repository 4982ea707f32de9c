#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/core/arc_detect.h"
#include "engine/core/arc_type.h"
#include "engine/core/entry_enums.h"
#include "engine/core/events.h"
#include "engine/core/kv_object.h"
#include "zipmanager/zip_rename_rec.h"
#include "facade/arc_capabilities.h"
#include "facade/arc_entry.h"
#include "facade/arc_view_links.h"
#include "facade/engine_route.h"
#include "facade/facade_enums.h"
#include "facade/facade_events.h"
#include "facade/facade_options.h"

namespace kv {
class TArcLister;
class TCompBase;
class TUnBase;
class TZipCommon;
class TZipManager;
}  // namespace kv

namespace kv::facade {

// One archive of any supported type, presented to the program in one shape: its entries, its totals,
// what can be done with it, and the operations on it. ZIP archives are served by the ZIP manager, which
// stays attached while the archive is open; every other type is listed by the archive lister.
class TkvComp : public TObject {
public:
    // What operations that need the ZIP manager report (and return) without one; it has no text.
    static constexpr int kNoEngineObject = 30501;
    // Add's result when no writer serves the archive's type.
    static constexpr int kNoWriter = 10;

    TkvComp();
    ~TkvComp() override;

    // --- attaching and listing ---
    // Attaches an existing archive and lists it. False when the file cannot be read, on an error, or
    // when the directory-traversal question was answered with Cancel (the archive is then closed).
    bool Open(const std::string& FileName);
    // Attaches a file that does not exist yet as the given type, without listing it.
    bool NewArchive(const std::string& FileName, TArcType ArcType);
    bool Close();
    // Lists the open archive again; the folder shown in explorer style stays.
    bool Reload();
    // The type of any file, found without attaching it.
    TArcType DetectArcType(const std::string& FileName);
    // Everything detection finds out about a file (type, start offset, ZIP layout, volume); none when the
    // file does not exist.
    std::optional<TArcDetection> Detect(const std::string& FileName);
    // The names of the entries that begin with `Prefix` (all of them for ""); none without an archive.
    std::optional<std::vector<std::string>> EntriesUnder(const std::string& Prefix) const;

    // --- operations served by the per-type engines ---
    int Add();
    bool Extract();
    // Decodes the chosen entries and checks them without writing anything, through the engine Extract
    // would use (the ZIP manager in test mode, or the reader's test); the result as Extract's.
    bool Test();
    void Delete();
    int RenameEntries();
    int MakeSFX(bool KeepSource);
    int MakeZip(bool KeepSource);
    int WriteSpan(const std::string& SourceFile, const std::string& TargetFile, int MaxVolumeSize);
    int ReadSpan(const std::string& SourceFile, std::string& TargetFile);
    // Asks whatever engine is running to stop.
    int Cancel();

    // --- the open archive ---
    bool ArcOpen() const { return arc_open_; }
    const std::string& ArcFilename() const { return arc_filename_; }
    TArcType ArcType() const { return arc_type_; }
    // The ten-character type name, while an engine serves the archive.
    std::string ArcTypeName() const;
    std::int64_t ArcEntryCount() const { return arc_entry_count_; }
    std::int64_t ArcSize() const { return arc_size_; }
    std::int64_t ArcPacked() const { return arc_packed_; }
    std::uint8_t ArcRatio() const { return arc_ratio_; }
    TArcStatus Status() const { return status_; }
    bool IsArcCompressable() const { return capabilities_.Compressable; }
    bool IsArcDecompressable() const { return capabilities_.Decompressable; }
    bool IsArcInstallable() const { return is_installable_; }
    bool IsArcSFX() const { return capabilities_.SFX; }
    bool IsArcSpannable() const { return capabilities_.Spannable; }
    const TArcEntry& SetupEntry() const { return setup_entry_; }
    // The entries, in the order the engine reported them; the records stay put until the next listing.
    const std::deque<TArcEntry>& Entries() const { return entries_; }
    bool IsNewArchive() const { return is_new_archive_; }
    // Names the last operation reported as started, without duplicates.
    const std::vector<std::string>& ProcessedFiles() const { return processed_files_; }
    // The overwrite answer that holds for the rest of the running operation.
    TkvOverwriteMode RememberedOverwrite() const { return remembered_overwrite_; }
    // How many more times the running operation may ask for a password for the current file.
    std::uint8_t PasswordTriesLeft() const { return password_tries_left_; }

    // --- views and browsing ---
    TArcListViewLink* ArcListView() const { return list_view_; }
    void SetArcListView(TArcListViewLink* view);
    TArcTreeViewLink* ArcTreeView() const { return tree_view_; }
    void SetArcTreeView(TArcTreeViewLink* view);
    bool ListFiles() const { return list_files_; }
    void SetListFiles(bool value);
    bool ExplorerStyle() const { return explorer_style_; }
    void SetExplorerStyle(bool value);
    bool DisplayDirs() const { return display_dirs_; }
    void SetDisplayDirs(bool value);
    // The folder shown in explorer style: empty, or ending with the path delimiter.
    const std::string& DirFilter() const { return dir_filter_; }
    void SetDirFilter(const std::string& value);

    // --- settings handed to the engines ---
    const std::string& TempDir() const { return temp_dir_; }
    void SetTempDir(const std::string& value);
    const std::string& DllDirectory() const { return dll_directory_; }
    void SetDllDirectory(const std::string& value);
    // The code page the user chose for the archive's stored names (any name iconv knows); empty lets each
    // entry's origin decide. Setting it lists an open archive again; false for an unknown code page.
    const std::string& NameCodePage() const { return name_code_page_; }
    bool SetNameCodePage(const std::string& value);
    // The archive comment (ZIP only).
    std::string ZipComment() const;
    void SetZipComment(const std::string& value);
    TCompressionFactor SimpleCompressionFactor() const { return compression_factor_; }
    // Derives ZipAddCompLevel, EngCompressMethod and EngDeflateType for the current type.
    void SetSimpleCompressionFactor(TCompressionFactor value);

    TAddMode AddMode = amAdd;
    TAddOpts AddOptions;
    // Adding stores symbolic links as links; this takes the files and folders they lead to instead.
    bool FollowLinks = false;
    TExtOpts ExtOptions;
    TActionMode ActionMode = amAll;
    std::vector<std::string> FileSpec;
    std::vector<std::string> FileSpecExcl;
    std::string ExtDir;
    std::string Password;
    std::uint8_t PasswordReqCount = 3;
    bool SimpleCompressionOptions = true;
    int ZipAddCompLevel = 7;
    TCompressMethod EngCompressMethod = cmStore;
    TDeflateType EngDeflateType = dtDeflateN;
    bool ASCIITranslation = false;
    // Extract and Test take a GZIP, BZIP2 or compress file that holds a TAR as that TAR's entries, read as
    // it is decoded (no TAR file on disk); otherwise the TAR is extracted as the file it is.
    bool ReadNestedTar = false;
    // Open (set it before) decodes GZIP, BZIP2 and compress files to list what they hold: a TAR's entries,
    // or the size and CRC-32 of all members of a GZIP file; otherwise the headers alone are read.
    bool ListDecoded = false;
    // The cipher a ZIP add with a password writes: emZip_V2 (the classic cipher) or a WinZip AES method.
    TEncryptionMethod AddEncryptMethod = emZip_V2;
    bool DoSpan = false;
    TSpanOptions SpanningOptions;
    TSFXOptions SFXOptions;
    // Entries to rename (ZIP only); RenameEntries applies and empties it.
    std::vector<ZipRenameRec> RenameList;
    bool Messages = false;
    bool Verbose = false;

    // --- events ---
    TBeginEvent OnBegin;
    TEndEvent OnEnd;
    TProgressEvent OnProgress;
    TOverwriteEvent OnOverwrite;
    TkvPasswordEvent OnPassword;
    TkvNextVolumeEvent OnNextVolume;
    TkvCRCErrorEvent OnCRCError;
    TkvMessageEvent OnMessage;
    TkvNotifyEvent OnDirUpdate;
    TkvSecurityIssueEvent OnSecurityIssue;

private:
    friend class TArcViewLink;
    void ForgetView(const TArcViewLink* view);
    // Binds `view` into `slot` both ways, releasing the view held before and the facade `view` had.
    template <class View>
    void BindView(View*& slot, View* view);

    // Detaches what is open and starts over with the named file and no totals.
    void Attach(std::string FileName);
    // Creates the engine that serves the attached archive's type; lists unless the archive is new. `probe`
    // is the lister that detected an existing archive's type.
    void SetUpEngine(std::unique_ptr<TArcLister> probe);
    void SetUpZipManager();
    void ApplyNameCodePage(TZipManager& zip_manager) const;
    void SetUpLister(std::unique_ptr<TArcLister> probe);
    // A lister on the named file, its type detected; none when the file does not exist.
    std::unique_ptr<TArcLister> Probe(const std::string& FileName);
    void RunLister();
    // The engine's errors reach the program as messages.
    void ForwardErrors(TArcLister& engine);
    // Entries from the ZIP manager's directory.
    void BuildZipEntries();
    // Entries from the lister, one at a time.
    void ListerActivated();
    void AddListerEntry();
    void ListerTotals(std::int64_t unpacked, std::int64_t packed, int ratio, int files);
    void ListerDeactivated();

    void ClearEntries();
    // Asks about a name that would lead out of the extraction folder, once per Open; true to stop.
    bool NameCheckStops(std::string_view name);
    void NoteSetupProgram(const TArcEntry& entry);
    void RefreshViews();
    void RefillList();
    void RebuildTree();
    // Operations no engine serves yet say so ("Invalid or unsupported archive type for this operation").
    int ReportUnsupported();
    // A failure that escaped an operation reaches OnMessage (unless the engine reported it already).
    void ReportFailure(const std::exception& failure);

    // --- operations ---
    // FileSpec for Extract, Test and Delete by ActionMode; false when there is nothing to work on.
    bool ChooseEntries();
    // The list view's selection, a folder standing for everything under it.
    std::vector<std::string> SelectedEntryNames() const;
    void AddThroughZipManager();
    // kNoWriter when no writer serves the type.
    int AddThroughWriter();
    // Extract and Test share everything but the last step.
    bool RunExtraction(bool test);
    void ExtractThroughZipManager(bool test);
    void ExtractThroughReader(bool test);
    // What every operation leaves behind, also after an exception.
    void EndOperation();
    bool Silent() const;
    void NoteProcessed(const std::string& file_name);
    void ClearProcessed();

    // --- the engines' events, translated ---
    void HandleZipEvents();
    void ZipProgress(int type, const std::string& file_name, std::int64_t size);
    void ConnectEngine(TZipCommon& engine);
    TOnBegin EntryBeginHandler();
    TOnEnd EntryEndHandler();
    void ConnectWriter(TCompBase& writer);
    void ConnectReader(TUnBase& reader);
    void EngineDeactivated();
    // The overwrite question of both paths: true to overwrite, false to skip, none for the engine's own
    // default. `cancel` tells that the user stopped the operation.
    std::optional<bool> AskOverwrite(const std::string& disk_path, bool& cancel);
    // The entry a file below the extraction folder came from: the entry of that name (case ignored), or for
    // a bare file name the first entry of that file name.
    const TArcEntry* EntryForFile(const std::string& relative);
    void ForgetEntryIndex();
    // A password for `file_name` from OnPassword; none when nobody may or can be asked.
    std::optional<std::string> AskPassword(const std::string& file_name, bool& cancel);

    bool arc_open_ = false;
    std::string arc_filename_;
    TArcType arc_type_ = atNA;
    std::string type_name_;
    std::int64_t arc_entry_count_ = 0;
    std::int64_t arc_size_ = 0;
    std::int64_t arc_packed_ = 0;
    std::uint8_t arc_ratio_ = 0;
    TArcStatus status_ = asReady;
    TArcCapabilities capabilities_;
    bool is_installable_ = false;
    TArcEntry setup_entry_;
    std::deque<TArcEntry> entries_;
    std::vector<std::string> processed_files_;
    std::unordered_set<std::string> processed_index_;  // the same names, for the duplicate check
    // Entries by upper-cased name and by upper-cased file name (first one wins), while an operation asks.
    std::unordered_map<std::string, const TArcEntry*> entry_index_;
    std::unordered_map<std::string, const TArcEntry*> file_name_index_;
    bool is_new_archive_ = true;
    bool list_aborted_ = false;
    bool traversal_asked_ = false;

    TArcListViewLink* list_view_ = nullptr;
    TArcTreeViewLink* tree_view_ = nullptr;
    bool list_files_ = false;
    bool explorer_style_ = false;
    bool display_dirs_ = false;
    std::string dir_filter_;
    std::string temp_dir_;
    std::string dll_directory_;
    std::string name_code_page_;
    TCompressionFactor compression_factor_ = cfNormal;

    // Which of the two engines below serves the attached archive, decided once when it is attached.
    TEngineRoute route_ = TEngineRoute::erEngine;
    std::unique_ptr<TZipManager> zip_manager_;
    std::unique_ptr<TArcLister> lister_;
    // The writer or reader of the running operation, for Cancel.
    TZipCommon* running_engine_ = nullptr;

    // ExtDir of the running extraction as an absolute path with its trailing delimiter.
    std::string extract_folder_;
    TkvOverwriteMode remembered_overwrite_ = komNotSet;
    std::uint8_t password_tries_left_ = 3;
    std::uint8_t last_archive_percent_ = 0;
    struct TProgressCounters {
        std::string FileName;
        std::int64_t FileSize = 0;
        std::int64_t FileDone = 0;
        std::int64_t TotalSize = 0;
        std::int64_t TotalDone = 0;
    } progress_;
};

}  // namespace kv::facade
