#include "zipmanager/zip_messages.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <utility>

namespace kv {
namespace {

struct TMessageEntry {
    int Id;
    const char* Text;
};

// The built-in texts, sorted by id.
constexpr TMessageEntry kMessages[] = {
    {10101, "Fatal Error in ZipEng.dll: abort exception"},
    {10102, "Error - no zip file specified!"},
    {10103, "Requested memory not available"},
    {10104, "Error - passwords do NOT match\nPassword ignored"},
    {10105, "Copying: "},
    {10106, "Exception in Event handler "},
    {10110, "Index (%d) outside range 1..%d"},
    {10111, "Temporary zipfile: %s"},
    {10113, "Exception in Event "},
    {10118, "DLL Error - Aborting"},
    {10119, "DLL Error - Busy"},
    {10120, "DLL Error - User Cancelled"},
    {10121, "DLL Error - Not enough memory"},
    {10122, "DLL Error - Invalid structure"},
    {10123, "DLL Error - Exception in handler "},
    {10124, "critical DLL Error %d"},
    {10140, "Error while copying the SFX header"},
    {10141, "Rename is not implemented for a spanned zip file"},
    {10142, "Processing: "},
    {10143, " renamed to: "},
    {10144, "Invalid date/time argument for file: "},
    {10150, "Error - no add password given"},
    {10151, "Error - no extract password given"},
    {10152, "&Ok"},
    {10153, "&Cancel"},
    {10154, "Password"},
    {10155, "Enter Password "},
    {10156, "Confirm Password "},
    {10157, "Cancel all"},
    {10158, "Abort"},
    {10201, "Seek error reading Zip archive!"},
    {10202, "Unknown error in List() function\n"},
    {10203, "Warning - Error in zip structure!"},
    {10204, "Warning - Garbage at the end of the zipfile!"},
    {10301, "Error - no files to zip!"},
    {10302, "Unattended action not possible without a password"},
    {10303, "AddFreshen or AddUpdate not possible on a spanned archive"},
    {10304, "Error %.1d occurred during Auto SFX creation."},
    {10307, "Wildcards are not allowed in Filename or file specification"},
    {10308, "Destination directory '%s' must exist!"},
    {10309, "Writing a spanned zip file is not available yet"},
    {10401, "Error - no files selected for deletion"},
    {10402, "Delete Files from archive is not implemented for a spanned zip file"},
    {10501, "Fatal Error in UnzEng.dll: abort exception"},
    {10502, "Warning - Unattended Extract: possible not all files extracted"},
    {10504, "Extract directory '%s' must exist"},
    {10505, "Reading a spanned zip file is not available yet"},
    {10650, "Failed to load %s"},
    {10651, "Unable to load %s - It is old or corrupt"},
    {10652, "Loaded "},
    {10653, "Unloaded "},
    {10801, "Error - On or more of the 4 property strings mentioned below exceeds 255 characters!"},
    {10802, "Error - SFXSTUB.BIN not found!"},
    {10805, "SFX Message string exceeds 255 characters!"},
    {10806, "SFX Default path exceeds 255 characters!"},
    {10807, "SFX Dialog title exceeds 255 characters!"},
    {10808, "SFX Command line exceeds 255 characters!"},
    {10809, "SFX Fallback path exceeds 255 characters!"},
    {10902, "Error: input file is not an .EXE file"},
    {11001, "Input file does not exist"},
    {11002, "Zip file could not be opened"},
    {11003, "Not a valid drive: %s"},
    {11004, "Drive %s is NOT defined"},
    {11005, "Volume label could not be set"},
    {11007, "User canceled operation"},
    {11008, "Seek error in input file"},
    {11009, "Creation of output file failed"},
    {11010, "Write error in output file"},
    {11011, "Error while reading the End Of Central Directory"},
    {11012, "Error while reading a local header"},
    {11013, "Error while reading a central header"},
    {11014, "A local header signature is wrong"},
    {11015, "A central header signature is wrong"},
    {11016, "Error while reading a local file name"},
    {11017, "Error while reading a central file name"},
    {11018, "Error while reading a local extra field"},
    {11019, "Error while reading a central extra field"},
    {11020, "Error while reading/writing a data descriptor area"},
    {11021, "Error while reading zipped data"},
    {11022, "Error while reading a file comment"},
    {11023, "Error while reading the archive comment"},
    {11024, "UnKnown error in function ReadSpan(), WriteSpan(), ChangeFileDetails() or CopyZippedFiles()\n"},
    {11025, "Unattended disk spanning not implemented"},
    {11026, "A local header not found in internal structure"},
    {11027, "Temporary file could not be created"},
    {11028, "Error while writing a local header"},
    {11029, "Error while writing a central header"},
    {11030, "Error while writing the End Of Central Directory"},
    {11031, "Error while reading a Extended Local signature"},
    {11032, "This disk has not enough free space available"},
    {11033, "Please insert last disk"},
    {11034, "Please insert disk volume %.1d of %.1d"},
    {11035, "\nin drive: %s"},
    {11036, "This archive is not a valid Zip archive"},
    {11037, "This is the first disk in a backup set,\nplease insert the last disk of this set"},
    {11038, "This is the %dth disk in a backup set,\nplease insert the last disk of this set"},
    {11039, "There is already a file %s\nDo you want to overwrite this file"},
    {11040, "ATTENTION: This is previous disk no %d!!!\nAre you sure you want to overwrite the contents"},
    {11041, "Error - Self extracting archives(.exe) can not be spanned"},
    {11044, "Error while copying the zip archive comment"},
    {11045, "This is the first file in a backup set,\nplease choose the last file of this set"},
    {11046, "Please insert disk volume %.1d"},
    {11047, "Central directory"},
    {11050, "Last part left as : %s"},
    {11051, "File larger than 4GB"},
    {11101, "Erase "},
    {11102, "Confirm"},
    {11401, "*Resetting Archive bit"},
    {11402, "*Copying Zip File"},
    {11403, "*SFX"},
    {11404, "*??"},
    {11405, "*Finalising"},
    {11406, "*Copying"},
    {11407, "*Central Directory"},
    {11408, "*Checking"},
    {11409, "*Loading Directory"},
    {11600, "EraseFloppy - Removing %s"},
    {11601, "EraseFloppy - Deleting %s"},
    {11602, "Trace : GetNewDisk Opening: %s"},
};

constexpr bool IsSorted() {
    for (std::size_t i = 1; i < std::size(kMessages); ++i)
        if (kMessages[i - 1].Id >= kMessages[i].Id) return false;
    return true;
}
static_assert(IsSorted(), "the message table is searched by bisection");

std::mutex gHandlerMutex;
TZipStrEvent gHandler;

std::string_view BuiltInText(int id) {
    const auto* it = std::lower_bound(std::begin(kMessages), std::end(kMessages), id,
                                      [](const TMessageEntry& entry, int key) { return entry.Id < key; });
    return it != std::end(kMessages) && it->Id == id ? std::string_view(it->Text) : std::string_view();
}

// Appends `arg` for the conversion letter `kind`; false when the argument is of the other kind.
bool AppendArg(std::string& out, char kind, const TZipMessageArg& arg) {
    if (kind == 'd') {
        if (const auto* number = std::get_if<std::int64_t>(&arg)) {
            out += std::to_string(*number);
            return true;
        }
        return false;
    }
    if (const auto* text = std::get_if<std::string>(&arg)) {
        out += *text;
        return true;
    }
    return false;
}

}  // namespace

void SetZipStrHandler(TZipStrEvent handler) {
    const std::lock_guard lock(gHandlerMutex);
    gHandler = std::move(handler);
}

std::string ZipMessageText(int id) {
    TZipStrEvent handler;
    {
        const std::lock_guard lock(gHandlerMutex);
        handler = gHandler;
    }
    if (handler) {
        std::string text;
        handler(id, text);
        if (!text.empty()) return text;
    }
    return std::string(BuiltInText(id));
}

std::string MissingZipMessageText(int id) {
    return FormatZipMessage("ZipMsgXX.res is probably not linked to the executable\nMissing String ID is: %d ",
                            {std::int64_t{id}});
}

std::string FormatZipMessage(std::string_view text, const std::vector<TZipMessageArg>& args) {
    std::string out;
    out.reserve(text.size() + 16);
    std::size_t next_arg = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // "%d", "%s" and a precision such as "%.1d"; the precision of an integer only pads, and the
        // messages use 1, so it is dropped.
        std::size_t end = i + 1;
        if (end < text.size() && text[end] == '.') {
            ++end;
            while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
        }
        const char kind = end < text.size() ? text[end] : '\0';
        if ((kind == 'd' || kind == 's') && next_arg < args.size() && AppendArg(out, kind, args[next_arg])) {
            ++next_arg;
            i = end;
            continue;
        }
        out += '%';
    }
    return out;
}

}  // namespace kv
