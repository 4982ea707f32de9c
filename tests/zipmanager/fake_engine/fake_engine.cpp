// A stand-in for the engine libraries in tests: its version, the requests it makes while a job runs and
// the job's result come from a script file, and it writes what it received and what the callback answered
// to a log file. Built twice: as libzipeng.so and (with KV_FAKE_UNZIP) as libunzeng.so.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "outside/zip_engine_records.h"

namespace {

#ifdef KV_FAKE_UNZIP
constexpr const char* kPrefix = "KV_FAKE_UNZENG";
constexpr bool kZip = false;
#else
constexpr const char* kPrefix = "KV_FAKE_ZIPENG";
constexpr bool kZip = true;
#endif

std::string Setting(const char* suffix) {
    const char* value = std::getenv((std::string(kPrefix) + suffix).c_str());
    return value ? value : "";
}

std::vector<std::vector<std::string>> Script() {
    std::vector<std::vector<std::string>> lines;
    std::ifstream in(Setting("_SCRIPT"));
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::stringstream stream(line);
        for (std::string field; std::getline(stream, field, '\t');) fields.push_back(field);
        if (!fields.empty()) lines.push_back(fields);
    }
    return lines;
}

int ScriptNumber(const char* key, int fallback) {
    for (const auto& fields : Script())
        if (fields[0] == key && fields.size() > 1) return std::atoi(fields[1].c_str());
    return fallback;
}

void Log(const std::string& line) {
    const std::string path = Setting("_LOG");
    if (path.empty()) return;
    std::ofstream(path, std::ios::app) << line << "\n";
}

std::string Text(const char* s) {
    if (s == nullptr) return "(null)";
    std::string text;
    for (const char* p = s; *p; ++p) text += *p == '\n' ? std::string("\\n") : std::string(1, *p);
    return text;
}

std::string Field(const std::vector<std::string>& fields, std::size_t index) {
    return index < fields.size() ? fields[index] : std::string();
}

// Runs the script's requests against the callback; stops at the first non-zero answer unless the script
// says "nostop".
void Replay(ZipEngCallback callback, void* caller) {
    bool stop = true;
    for (const auto& fields : Script()) {
        if (fields[0] == "nostop") stop = false;
        if (fields[0] != "request") continue;
        ZipCallbackRecord record{};
        record.Caller = caller;
        record.Version = kZipEngVersion;
        record.IsZipOperation = kZip ? 1 : 0;
        record.ActionCode = std::atoi(Field(fields, 1).c_str());
        record.Arg1 = static_cast<std::int32_t>(std::strtol(Field(fields, 2).c_str(), nullptr, 0));
        record.Arg2 = static_cast<std::int32_t>(std::strtol(Field(fields, 3).c_str(), nullptr, 0));
        std::strncpy(record.Text, Field(fields, 4).c_str(), kZipEngTextSize);
        const std::string second = Field(fields, 5);
        record.Size = std::strtoll(Field(fields, 6).c_str(), nullptr, 0);
        if (record.ActionCode == zrFileComment) std::strncpy(record.Comment, second.c_str(), kZipEngCommentSize);
        if (record.ActionCode == zrAddName || record.ActionCode == zrExtraField) record.Data = const_cast<char*>(second.c_str());
        const std::int32_t answer = callback(&record);
        std::ostringstream line;
        line << "answer code=" << record.ActionCode << " arg1=" << record.Arg1 << " arg2=" << record.Arg2
             << " text=" << Text(record.Text) << " return=" << answer;
        if (record.ActionCode == zrExtraField && record.Arg1 == -1) {
            const char* data = record.Arg2 >= kZipEngTextSize ? static_cast<const char*>(record.Data) : record.Text;
            line << " extra=" << std::string(data, static_cast<std::size_t>(record.Arg2));
        }
        Log(line.str());
        if (answer != 0 && stop) break;
    }
}

struct Lifetime {
    Lifetime() { Log("load"); }
    ~Lifetime() { Log("unload"); }
} lifetime;

int Version() { return ScriptNumber("version", kZipEngVersion); }
int PrivVersion() { return ScriptNumber("private", 1); }

