#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace kv::test {

// Drives the stand-in engine libraries of fake_engines/: what they answer is written to a script file,
// what they received and what the callback answered is read back from a log file.
class FakeEngines {
public:
    enum Kind { Zip, Unzip };

    FakeEngines() {
        for (Kind kind : {Zip, Unzip}) {
            ::setenv(Variable(kind, "_SCRIPT").c_str(), ScriptPath(kind).c_str(), 1);
            ::setenv(Variable(kind, "_LOG").c_str(), LogPath(kind).c_str(), 1);
        }
    }
    ~FakeEngines() {
        for (Kind kind : {Zip, Unzip}) {
            ::unsetenv(Variable(kind, "_SCRIPT").c_str());
            ::unsetenv(Variable(kind, "_LOG").c_str());
        }
    }
    FakeEngines(const FakeEngines&) = delete;
    FakeEngines& operator=(const FakeEngines&) = delete;

    static std::string Directory() { return KV_FAKE_ENGINE_DIR; }

    // Script lines: "version\t176", "result\t-4", Request(...).
    void Script(Kind kind, const std::vector<std::string>& lines) {
        std::ofstream out(ScriptPath(kind));
        for (const std::string& line : lines) out << line << "\n";
    }
    static std::string Request(int code, long arg1 = 0, long arg2 = 0, const std::string& text = {},
                               const std::string& second = {}, long long size = 0) {
        return "request\t" + std::to_string(code) + "\t" + std::to_string(arg1) + "\t" + std::to_string(arg2) + "\t" +
               text + "\t" + second + "\t" + std::to_string(size);
    }

    std::vector<std::string> Log(Kind kind) const {
        std::vector<std::string> lines;
        std::ifstream in(LogPath(kind));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // The log lines that start with `prefix`.
    std::vector<std::string> Lines(Kind kind, const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& line : Log(kind))
            if (line.rfind(prefix, 0) == 0) found.push_back(line);
        return found;
    }
    // The value of `key=` in the first log line starting with `prefix` (values end at a blank).
    std::string Value(Kind kind, const std::string& prefix, const std::string& key) const {
        const std::vector<std::string> lines = Lines(kind, prefix);
        if (lines.empty()) return "<no " + prefix + ">";
        const std::string& line = lines.front();
        const std::size_t at = line.find(" " + key + "=");
        if (at == std::string::npos) return "<no " + key + ">";
        const std::size_t start = at + key.size() + 2;
        return line.substr(start, line.find(' ', start) - start);
    }
    void ClearLog(Kind kind) const { std::filesystem::remove(LogPath(kind)); }

private:
    static std::string Variable(Kind kind, const char* suffix) {
        return std::string(kind == Zip ? "KV_FAKE_ZIPENG" : "KV_FAKE_UNZENG") + suffix;
    }
    std::string ScriptPath(Kind kind) const { return (dir_ / (kind == Zip ? "zip.script" : "unzip.script")).string(); }
    std::string LogPath(Kind kind) const { return (dir_ / (kind == Zip ? "zip.log" : "unzip.log")).string(); }

    TempDir dir_;
};

}  // namespace kv::test
