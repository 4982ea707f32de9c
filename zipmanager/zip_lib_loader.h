#pragma once

#include <cstdint>
#include <string>

#include "outside/zip_engine_records.h"
#include "platform/dynamic_library.h"

namespace kv {

class TZipBase;

// One engine library: where it is found, its version, and why it is loaded. It stays loaded while any
// reason holds (a job call, an operation, an explicit keep) and is unloaded when the last one drops.
class TZipLibLoader {
public:
    enum TKind { lkZip, lkUnzip };
    enum TReason : unsigned { lrCall = 1, lrOperation = 2, lrKeepLoaded = 4 };
    static constexpr int kMinVersion = 153;
    static constexpr int kMaxVersion = 300;

    TZipLibLoader(TZipBase& owner, TKind kind);
    TZipLibLoader(const TZipLibLoader&) = delete;
    TZipLibLoader& operator=(const TZipLibLoader&) = delete;
    virtual ~TZipLibLoader();

    // Loads for an operation and checks the version the operation needs: a library that is too old is
    // unloaded again and 10651 raised; a library that cannot be loaded raises 10650.
    void LoadForOperation(int required_version);
    // Drops the operation reason.
    void ReleaseOperation() { DropReason(lrOperation); }
    void SetKeepLoaded(bool keep);

    // Asks a running job to stop (the job entry point with a null record); nothing when not loaded.
    void Abort();

    bool Loaded() const { return library_.IsOpen(); }
    int Version() const { return version_; }
    int PrivVersion() const { return priv_version_; }
    const std::string& Path() const { return path_; }
    // The library's file name and entry-point names.
    const char* FileName() const;

    // A negative job result as the error it stands for (raised); others are returned.
    static int MapResult(int result);

protected:
    // Holds the call reason while the job entry point runs `record`; the mapped result.
    int RunJob(void* record);

private:
    void AddReason(TReason reason);
    void DropReason(TReason reason);
    // Where the library is looked for: DLLDirectory (against the program's folder when it begins with
    // "."), else the bare name for the system's search.
    std::string LibraryPath() const;
    void Load();
    void Unload();
    void Reset();

    TZipBase& owner_;
    TKind kind_;
    platform::TDynamicLibrary library_;
    void* exec_ = nullptr;
    void* get_version_ = nullptr;
    void* get_priv_version_ = nullptr;
    int version_ = 0;
    int priv_version_ = 0;
    std::string path_;
    unsigned reasons_ = 0;
};

// libzipeng.so: add, freshen, update, move and delete jobs.
class TZipEng : public TZipLibLoader {
public:
    explicit TZipEng(TZipBase& owner) : TZipLibLoader(owner, lkZip) {}
    int Exec(ZipCommand& command) { return RunJob(&command); }
};

// libunzeng.so: extract and test jobs.
class TUnzEng : public TZipLibLoader {
public:
    explicit TUnzEng(TZipBase& owner) : TZipLibLoader(owner, lkUnzip) {}
    int Exec(UnzipCommand& command) { return RunJob(&command); }
};

}  // namespace kv
