#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/zip_common.h"

namespace kv {

// What a writer's run does with the files and entries it is given.
enum TSwitch { swAdd, swRefresh, swMove, swDelete, swRead };

// The compression framework: the writers' events and the hooks each format fills in.
class TCustomCClass : public TZipCommon {
public:
    TOnBegin OnBegin;
    TOnEnd OnEnd;
    TOnFileExists OnFileExists;
    TOnExcludeFile OnExcludeFile;
    TOnRecurseDir OnRecurseDir;
    TOnDeleteFile OnDeleteFile;
    TOnReplaceFile OnReplaceFile;
    TOnRenameDupeFile OnRenameDupeFile;
    TOnNonWriteableArchive OnNonWriteableArchive;
    TOnRead OnRead;
    TOnInsertDisk OnInsertDisk;
    TOnClearDisk OnClearDisk;
    TOnRemoveTempfile OnRemoveTempfile;
    TTempFileMoveBegin OnTmpFileMoveBegin;
    TNotifyEvent OnTmpFileMoveEnd;
    TOnProgress OnTmpFileProgress;
};

// The writers' base: one compression run per call.
class TCompBase : public TCustomCClass {
public:
    TSwitch Switch = swAdd;
    bool StoreEmptySubDirs = false;
    TDeflateType DeflateType = dtDeflateN;

    TCompressMethod CompressMethod() const { return compress_method_; }
    // A method the writer does not take is ignored and the previous one kept.
    virtual void SetCompressMethod(TCompressMethod value) = 0;

    // Runs the compression run; returns the number of entries processed.
    virtual int Compress() = 0;

protected:
    TCompressMethod compress_method_ = cmStore;
};

}  // namespace kv
