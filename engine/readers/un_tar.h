#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/core/custom_dclass.h"
#include "engine/readers/tar_walk.h"

namespace kv {

// Extracts and tests TAR archives: files, folders, and links that stay inside the extraction folder.
// TAR stores no checksum of the data; an entry passes when all of its data could be read.
class TUnTar : public TUnBase {
protected:
    void ExtractIt(TStream32* archive, TObject* component) override;

private:
    enum class TKind { kFile, kFolder, kHardLink, kSymbolicLink, kOther };
    static TKind KindOf(const TTarMember& member);

    std::string MemberName(const TTarMember& member) const;
    void ExtractMember(TStream32& data, const TTarMember& member, TKind kind);
    void ExtractFile(TStream32& data, const TTarMember& member);
    // Writes a sparse member's stretches where its map puts them; false when its data end early.
    bool CopySparse(TStream32& data, const TTarMember& member);
    void ExtractLink(const TTarMember& member, TKind kind);
    // Makes the link at the current output path; false when its target is refused or the link cannot be made.
    bool MakeLink(const TTarMember& member, TKind kind);
    // Writes a copy of an extracted file where a hard link to it cannot be made.
    bool CopyExtractedFile(const std::string& source, const TTarMember& member);
    // The extracted file a hard link's target (an archive path) names; empty when it was not extracted in
    // this run inside the destination, or the path leads out of it.
    std::string HardLinkSource(const std::string& target) const;

    // The files extracted in this run: the output path their names give, to where they were written (the
    // user may have renamed them). Hard links are made to these.
    std::unordered_map<std::string, std::string> written_;
};

}  // namespace kv
