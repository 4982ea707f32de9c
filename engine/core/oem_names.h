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
// iconv's name for a code page as the user may give it ("866" means "CP866").
std::string IconvCodePageName(std::string_view codePage);

// Strictly formed UTF-8: no overlong forms, surrogates, stray continuation bytes or values past U+10FFFF.
bool IsValidUtf8(std::string_view text);

// What the archive tells about the bytes of a stored name.
enum class TNameOrigin {
    noUnicode,  // declared UTF-8 (ZIP flag or Unicode-path field, pax path, a UTF-8 flag of the format)
    noDos,      // written on MS-DOS, OS/2 or Windows: the OEM code page
    noOther,    // written elsewhere (Unix, macOS, TAR): UTF-8 when the bytes are valid UTF-8, else OEM
};

// Stored name bytes to UTF-8 text. A declared UTF-8 name is taken as UTF-8; otherwise a code page the
// user chose for the archive (`chosenCodePage`, empty for none) decides; otherwise the origin does, with
// `oemCodePage` as the OEM code page (empty: the program's). Whatever cannot be decoded becomes "%" and
// two hex digits per byte, so no entry is lost or merged.
std::string DecodeStoredName(std::string_view stored, TNameOrigin origin, std::string_view chosenCodePage = {},
                             std::string_view oemCodePage = {});

// A name as stored in an archive to the program's form: decoded as DecodeStoredName says when
// `translateOem` is set (else the bytes are taken as they are), then "/" and "\" become the path delimiter.
std::string ConvertStoredName(std::string_view stored, bool translateOem, TNameOrigin origin = TNameOrigin::noDos,
                              std::string_view chosenCodePage = {});
// The reverse for writers: the path delimiter (and "\") becomes "/", then UTF-8 to OEM when `translateOem`
// is set and the archive does not flag the name as UTF-8.
std::string ConvertNameForStore(std::string_view name, bool translateOem, bool storeAsUtf8 = false);

}  // namespace kv
