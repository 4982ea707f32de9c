#pragma once

#include <string>
#include <string_view>

namespace kv {

// The OEM code page of stored names, as iconv names it ("CP437" until changed). A bare number ("866")
// means "CP866". Returns false, keeping the current one, when iconv does not know the code page.
bool SetOemCodePage(std::string_view codePage);
std::string OemCodePage();

// OEM bytes to UTF-8. A byte the code page cannot decode becomes "%" and two hex digits, so names that
// differ there stay different.
std::string OemToUtf8(std::string_view oem);
// UTF-8 to OEM bytes. A character the code page lacks, and a byte that is not valid UTF-8, becomes "_".
std::string Utf8ToOem(std::string_view utf8);
// The same with a code page of the caller's (named as SetOemCodePage takes it); an unknown one leaves the
// text unchanged.
std::string OemToUtf8(std::string_view oem, std::string_view codePage);
std::string Utf8ToOem(std::string_view utf8, std::string_view codePage);
// Whether iconv converts between `codePage` and UTF-8 both ways.
bool IsKnownCodePage(std::string_view codePage);

// A name as stored in an archive to the program's form: OEM to UTF-8 when `translateOem` is set and the
// name is not flagged as UTF-8 (such names are taken as they are), then "/" and "\" become the path delimiter.
std::string ConvertStoredName(std::string_view stored, bool translateOem, bool storedAsUtf8 = false);
// The reverse for writers: the path delimiter (and "\") becomes "/", then UTF-8 to OEM when `translateOem`
// is set and the archive does not flag the name as UTF-8.
std::string ConvertNameForStore(std::string_view name, bool translateOem, bool storeAsUtf8 = false);

}  // namespace kv
