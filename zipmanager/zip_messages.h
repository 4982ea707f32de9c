#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kv {

// Message identifiers of the ZIP manager used by name in the code.
namespace zmsg {
inline constexpr int kOutOfMemory = 10103;
inline constexpr int kExceptionInEvent = 10113;
inline constexpr int kSeekErrorReadingZip = 10201;
inline constexpr int kUnknownListError = 10202;
inline constexpr int kZipStructureWarning = 10203;
inline constexpr int kGarbageAtEnd = 10204;
inline constexpr int kInputFileMissing = 11001;
inline constexpr int kZipNotOpened = 11002;
inline constexpr int kUserCanceled = 11007;
inline constexpr int kSeekErrorInput = 11008;
inline constexpr int kWriteErrorOutput = 11010;
inline constexpr int kEndRecordReadError = 11011;
inline constexpr int kCentralHeaderReadError = 11013;
inline constexpr int kCentralSignatureWrong = 11015;
inline constexpr int kCentralNameReadError = 11017;
inline constexpr int kFileCommentReadError = 11022;
inline constexpr int kUnattendedSpanning = 11025;
inline constexpr int kEndRecordWriteError = 11030;
inline constexpr int kInsertLastDisk = 11033;
inline constexpr int kInsertDiskOf = 11034;
inline constexpr int kInDrive = 11035;
inline constexpr int kNotValidZip = 11036;
inline constexpr int kFirstDiskOfSet = 11037;
inline constexpr int kNthDiskOfSet = 11038;
inline constexpr int kFirstFileOfSet = 11045;
inline constexpr int kFileLargerThan4GB = 11051;
inline constexpr int kStepBase = 11400;
inline constexpr int kLoadingDirectory = 11409;
inline constexpr int kGetNewDiskTrace = 11602;
}  // namespace zmsg

// The one process-wide message-lookup handler: called with an id and an empty string; a non-empty result
// is the text. Assigning replaces the handler of every ZIP manager.
using TZipStrEvent = std::function<void(int Ident, std::string& DefStr)>;
void SetZipStrHandler(TZipStrEvent handler);

// The text of a message: the handler's answer, else the built-in table; empty when neither has one.
std::string ZipMessageText(int id);
// The text an error report shows when an id has no text anywhere.
std::string MissingZipMessageText(int id);

// Fills the "%d", "%.1d", "%s" and "%%" of a message with `args` in order. Texts may come from a language
// handler, so a mismatched or unknown conversion is copied as it stands instead of trusted.
using TZipMessageArg = std::variant<std::int64_t, std::string>;
std::string FormatZipMessage(std::string_view text, const std::vector<TZipMessageArg>& args);

}  // namespace kv
