#pragma once

#include <cstdint>

#include "engine/core/enum_set.h"

namespace kv {

// The ZIP manager's enumerations, in their documented order (set bit n stands for value n).
enum ProgressType { NewFile, ProgressUpdate, EndOfBatch, TotalFiles2Process, TotalSize2Process, NewExtra, ExtraUpdate };
enum TPasswordButton { pwbOk, pwbCancel, pwbCancelAll, pwbAbort };

enum AddOptsEnum {
    AddDirNames, AddRecurseDirs, AddMove, AddFreshen, AddUpdate, AddZipTime, AddForceDOS, AddHiddenFiles,
    AddArchiveOnly, AddResetArchive, AddEncrypt, AddSeparateDirs, AddVolume, AddFromDate, AddSafe, AddForceDest,
    AddDiskSpan, AddDiskSpanErase,
    AddFollowLinks,  // ours: store what symbolic links lead to instead of the links
};
using AddOpts = TEnumSet<AddOptsEnum>;

enum SpanOptsEnum { spNoVolumeName, spCompatName, spWipeFiles, spTryFormat };
using SpanOpts = TEnumSet<SpanOptsEnum, std::uint8_t>;

enum AddStoreSuffixEnum {
    assGIF, assPNG, assZ, assZIP, assZOO, assARC, assLZH, assARJ, assTAZ, assTGZ, assLHA, assRAR, assACE, assCAB,
    assGZ, assGZIP, assJAR, assEXE, assEXT,
};
using AddStoreExts = TEnumSet<AddStoreSuffixEnum>;

// ExtrKeepSpecialBits: restored Unix permissions keep set-user-id, set-group-id and sticky.
enum ExtrOptsEnum { ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrUpdate, ExtrTest, ExtrForceDirs, ExtrKeepSpecialBits };
using ExtrOpts = TEnumSet<ExtrOptsEnum, std::uint8_t>;

enum CodePageOpts { cpAuto, cpNone, cpOEM };
enum DeleteOpts { htdFinal, htdAllowUndo };

enum UnZipSkipTypes {
    stOnFreshen, stNoOverwrite, stFileExists, stBadPassword, stNoEncryptionDLL, stCompressionUnknown,
    stUnknownZipHost, stZipFileFormatWrong, stGeneralExtractError,
};

enum ZipDiskStatusEnum { zdsEmpty, zdsHasFiles, zdsPreviousDisk, zdsSameFileName, zdsNotEnoughSpace };
using TZipDiskStatus = TEnumSet<ZipDiskStatusEnum, std::uint8_t>;
enum TZipDiskAction { zdaOk, zdaErase, zdaReject, zdaCancel };

// The default set of extensions stored without compression: GIF up to JAR.
inline AddStoreExts DefaultAddStoreSuffixes() {
    AddStoreExts set;
    for (int s = assGIF; s <= assJAR; ++s) set.Include(static_cast<AddStoreSuffixEnum>(s));
    return set;
}

}  // namespace kv
