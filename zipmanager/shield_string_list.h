#pragma once

#include <functional>
#include <istream>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/kv_object.h"

namespace kv {

// A string list that can be locked while an operation reads it. While locked every change is refused:
// it does nothing (adds return -1) and calls OnRefused. Reading always works.
class TShieldStringList {
public:
    TShieldStringList() = default;
    TShieldStringList(const TShieldStringList& other) = default;
    // Assigning copies the strings, their objects and the lock flag (refused while this list is locked).
    TShieldStringList& operator=(const TShieldStringList& other);

    bool Locked() const { return locked_; }
    void SetLocked(bool locked) { locked_ = locked; }
    std::function<void()> OnRefused;

    // --- reading ---
    int Count() const { return static_cast<int>(items_.size()); }
    const std::string& Strings(int index) const { return items_.at(static_cast<std::size_t>(index)).first; }
    TObject* Objects(int index) const { return items_.at(static_cast<std::size_t>(index)).second; }
    std::string Text() const;  // the lines, each ended by "\n"
    int IndexOf(const std::string& s) const;
    std::vector<std::string> ToVector() const;

    // --- changing (refused while locked) ---
    int Add(const std::string& s);
    int AddObject(const std::string& s, TObject* object);
    void AddStrings(const std::vector<std::string>& strings);
    void Assign(const std::vector<std::string>& strings);
    void Clear();
    void Delete(int index);
    void Exchange(int index1, int index2);
    void Insert(int index, const std::string& s);
    void Move(int from, int to);
    void Put(int index, const std::string& s);
    void PutObject(int index, TObject* object);
    void SetText(const std::string& text);  // one line per "\n" ("\r\n" also ends a line)
    void SetCapacity(int capacity);
    bool LoadFromFile(const std::string& file_name);
    void LoadFromStream(std::istream& stream);

private:
    // False (and OnRefused called) while locked.
    bool MayChange();
    bool ValidIndex(int index) const { return index >= 0 && index < Count(); }

    std::vector<std::pair<std::string, TObject*>> items_;  // objects are the caller's, never owned
    bool locked_ = false;
};

}  // namespace kv
