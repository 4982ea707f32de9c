#include "engine/writers/format_capabilities.h"

#include <algorithm>

#include "engine/core/formats.h"
#include "engine/core/packed_tar_types.h"
#include "engine/readers/format_readers.h"
#include "engine/writers/format_writers.h"

namespace kv {

TFormatCapabilities CapabilitiesOfFormat(TArcType type) {
    const TFormat& format = FormatOf(type);
    const TFormatReading& reading = ReadingOf(type);
    // The ZIP manager extracts and changes the ZIP types it is named for, through the engine libraries.
    const bool zip_manager = format.Has(ftZipManager);
    const bool reads = reading.Reader != nullptr || zip_manager;
    TFormatCapabilities caps;
    caps.List = reading.Walk != nullptr;
    caps.Extract = format.Has(ftDecompressable) && reads;
    caps.Test = format.Has(ftTestable) && reads;
    const bool writes = WritingOf(type).Writer != nullptr || zip_manager;
    caps.Add = writes && (format.Has(ftCompressable) || format.Has(ftWrittenOnly));
    caps.Delete = caps.Add;
    caps.SelfExtracting = format.Has(ftSelfExtracting);
    caps.Volumes = format.Volumes.Letter != 0 || format.Has(ftSpannable);
    caps.Encrypt = caps.Add && format.Has(ftCipherCapable);
    return caps;
}

std::vector<std::string_view> OpenableExtensions() {
    std::vector<std::string_view> extensions;
    // A packed TAR's file is detected, and listed, as its compressor's.
    for (const TFormat& format : Formats())
        if (CapabilitiesOfFormat(PackedFileTypeOf(format.Type)).List)
            extensions.insert(extensions.end(), format.Extensions.begin(), format.Extensions.end());
    return extensions;
}

std::vector<std::string> MethodNamesOf(TArcType type) {
    std::vector<std::string> names;
    for (const TMethodName& method : FormatOf(type).Methods) {
        const std::string name(method.Name);
        if (name != "<Dir>" && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

}  // namespace kv
