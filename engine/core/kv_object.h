#pragma once

namespace kv {

// The minimal polymorphic base every component derives from; events pass it as `Sender`.
class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

}  // namespace kv
