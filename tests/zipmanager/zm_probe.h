#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"
#include "zipmanager/zip_manager.h"

namespace kv::test {

// Counts the message boxes and busy-cursor changes the ZIP manager asks for, answering as told.
class TRecordingPrompter : public TZipPrompter {
public:
    TMsgAnswer MessageBox(const std::string&, const std::string& text, TMsgIcon, TMsgButtons, int) override {
        Boxes.push_back(text);
        return Answer;
    }
    void SetBusyCursor(bool busy) override {
        BusyLevel += busy ? 1 : -1;
        if (busy) ++BusyStarts;
    }

    TMsgAnswer Answer = TMsgAnswer::Ok;
    std::vector<std::string> Boxes;
    int BusyLevel = 0;  // back at 0 once every busy bracket has ended
    int BusyStarts = 0;
};

// A ZIP manager on a fixed drive with its directory events and messages recorded.
class TZipManagerProbe {
public:
    explicit TZipManagerProbe(bool unattended = true) {
        zm.SetPrompter(prompter);
        zm.SetUnattended(unattended);
        zm.SetDriveQuery([](const std::string&) {
            platform::DriveInfo fixed;
            fixed.Valid = true;
            return fixed;
        });
        zm.OnDirUpdate = [this](TObject*) { ++DirUpdates; };
        zm.OnMessage = [this](TObject*, int code, const std::string& text) { Messages.emplace_back(code, text); };
        zm.OnNewName = [this](TObject*, int seq_no, const ZipDirEntry&) { SeqNos.push_back(seq_no); };
    }

    // Names the archive (which lists it) and returns ErrCode.
    int Open(const std::filesystem::path& archive) {
        zm.SetZipFileName(archive.string());
        return zm.ErrCode();
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const ZipDirEntry& entry : zm.DirEntries()) names.emplace_back(entry.Name());
        return names;
    }
    // The codes of the errors and warnings reported (diagnostics carry 0).
    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const auto& [code, text] : Messages)
            if (code != 0) codes.push_back(code);
        return codes;
    }
    const ZipDirEntry* Find(std::string_view name) const {
        for (const ZipDirEntry& entry : zm.DirEntries())
            if (entry.Name() == name) return &entry;
        return nullptr;
    }

    TRecordingPrompter prompter;
    TZipManager zm;
    std::vector<std::pair<int, std::string>> Messages;
    std::vector<int> SeqNos;
    int DirUpdates = 0;
};

// Runs a shell command in `dir`; false (with the output as a test failure) when it fails.
inline bool RunIn(const TempDir& dir, const std::string& command) {
    std::string output;
    const int status = RunCommand("cd '" + dir.Path().string() + "' && " + command, &output);
    EXPECT_EQ(status, 0) << command << "\n" << output;
    return status == 0;
}

// Little-endian fields patched into built archive bytes.
inline void Patch16(std::string& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}
inline void Patch32(std::string& bytes, std::size_t at, std::uint32_t value) {
    Patch16(bytes, at, static_cast<std::uint16_t>(value & 0xFFFF));
    Patch16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

// Where the central headers of built archive bytes begin, in order.
inline std::vector<std::size_t> CentralHeaderOffsets(const std::string& zip) {
    std::vector<std::size_t> offsets;
    for (std::size_t at = zip.find("PK\x01\x02"); at != std::string::npos; at = zip.find("PK\x01\x02", at + 4))
        offsets.push_back(at);
    return offsets;
}

// Every central header of `zip` says it was made on `host` by `version`.
inline std::string WithHost(std::string zip, std::uint8_t host, std::uint8_t version = 20) {
    for (const std::size_t at : CentralHeaderOffsets(zip)) {
        zip[at + 4] = static_cast<char>(version);
        zip[at + 5] = static_cast<char>(host);
    }
    return zip;
}

// Where the end record of archive bytes without a comment begins.
inline std::size_t EndRecordAt(const std::string& zip) { return zip.rfind("PK\x05\x06"); }

}  // namespace kv::test
