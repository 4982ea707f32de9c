#include "facade/nested_tar.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "engine/readers/reader_for_type.h"
#include "engine/readers/un_single_file.h"

namespace kv::facade {
namespace {

namespace fs = std::filesystem;

// The one file the extraction left in the folder.
std::optional<std::string> OnlyFileIn(const std::string& folder) {
    std::error_code error;
    std::optional<std::string> found;
    for (const fs::directory_entry& item : fs::directory_iterator(folder, error)) {
        if (!item.is_regular_file(error) || found) return std::nullopt;
        found = item.path().string();
    }
    return found;
}

}  // namespace

bool MayHoldTar(const TkvComp& comp) {
    if (comp.ArcType() != atGZip && comp.ArcType() != atBz2) return false;
    if (comp.Entries().size() != 1) return false;
    // The start of the decoded file tells, whatever the file is named.
    std::unique_ptr<TUnBase> reader = CreateReader(comp.ArcType());
    auto* single = dynamic_cast<TUnSingleFile*>(reader.get());
    if (single == nullptr) return false;
    single->SetArchiveFile(comp.ArcFilename());
    return single->HoldsTar();
}

bool OpenNestedTar(TkvComp& comp, const std::string& temp_folder) {
    if (temp_folder.empty() || !MayHoldTar(comp)) return false;
    bool failed = false;
    const TkvCRCErrorEvent crc_error = comp.OnCRCError;
    const TkvMessageEvent message = comp.OnMessage;
    // The owner hears everything; a failure of the outer layer also means its TAR is not opened.
    comp.OnCRCError = [&](TObject* sender, const std::string& name, std::uint32_t stored, std::uint32_t computed,
                          bool& cancel) {
        failed = true;
        if (crc_error) crc_error(sender, name, stored, computed, cancel);
    };
    comp.OnMessage = [&](TObject* sender, int code, const std::string& text) {
        failed = failed || code != 0;
        if (message) message(sender, code, text);
    };
    const TExtOpts options = comp.ExtOptions;
    const TActionMode mode = comp.ActionMode;
    const std::string folder = comp.ExtDir;
    const auto file_masks = comp.FileSpec;
    comp.ExtOptions = {eoOverWrite};
    comp.ActionMode = amCustom;
    // The only entry, whatever the reader names it (a listing names bsd.tgz's entry "bsd", extraction
    // "bsd.tar").
    comp.FileSpec = {"*.*"};
    comp.ExtDir = temp_folder;
    const bool unusable_folder = comp.Extract();
    comp.OnCRCError = crc_error;
    comp.OnMessage = message;
    comp.ExtOptions = options;
    comp.ActionMode = mode;
    comp.ExtDir = folder;
    comp.FileSpec = file_masks;
    if (unusable_folder || failed) return false;
    const std::optional<std::string> tar = OnlyFileIn(temp_folder);
    return tar && comp.DetectArcType(*tar) == atTar && comp.Open(*tar);
}

}  // namespace kv::facade
