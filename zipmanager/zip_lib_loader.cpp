#include "zipmanager/zip_lib_loader.h"

#include "platform/paths.h"
#include "zipmanager/zip_base.h"

namespace kv {
namespace {

struct TEntryNames {
    const char* File;
    const char* Exec;
    const char* Version;
    const char* PrivVersion;
};

constexpr TEntryNames kNames[] = {
    {"libzipeng.so", "ZipEngExec", "GetZipEngVersion", "GetZipEngPrivVersion"},
    {"libunzeng.so", "UnzEngExec", "GetUnzEngVersion", "GetUnzEngPrivVersion"},
};

constexpr int kFailedToLoad = 10650;
constexpr int kOldOrCorrupt = 10651;
constexpr int kLoaded = 10652;
constexpr int kUnloaded = 10653;

}  // namespace

TZipLibLoader::TZipLibLoader(TZipBase& owner, TKind kind) : owner_(owner), kind_(kind) {}

TZipLibLoader::~TZipLibLoader() { library_.Close(); }

const char* TZipLibLoader::FileName() const { return kNames[kind_].File; }

std::string TZipLibLoader::LibraryPath() const {
    const std::string& folder = owner_.DLLDirectory;
    if (folder.empty()) return FileName();
    std::string path = platform::IncludeTrailingDelimiter(folder) + FileName();
    if (folder[0] == '.') path = platform::ProgramDirectory() + path;
    return platform::FileExists(path) ? path : std::string(FileName());
}

void TZipLibLoader::Reset() {
    exec_ = get_version_ = get_priv_version_ = nullptr;
    version_ = priv_version_ = 0;
    path_.clear();
}

void TZipLibLoader::Load() {
    const TBusyScope busy(owner_);
    Reset();
    const std::string path = LibraryPath();
    if (!library_.Open(path)) {
        Reset();
        throw EZipManager(kFailedToLoad, std::vector<TZipMessageArg>{path});
    }
    const TEntryNames& names = kNames[kind_];
    exec_ = library_.Symbol(names.Exec);
    get_version_ = library_.Symbol(names.Version);
    get_priv_version_ = library_.Symbol(names.PrivVersion);
    path_ = library_.FullPath();
    if (path_.empty()) path_ = path;
    if (exec_ != nullptr && get_version_ != nullptr) {
        version_ = reinterpret_cast<ZipEngVersionFn>(get_version_)();
        if (get_priv_version_ != nullptr) priv_version_ = reinterpret_cast<ZipEngVersionFn>(get_priv_version_)();
    }
    if (version_ < kMinVersion || version_ > kMaxVersion) {
        const std::string loaded = path_;
        library_.Close();
        Reset();
        throw EZipManager(kOldOrCorrupt, std::vector<TZipMessageArg>{loaded});
    }
    if (owner_.Verbose) owner_.Diagnostic(ZipMessageText(kLoaded) + path_);
}

void TZipLibLoader::Unload() {
    if (owner_.Verbose) owner_.Diagnostic(ZipMessageText(kUnloaded) + path_);
    library_.Close();
    Reset();
}

void TZipLibLoader::AddReason(TReason reason) {
    if (!Loaded()) Load();
    reasons_ |= reason;
}

void TZipLibLoader::DropReason(TReason reason) {
    reasons_ &= ~static_cast<unsigned>(reason);
    if (reasons_ == 0 && Loaded()) Unload();
}

void TZipLibLoader::SetKeepLoaded(bool keep) {
    if (keep)
        AddReason(lrKeepLoaded);
    else
        DropReason(lrKeepLoaded);
}

void TZipLibLoader::LoadForOperation(int required_version) {
    AddReason(lrOperation);
    if (version_ >= required_version) return;
    const std::string path = path_;
    reasons_ = 0;
    Unload();
    throw EZipManager(kOldOrCorrupt, std::vector<TZipMessageArg>{path});
}

void TZipLibLoader::Abort() {
    if (!Loaded() || exec_ == nullptr) return;
    if (kind_ == lkZip)
        reinterpret_cast<ZipEngExecFn>(exec_)(nullptr);
    else
        reinterpret_cast<UnzEngExecFn>(exec_)(nullptr);
}

int TZipLibLoader::RunJob(void* record) {
    AddReason(lrCall);
    const int result = kind_ == lkZip ? reinterpret_cast<ZipEngExecFn>(exec_)(static_cast<ZipCommand*>(record))
                                      : reinterpret_cast<UnzEngExecFn>(exec_)(static_cast<UnzipCommand*>(record));
    DropReason(lrCall);
    return MapResult(result);
}

int TZipLibLoader::MapResult(int result) {
    switch (result) {
        case -1:
        case -2: throw EZipManager(10118);
        case -3: throw EZipManager(10119);
        case -4: throw EZipManager(10120);
        case -5: throw EZipManager(10121);
        case -6: throw EZipManager(10122);
        case -8: throw EZipManager(10123);
        default: break;
    }
    if (result < 0) throw EZipManager(10124, std::vector<TZipMessageArg>{std::int64_t{result}});
    return result;
}

}  // namespace kv
