#pragma once

#include <cstdint>

#include "engine/core/enum_set.h"

namespace kv {

enum TArcFileAttribute : std::uint8_t {
    fsZeroAttr, fsReadOnly, fsHidden, fsSysFile, fsVolumeID, fsDirectory, fsArchive, fsCompressed, fsEncrypted,
};

// A set of TArcFileAttribute (bit n stands for the n-th value).
using TArcFileAttributes = TEnumSet<TArcFileAttribute, std::uint16_t>;

enum TDateAttribute { daFileDate, daSysDate, daMaxFileDate };
enum TStoredDirNames {
    sdNone, sdAbsolute, sdAbsoluteNoDrv, sdAbsoluteNoRoot, sdRelative, sdRelativeStoreStart, sdExplorer_Auto,
    sdExplorer_UserDefineDefaultDir,
};
enum TCompressMethod {
    cmStore, cmDeflate, cmFuse, cmFrozen5, cmFrozen6, cmMsZip, cmLzx, cmQuantum, cmUUEncode, cmXXEncode, cmBase64,
    cmTarred, cmTarGzip, cmBZip2, cmXz, cmZstd, cmTarXz, cmTarZstd,
};
enum TEncryptionMethod {
    emAes1_128, emAes1_192, emAes1_256, emAes2_128, emAes2_192, emAes2_256, emZip_V2, emPkAes1_128, emPkAes1_192,
    emPkAes1_256, emPkAes2_128, emPkAes2_192, emPkAes2_256, emNone, emUnsupported,
};
enum TDeflateType { dtDeflateS, dtDeflateF, dtDeflateN, dtDeflateX };
enum TNextVolumeName { nvChangeFilename, nvChangeExt };
enum TCpuType { cptAuto, cpt80286, cpt80386, cpt80486 };
// Where the writers build a new archive.
enum TCompressionMethod { cmTempFile, cmInMemory };
enum TDeleteOptions { doFinal, doAllowUndo };

}  // namespace kv
