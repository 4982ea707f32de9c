#include "engine/core/error_codes.h"

#include <algorithm>

namespace kv {
namespace {

struct CodeText {
    int code;
    std::string_view text;
};

// Sorted by code.
constexpr CodeText kStringTable[] = {
    {25101, "64 bit header"},
    {25102, "32 bit header"},
    {25103, "Error loading unacev2.dll..."},
    {25104, "Unable to read archive file list"},
    {25106, "File is read-only"},
    {25107, "File is hidden"},
    {25108, "File is a SysFile"},
    {25110, "File is a directory"},
    {25112, "File is a VolumeID"},
    {25113, "Invalid file attribute"},
    {25114, "Bad file header"},
    {25115, "Bad offset to local header"},
    {25116, "Bad block"},
    {25117, "Invalid zip file with overlapped components (possible zip bomb)"},
    {25120, "Bad Huffman code"},
    {25121, "Invalid code encountered"},
    {25122, "Invalid comment header"},
    {25123, "No BEGIN line"},
    {25134, "Incorrect number of bits"},
    {25135, "Broken multi-volume chain"},
    {25136, "Error writing to file"},
    {25137, "Unsupported file attrib for overwrite"},
    {25140, "Cabinets in the set do not have the same reserved space"},
    {25142, "Error closing file"},
    {25144, "Incomplete code set"},
    {25145, "Corrupt input"},
    {25150, "Error creating dir"},
    {25151, "File fails CRC check"},
    {25152, "File contains invalid decode tree"},
    {25153, "Decompression error"},
    {25154, "Error writing spanned-disk label"},
    {25155, "Disks contains neither label nor serial numbers to compare"},
    {25156, "Not enough disk space"},
    {25157, "Unable to create directory"},
    {25158, "Invalid directory"},
    {25159, "Invalid directory... defaulting to current"},
    {25160, "Disk full"},
    {25170, "is not accessible"},
    {25171, "directory is write protected"},
    {25172, "disk is write protected"},
    {25173, "EOF not found"},
    {25176, "Unexpected end of file"},
    {25177, "Unexpected end of line"},
    {25178, "EOL not found"},
    {25179, "EOF not found"},
    {25180, "Error deleting file(s)"},
    {25190, "Command exec failed"},
    {25191, "Same input and output file-names"},
    {25192, "File not found"},
    {25193, "File size different"},
    {25194, "FileSize exceeds OS's support"},
    {25230, "Warning, unknown flags"},
    {25235, "Error opening file"},
    {25236, "Error reading file or unexpected end of file"},
    {25237, "Error creating file"},
    {25238, "Header CRC error"},
    {25239, "Header ID error"},
    {25240, "Unexpected line break"},
    {25241, "Line found before 'BEGIN'"},
    {25242, "Skipped illegal char"},
    {25243, "Index out of bounds"},
    {25244, "Invalid or unsupported archive type for this operation"},
    {25245, "Invalid file name"},
    {25246, "Invalid length in send_bits"},
    {25247, "Inconsistent bit counts - gencodes"},
    {25248, "Bad lengths"},
    {25249, "Inconsistant local header"},
    {25250, "Insufficient lookahead"},
    {25251, "Maximum volumes 999"},
    {25253, "Out of memory"},
    {25254, "Out of memory while expanding memory stream"},
    {25255, "Uninitialized TMemoryStream object"},
    {25256, "Max file size exceeded"},
    {25258, "Uninitialized TFileStream object"},
    {25259, "Header not found. File may be corrupt"},
    {25260, "Unrar?.dll not found"},
    {25261, "Cabinet.dll not found"},
    {25262, "Ace.dll or Unace?.dll not found"},
    {25264, "Multi-Part GZIP files not supported"},
    {25265, "Too many nested dirs"},
    {25266, "Nothing to decode"},
    {25267, "Password not assigned"},
    {25268, "Nothing to do"},
    {25270, "Required event not assigned"},
    {25271, "Required property not assigned"},
    {25280, "Open quote, but no close quote"},
    {25281, "Open paran, but no close paran"},
    {25290, "Password protected"},
    {25293, "Seek error"},
    {25294, "Ambiguous Shannon-Fano decode tree encountered"},
    {25295, "No desktop folder"},
    {25296, "Error getting SHGetSpecialFolderLocation"},
    {25297, "Error getting Shell memory allocator"},
    {25298, "Size to small"},
    {25299, "FileSize not support for this format"},
    {25303, "Illegal text for search mode"},
    {25305, "Stack overflow"},
    {25310, "Stream read/write error"},
    {25324, "Streaming not supported with this archive type"},
    {25325, "Hardware does not support high performance timing"},
    {25326, "Unsupported compression method"},
    {25327, "Unsupported password encryption"},
    {25328, "Unknown file type"},
    {25329, "Unsupported version"},
    {25350, "Error updating archive"},
    {25355, "Unknown error"},
    {25402, "Version error"},
    {25443, "User canceled"},
    {25446, "Volume is out of sequence"},
    {25450, "Requires Win32 api"},
    {25901, "Extraction of this cabinet requires first disk of set"},
    {25902, "Previous volume in set"},
    {25903, "Next volume in set"},
    {25904, "Cabinet does not belong with this set"},
    {25905, "Insert FIRST diskette of this archive set"},
    {25906, "Insert LAST disk of this archive set"},
    {26517, "Invalid password"},
    {26522, "Password failed"},
    {26800, "Skipped File"},
    {26859, "Nothing to do"},
    {26899, "Directory does not exist... Create?"},
};

}  // namespace

std::string_view LoadStr(int code) {
    const auto* it = std::lower_bound(std::begin(kStringTable), std::end(kStringTable), code,
                                      [](const CodeText& entry, int value) { return entry.code < value; });
    if (it == std::end(kStringTable) || it->code != code) return {};
    return it->text;
}

std::string ErrorText(int code, std::string_view extended) {
    std::string text(LoadStr(code));
    if (!extended.empty()) text.append(" (").append(extended).append(")");
    return text;
}

}  // namespace kv
