#include "zipmanager/zip_job.h"

#include <cctype>
#include <cstdio>

namespace kv {
namespace {

// In the order of AddStoreSuffixEnum, up to assEXE.
constexpr const char* kStoreExtensions[] = {"gif", "png", "z",   "zip", "zoo", "arc", "lzh", "arj",  "taz",
                                            "tgz", "lha", "rar", "ace", "cab", "gz",  "gzip", "jar", "exe"};

std::string_view Trim(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

TSpecLine ParseSpecLine(std::string_view line, std::int32_t encrypt, std::uint16_t recurse) {
    TSpecLine parsed;
    parsed.Encrypt = encrypt;
    parsed.Recurse = recurse;
    line = Trim(line);
    if (!line.empty() && (line.front() == '>' || line.front() == '|')) {
        parsed.Recurse = line.front() == '>' ? kRecurseWord : 0;
        line.remove_prefix(1);
    }
    // The first "<": a mask does not hold one, a password may.
    if (const std::size_t mark = line.find('<'); mark != std::string_view::npos) {
        const std::string_view password = line.substr(mark + 1);
        line = line.substr(0, mark);
        if (password.empty() || password.front() == ' ') {
            parsed.Encrypt = 0;
        } else {
            parsed.HasPassword = true;
            parsed.Password = std::string(password);
            parsed.Encrypt = 0xFFFF;
        }
    }
    parsed.FileSpec = std::string(Trim(line));
    return parsed;
}

std::string StoreSuffixList(AddStoreExts set, const std::string& extra) {
    std::string list;
    for (int member = assGIF; member <= assEXE; ++member)
        if (set.Has(static_cast<AddStoreSuffixEnum>(member))) list += std::string(".") + kStoreExtensions[member] + ":";
    if (set.Has(assEXT)) list += extra;
    if (!list.empty() && list.back() == ':') list.pop_back();
    return list;
}

std::string NormaliseStoreSuffixes(std::string_view text) {
    std::string normalised;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(",:;", start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view piece = text.substr(start, end - start);
        if (!piece.empty()) {
            if (piece.front() != '.') normalised += '.';
            normalised.append(piece);
            normalised += ':';
        }
        start = end + 1;
    }
    for (char& c : normalised) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return normalised;
}

std::string AddFromText(TDateTime date) {
    const TDateTimeParts parts = DecodeDateTime(date);
    char text[16];
    std::snprintf(text, sizeof text, "%02d %02d %02d", parts.Month, parts.Day, parts.Year % 100);
    return text;
}

std::int32_t AesStrengthOf(TEncryptionMethod method) {
    switch (method) {
        case emZip_V2: return zasClassic;
        case emAes1_128:
        case emAes2_128: return zasAes128;
        case emAes1_192:
        case emAes2_192: return zasAes192;
        case emAes1_256:
        case emAes2_256: return zasAes256;
        default: return -1;
    }
}

void TZipJobRecord::LinkTables() {
    Command.SpecCount = static_cast<std::int32_t>(Specs.size());
    Command.Specs = Specs.empty() ? nullptr : Specs.data();
    Command.ExcludeCount = static_cast<std::int32_t>(Excludes.size());
    Command.Excludes = Excludes.empty() ? nullptr : Excludes.data();
}

void TUnzipJobRecord::LinkTables() {
    Command.SpecCount = static_cast<std::int32_t>(Specs.size());
    Command.Specs = Specs.empty() ? nullptr : Specs.data();
}

}  // namespace kv
