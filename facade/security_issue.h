#pragma once

#include <string_view>

namespace kv::facade {

// What is wrong with an entry name; the receiver tells the kind by the class.
class TkvSecurityIssue {
public:
    explicit TkvSecurityIssue(int kind = 0) : IssueKind(kind) {}
    virtual ~TkvSecurityIssue() = default;
    int IssueKind;
};

// A name that would lead out of the extraction folder.
class TkvDirectoryTraversalIssue : public TkvSecurityIssue {
public:
    TkvDirectoryTraversalIssue() : TkvSecurityIssue(2) {}
};

// True when an entry name would leave the folder it is extracted to: a ".." component, a name that
// begins with a delimiter, or a drive ("C:"). Either delimiter counts, whatever the format stored.
bool IsTraversalName(std::string_view name);

}  // namespace kv::facade
