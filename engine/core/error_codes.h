#pragma once

#include <string>
#include <string_view>

namespace kv {

// Engine error codes equal the string-table identifiers of their messages.
namespace ecode {
inline constexpr int kFileIsReadOnly = 25106;
inline constexpr int kBadFileHeader = 25114;
inline constexpr int kBadOffsetToLocalHeader = 25115;
inline constexpr int kOverlappedEntries = 25117;
inline constexpr int kBrokenMultiVolumeChain = 25135;
inline constexpr int kErrorWritingToFile = 25136;
inline constexpr int kErrorClosingFile = 25142;
inline constexpr int kFileFailsCrcCheck = 25151;
inline constexpr int kDecompressionError = 25153;
inline constexpr int kInvalidDirectory = 25158;
inline constexpr int kDiskFull = 25160;
inline constexpr int kNotAccessible = 25170;
inline constexpr int kDirectoryWriteProtected = 25171;
inline constexpr int kDiskWriteProtected = 25172;
inline constexpr int kErrorDeletingFiles = 25180;
inline constexpr int kFileNotFound = 25192;
inline constexpr int kErrorOpeningFile = 25235;
inline constexpr int kErrorReadingFile = 25236;
inline constexpr int kErrorCreatingFile = 25237;
inline constexpr int kUnsupportedArcTypeOperation = 25244;
inline constexpr int kInvalidFileName = 25245;
inline constexpr int kMaximumVolumes = 25251;
inline constexpr int kOutOfMemory = 25253;
inline constexpr int kOutOfMemoryExpandingStream = 25254;
inline constexpr int kHeaderNotFound = 25259;
inline constexpr int kMultiPartGzip = 25264;
inline constexpr int kNothingToDo = 25268;
inline constexpr int kRequiredEventNotAssigned = 25270;
inline constexpr int kRequiredPropertyNotAssigned = 25271;
inline constexpr int kPasswordProtected = 25290;
inline constexpr int kSeekError = 25293;
inline constexpr int kStreamReadWriteError = 25310;
inline constexpr int kErrorUpdatingArchive = 25350;
inline constexpr int kUnsupportedMethod = 25326;
inline constexpr int kUnsupportedPasswordEncryption = 25327;
inline constexpr int kUnknownFileType = 25328;
inline constexpr int kUnknownError = 25355;
inline constexpr int kUserCanceled = 25443;
inline constexpr int kInvalidPassword = 26517;
inline constexpr int kNothingToDoArchive = 26859;
inline constexpr int kDirectoryDoesNotExistCreate = 26899;
}  // namespace ecode

// The English text of an engine error code; an unknown code yields an empty view.
std::string_view LoadStr(int code);
// The text of an error as an error event reports it: the code's text, then its extended detail in
// parentheses when there is one.
std::string ErrorText(int code, std::string_view extended);

}  // namespace kv
