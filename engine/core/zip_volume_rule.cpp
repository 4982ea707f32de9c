#include "engine/core/zip_volume_rule.h"

#include <cctype>
#include <string>

namespace kv {

TArcType ZipVolumeType(const platform::DriveInfo& drive) {
    if (!drive.Valid) return atNA;
    if (!drive.Removable) return atZipMV;
    std::string first_word = drive.VolumeLabel.substr(0, drive.VolumeLabel.find(' '));
    for (char& c : first_word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return first_word == "PKBACK#" ? atZipDS : atZipMV;
}

}  // namespace kv
