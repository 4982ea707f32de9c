#pragma once

// The interface between the ZIP manager and its two engine libraries (libzipeng.so adds, freshens, updates,
// moves and deletes; libunzeng.so extracts and tests): the job records, the callback record and the codes
// both sides use. The records keep the documented field order and meaning in the natural 64-bit layout;
// "flag" fields hold -1 for true and 0 for false; strings belong to the caller and live for the call.

#include <cstdint>

extern "C" {

struct ZipCallbackRecord;
// Answers one request of a running job; a non-zero result tells the library to stop.
using ZipEngCallback = std::int32_t (*)(ZipCallbackRecord* record);

// One line of the files to add (or, for a delete job, the entry names to delete).
struct ZipSpecEntry {
    const char* FileSpec;      // the file pattern (a name or a mask), or null
    std::int32_t Reserved1[2];
    const char* Password;      // for the files of this line, or null for the job's password
    std::int32_t Encrypt;      // -1 / 0xFFFF: encrypt this line's files; 0: store them unencrypted
    std::uint16_t Recurse;     // 0xFFFF: recurse into subdirectories; 0: not
    std::uint8_t Reserved2[14];
    const void* Reserved3;
    std::uint8_t Reserved4[64];
};

// Our additions live in fields the documented record leaves zero, so a zero keeps the documented behaviour.
enum ZipEngAesStrength : std::int32_t { zasClassic = 0, zasAes128 = 1, zasAes192 = 2, zasAes256 = 3 };

struct ZipCommand {
    void* Handle;                // application main window, or null
    void* Caller;                // returned in every callback
    std::int32_t Version;        // 176
    ZipEngCallback Callback;
    std::int32_t Trace;
    const char* Password;        // at most 81 characters, or null
    const char* StoreSuffixes;   // ".gif:.png:.zip", or null
    std::int32_t Encrypt;
    std::int32_t HiddenFiles;
    std::int32_t Volume;
    std::int32_t FollowLinks;    // store what symbolic links lead to instead of the links
    std::int32_t NoSeparateDirs;  // not AddSeparateDirs: no entries of their own for folders
    std::int32_t FromDate;
    std::int32_t Verbose;
    std::int32_t Quiet;          // -1
    std::int32_t Level;          // 0..9
    std::int32_t AesStrength;    // ZipEngAesStrength: which cipher Encrypt means (0: the classic one)
    std::int32_t Threads;        // compression threads; 0: one per core
    std::int32_t JunkDirNames;   // not AddDirNames: store names without their folders
    std::uint16_t Recurse;       // 0xFFFF when AddRecurseDirs
    std::uint16_t Reserved78;
    std::int32_t NotSafe;        // not AddSafe
    std::int32_t ForceDos;
    std::int32_t Move;
    std::int32_t DeleteEntries;  // a delete job
    std::int32_t Update;
    std::int32_t Freshen;
    std::int32_t Reserved104;
    std::int32_t ZipTime;        // give the archive the date of its newest entry
    char FromDateText[8];        // "mm dd yy", no terminator
    std::int32_t SpecCount;
    const char* ZipFileName;     // the archive to write
    const char* TempDir;         // or null
    const char* ArchiveComment;  // or null
    std::uint16_t ArchiveOnly;   // 1: only files with the archive attribute
    std::uint16_t ResetArchive;  // 1: clear the archive attribute of added files
    ZipSpecEntry* Specs;
    std::int32_t Reserved144;
    std::int32_t ExcludeCount;
    const char* const* Excludes;
    std::uint8_t StreamFields[32];
    std::int32_t AllowUndo;      // moved files and replaced archives go to the trash
    std::uint16_t CodePage;      // 2: names in the OEM code page
    std::uint16_t Reserved194;
    std::int32_t Version2;       // 176
    const char* RootDir;         // full path, or null
    std::uint8_t Reserved204[8];
    std::int32_t Check;          // 7
};

// One entry pattern (a name or a mask) of an extract or test job.
struct UnzipSpecEntry {
    const char* FileSpec;
    std::uint8_t Reserved[68];
};

struct UnzipCommand {
    void* Handle;            // application main window, or null when Unattended
    void* Caller;
    std::int32_t Version;    // the loaded library's version
    ZipEngCallback Callback;
    std::int32_t Trace;
    std::int32_t Reserved20;
    const char* Password;    // empty string when none
    std::int32_t Test;
    std::uint8_t Reserved32[8];
    std::int32_t Quiet;      // -1
    std::int32_t Verbose;
    std::int32_t Update;
    std::int32_t Freshen;
    std::int32_t DirNames;   // extract with the stored folders
    std::int32_t OverWrite;
    std::int32_t SpecCount;  // 0: every entry
    const char* ZipFileName;
    UnzipSpecEntry* Specs;
    std::uint8_t StreamFields[28];
    std::int32_t PasswordReqCount;
    const char* ExtractDir;  // or null (test, or the current folder)
    const char* NameCodePage;  // code page of every undeclared name (iconv's name), or null: their origins decide
    std::int32_t KeepSpecialBits;  // restored permissions keep set-user-id, set-group-id and sticky
    std::uint8_t Reserved124[20];
    std::int32_t Check;      // 7
};

inline constexpr std::int32_t kZipEngRecordCheck = 7;
inline constexpr std::int32_t kZipEngVersion = 176;
inline constexpr int kZipEngTextSize = 512;
inline constexpr int kZipEngCommentSize = 256;

// What a library asks or tells the caller while a job runs. The text and the comment have room for their
// terminator.
struct ZipCallbackRecord {
    void* Handle;
    void* Caller;           // from the job record
    std::int32_t Version;
    std::int32_t IsZipOperation;  // non-zero from the zip library
    std::int32_t ActionCode;      // ZipEngRequest; low byte significant
    std::int32_t Arg1;
    std::int32_t Arg2;
    char Text[kZipEngTextSize + 1];
    char Comment[kZipEngCommentSize + 1];
    void* Data;             // requests 7, 13 and 14
    // The size of requests 1, 2, 6, 15 and 16 in full (Arg2 holds only its low 32 bits); sizes of entries
    // beyond 4 GiB need it.
    std::int64_t Size;
};

// The request codes. 0-6, 15 and 16 are progress reports with the kinds of the ZIP manager's report
// dispatcher: A = Arg1, S = Arg2 (code 6: Arg1 is the high and Arg2 the low half of the size), T = Text.
enum ZipEngRequest : std::int32_t {
    zrTick = 0,
    zrNewItem = 1,        // Text = entry name, Arg2 = its size
    zrBytesDone = 2,      // Arg2 = bytes just done
    zrEndOfBatch = 3,
    zrMessage = 4,        // Arg1 = ZipEngError (0: a plain message), Text = the message
    zrFileCount = 5,      // Arg2 = files to process
    zrByteTotal = 6,      // Arg1:Arg2 = bytes to process
    zrAddName = 7,        // Text = name to store (writable), Data = the file's name on disk; Arg2 0: ask OnSetAddName
    zrPassword = 8,       // Arg1 bit 0: a password for adding; Arg2 = repeat count; answer: Text, Arg1 = 1
    zrCrcError = 9,       // Text = entry, Arg1 = found CRC, Arg2 = expected; answer Arg1: 1 keep, 0 drop, 2 no one asked
    zrOverwrite = 10,     // Text = file, Arg1 = entry index | older << 16, Arg2 = overwrite (1/0), answered
    zrSkipped = 11,       // Text = entry, Arg1 = ZipEngError, Arg2 = UnZipSkipTypes + 1
    zrFileComment = 12,   // Text = entry, Comment = its comment; answer: Text = new comment, Arg1 = 1, Arg2 = length
    zrMemoryBuffer = 13,  // not sent: memory streams are not used
    zrExtraField = 14,    // Text = entry, Data/Arg2 = extra field; answer: Arg1 = -1, Arg2 = length, Data or Text
    zrNewStep = 15,       // Arg1 = step (11400 + Arg1 names it), Arg2 = its size, Text = name
    zrStepProgress = 16,  // Arg2 = bytes of the step just done
    zrExtractName = 17,   // Text = name to extract to (writable); answer Arg1 = 1 when changed
};

// Error numbers a library reports in zrMessage and zrSkipped (the ZIP manager keeps their low byte).
enum ZipEngError : std::int32_t {
    zeOk = 0,
    zeEof = 2,       // unexpected end of the archive
    zeFormat = 3,    // the archive's structure is damaged
    zeMemory = 4,
    zeLogic = 5,
    zeTooBig = 6,
    zeTest = 8,      // a test failed
    zeAbort = 9,     // the caller stopped the job
    zeTemp = 10,     // the temporary file could not be made or written
    zeRead = 11,     // a file could not be read
    zeNothing = 12,  // nothing to do
    zeName = 13,     // a name matched nothing
    zeWrite = 14,
    zeCreate = 15,
    zeOpen = 18,     // a file could not be opened
    zeCrc = 25,
    zePassword = 26,
    zeMethod = 27,   // an unsupported method or cipher
};

// Job results below zero (a result of zero or more counts the files the job processed).
enum ZipEngResult : std::int32_t {
    zrsAborting = -1, zrsBusy = -3, zrsCancelled = -4, zrsNoMemory = -5, zrsBadRecord = -6, zrsHandlerFault = -8,
};

using ZipEngExecFn = std::int32_t (*)(ZipCommand* command);
using UnzEngExecFn = std::int32_t (*)(UnzipCommand* command);
using ZipEngVersionFn = std::int32_t (*)();

// The entry points: ZipEngExec / GetZipEngVersion / GetZipEngPrivVersion in libzipeng.so and UnzEngExec /
// GetUnzEngVersion / GetUnzEngPrivVersion in libunzeng.so. A job entry point called with null stops the
// running job.
}
