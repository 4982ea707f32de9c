// The UUE and Base64 walk: the name of the one encoded file, from a "begin" line or a MIME
// Content-Disposition line near the start of the text.
#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/method_names.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/list_walks.h"
#include "engine/readers/single_file_entry.h"
#include "platform/file_attributes_linux.h"

namespace kv {
namespace {

constexpr std::int64_t kSearchSize = 32 * 1024;
constexpr std::size_t kMaxName = 255;
constexpr std::string_view kBase64Header = "Content-Transfer-Encoding: Base64";
constexpr std::string_view kDisposition = "Content-Disposition: attachment; filename=\"";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

// The line at `at`, without its line end.
std::string_view LineAt(std::string_view text, std::size_t at) {
    std::string_view line = text.substr(at, text.find('\n', at) - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// "begin 644 name": the rest of the line behind the mode field.
std::optional<std::string> BeginLineName(std::string_view line) {
    if (!StartsWithNoCase(line, "begin 6") && !StartsWithNoCase(line, "begin 7")) return std::nullopt;
    line.remove_prefix(6);
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    const std::string_view name = line.substr(blank + 1, kMaxName);
    if (name.empty()) return std::nullopt;
    return std::string(name);
}

// A Base64 MIME part whose next line names its attachment.
std::optional<std::string> MimeName(std::string_view text, std::size_t at) {
    if (!StartsWithNoCase(LineAt(text, at), kBase64Header)) return std::nullopt;
    const std::size_t next = text.find('\n', at);
    if (next == std::string_view::npos) return std::nullopt;
    std::string_view line = LineAt(text, next + 1);
    if (!StartsWithNoCase(line, kDisposition)) return std::nullopt;
    line.remove_prefix(kDisposition.size());
    const std::string_view name = line.substr(0, std::min(line.find('"'), kMaxName));
    if (name.empty()) return std::nullopt;
    return std::string(name);
}

std::optional<std::string> FindEncodedName(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        if (auto name = BeginLineName(LineAt(text, at))) return name;
        if (auto name = MimeName(text, at)) return name;
        const std::size_t next = text.find('\n', at);
        if (next == std::string_view::npos) break;
        at = next + 1;
    }
    return std::nullopt;
}

}  // namespace

void ListUue(TArcLister& lister) {
    std::string text(static_cast<std::size_t>(std::min(lister.ArchiveSize(), kSearchSize)), '\0');
    if (!lister.ReadExact(0, text.data(), static_cast<std::int64_t>(text.size()))) return;
    const auto name = FindEncodedName(text);
    if (!name) return;

    TEntryRecord record = ArchiveFileRecord(lister);
    record.FileName = lister.ConvertName(*name);
    record.PackedSize = record.UnpackedSize = lister.ArchiveSize();
    record.ExternalAttr = platform::kFaArchive;
    record.CompressMethodName = GetCompressMethodName(lister.ArcType(), 0, 0, record.ExternalAttr);
    lister.OfferEntry(std::move(record), 0, TListedKind::lkFile);
}

}  // namespace kv
