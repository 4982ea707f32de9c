#pragma once

#include <string>
#include <vector>

namespace kv::facade {

class TkvComp;

// The side of a list or tree view the facade talks to. The two are bound both ways: binding one side
// binds the other, and whichever is destroyed first is forgotten by the other.
class TArcViewLink {
public:
    TArcViewLink() = default;
    TArcViewLink(const TArcViewLink&) = delete;
    TArcViewLink& operator=(const TArcViewLink&) = delete;
    virtual ~TArcViewLink();

    TkvComp* kvComp() const { return comp_; }
    void SetkvComp(TkvComp* comp);

protected:
    // Binds this view into the facade's matching slot.
    virtual void BindInto(TkvComp& comp) = 0;

private:
    friend class TkvComp;
    TkvComp* comp_ = nullptr;
};

// A report list of the entries (flat or folder by folder).
class TArcListViewLink : public TArcViewLink {
public:
    // Rebuilds the rows from the facade's entries.
    virtual void Refill() = 0;
    // The full names of the selected rows; a folder row's name ends with the path delimiter.
    virtual std::vector<std::string> SelectedNames() const { return {}; }

protected:
    void BindInto(TkvComp& comp) override;
};

// The folder tree of the archive, shown in explorer style.
class TArcTreeViewLink : public TArcViewLink {
public:
    virtual void Rebuild() = 0;
    // Selects the node of a folder path ("" is the archive); false when there is none.
    virtual bool SelectFolder(const std::string& path) = 0;
    // The selected folder's path, ending with the path delimiter ("" is the archive); none selected: "".
    virtual std::string SelectedFolder() const { return {}; }

protected:
    void BindInto(TkvComp& comp) override;
};

}  // namespace kv::facade
