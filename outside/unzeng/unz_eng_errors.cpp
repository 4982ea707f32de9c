#include "outside/unzeng/unz_eng_errors.h"

#include "engine/core/error_codes.h"

namespace kv {

ZipEngError ZipEngErrorOf(int engine_code) {
    switch (engine_code) {
        case ecode::kInvalidPassword: return zePassword;
        case ecode::kUnsupportedMethod:
        case ecode::kUnsupportedPasswordEncryption: return zeMethod;
        case ecode::kBadFileHeader:
        case ecode::kBadOffsetToLocalHeader:
        case ecode::kOverlappedEntries:
        case ecode::kDecompressionError: return zeFormat;
        case ecode::kFileFailsCrcCheck: return zeCrc;
        case ecode::kFileNotFound:
        case ecode::kErrorOpeningFile: return zeOpen;
        case ecode::kErrorReadingFile:
        case ecode::kSeekError: return zeRead;
        case ecode::kErrorCreatingFile:
        case ecode::kInvalidFileName:
        case ecode::kInvalidDirectory:
        case ecode::kDirectoryWriteProtected: return zeCreate;
        case ecode::kDiskFull:
        case ecode::kErrorWritingToFile:
        case ecode::kErrorClosingFile: return zeWrite;
        case ecode::kOutOfMemory: return zeMemory;
        case ecode::kUserCanceled: return zeAbort;
        default: return zeLogic;
    }
}

TUnzSkipReason SkipReasonOf(int engine_code) {
    switch (engine_code) {
        case ecode::kInvalidPassword: return srBadPassword;
        case ecode::kUnsupportedPasswordEncryption: return srNoEncryption;
        case ecode::kUnsupportedMethod: return srCompressionUnknown;
        case ecode::kBadFileHeader:
        case ecode::kBadOffsetToLocalHeader:
        case ecode::kOverlappedEntries: return srZipFileFormatWrong;
        default: return srGeneralExtractError;
    }
}

bool IsSelectionError(int engine_code) {
    return engine_code == ecode::kUnsupportedPasswordEncryption || engine_code == ecode::kBadOffsetToLocalHeader ||
           engine_code == ecode::kOverlappedEntries;
}

}  // namespace kv
