#pragma once

#include <cstdint>

#include "engine/core/enum_set.h"

// The facade's own unit: its names (TSFXOptions, TProgressEvent, ...) are not the ZIP manager's.
namespace kv::facade {

enum TArcStatus { asReady, asExtracting, asCompressing, asDeleting };

enum TAddOptsEnum { aoRecurse, aoDirNames, aoSeparateDirs, aoEmptyDirs, aoFullPath, aoHidden, aoFormat83, aoSpan };
using TAddOpts = TEnumSet<TAddOptsEnum, std::uint8_t>;

// eoKeepSpecialBits: restored Unix permissions keep set-user-id, set-group-id and sticky.
enum TExtOptsEnum { eoDirNames, eoOverWrite, eoFreshen, eoUpdate, eoSilent, eoKeepSpecialBits };
using TExtOpts = TEnumSet<TExtOptsEnum, std::uint8_t>;

enum TActionMode { amAll, amSelected, amCustom };
enum TAddMode { amAdd, amMove, amFreshen, amUpdate };
enum TkvOverwriteMode { komNotSet, komCancel, komSkip, komOverwrite, komOverwriteAll, komSkipAll };
enum TCompressionFactor { cfNone, cfLight, cfNormal, cfFull };
enum TSizeFactor { sfByte, sfKByte, sfMByte, sfGByte, sfTByte };

enum TkvSFXOptsEnum {
    soDisplayCmdLine, soDisplayFileList, soAutorunIt, soCheckSize, soDisplayOverwriteBox, soSuccMessage,
};
using TkvSFXOpts = TEnumSet<TkvSFXOptsEnum, std::uint8_t>;
enum TkvSFXOverwriteMode { somAlways, somConfirm, somNever };

}  // namespace kv::facade