#ifndef KV_FAKE_UNZIP
void DumpCommand(const ZipCommand& c) {
    std::ostringstream out;
    out << "zip Version=" << c.Version << " Trace=" << c.Trace << " Password=" << Text(c.Password)
        << " StoreSuffixes=" << Text(c.StoreSuffixes) << " Encrypt=" << c.Encrypt << " HiddenFiles=" << c.HiddenFiles
        << " Volume=" << c.Volume << " NoSeparateDirs=" << c.NoSeparateDirs << " FromDate=" << c.FromDate
        << " Verbose=" << c.Verbose << " Quiet=" << c.Quiet << " Level=" << c.Level << " AesStrength=" << c.AesStrength
        << " Threads=" << c.Threads << " JunkDirNames=" << c.JunkDirNames << " Recurse=" << c.Recurse
        << " NotSafe=" << c.NotSafe << " ForceDos=" << c.ForceDos << " Move=" << c.Move
        << " DeleteEntries=" << c.DeleteEntries << " Update=" << c.Update << " Freshen=" << c.Freshen
        << " ZipTime=" << c.ZipTime << " FromDateText=" << std::string(c.FromDateText, sizeof c.FromDateText)
        << " SpecCount=" << c.SpecCount << " ZipFileName=" << Text(c.ZipFileName) << " TempDir=" << Text(c.TempDir)
        << " ArchiveComment=" << Text(c.ArchiveComment) << " ArchiveOnly=" << c.ArchiveOnly
        << " ResetArchive=" << c.ResetArchive << " ExcludeCount=" << c.ExcludeCount << " AllowUndo=" << c.AllowUndo
        << " CodePage=" << c.CodePage << " Version2=" << c.Version2 << " RootDir=" << Text(c.RootDir)
        << " Check=" << c.Check << " Handle=" << (c.Handle ? "set" : "null");
    Log(out.str());
    for (int i = 0; i < c.SpecCount; ++i) {
        const ZipSpecEntry& s = c.Specs[i];
        Log("line " + Text(s.FileSpec) + "|" + Text(s.Password) + "|" + std::to_string(s.Encrypt) + "|" +
            std::to_string(s.Recurse));
    }
    for (int i = 0; i < c.ExcludeCount; ++i) Log("exclude " + Text(c.Excludes[i]));
}
#else
void DumpCommand(const UnzipCommand& c) {
    std::ostringstream out;
    out << "unzip Version=" << c.Version << " Trace=" << c.Trace << " Password=" << Text(c.Password)
        << " Test=" << c.Test << " Quiet=" << c.Quiet << " Verbose=" << c.Verbose << " Update=" << c.Update
        << " Freshen=" << c.Freshen << " DirNames=" << c.DirNames << " OverWrite=" << c.OverWrite
        << " SpecCount=" << c.SpecCount << " ZipFileName=" << Text(c.ZipFileName)
        << " PasswordReqCount=" << c.PasswordReqCount << " ExtractDir=" << Text(c.ExtractDir)
        << " NameCodePage=" << Text(c.NameCodePage) << " Check=" << c.Check
        << " Handle=" << (c.Handle ? "set" : "null");
    Log(out.str());
    for (int i = 0; i < c.SpecCount; ++i) Log("line " + Text(c.Specs[i].FileSpec));
}
#endif

template <class Command>
std::int32_t Exec(Command* command) {
    if (command == nullptr) {
        Log("abort");
        return 0;
    }
    DumpCommand(*command);
    Replay(command->Callback, command->Caller);
    return ScriptNumber("result", 0);
}

}  // namespace

extern "C" {
#ifndef KV_FAKE_UNZIP
__attribute__((visibility("default"))) std::int32_t ZipEngExec(ZipCommand* command) { return Exec(command); }
__attribute__((visibility("default"))) std::int32_t GetZipEngVersion() { return Version(); }
__attribute__((visibility("default"))) std::int32_t GetZipEngPrivVersion() { return PrivVersion(); }
#else
__attribute__((visibility("default"))) std::int32_t UnzEngExec(UnzipCommand* command) { return Exec(command); }
__attribute__((visibility("default"))) std::int32_t GetUnzEngVersion() { return Version(); }
__attribute__((visibility("default"))) std::int32_t GetUnzEngPrivVersion() { return PrivVersion(); }
#endif
}
