#pragma once

#include <QMimeData>

#include <functional>

namespace kv::app {

// Drag data naming files that do not exist yet: they are made (once) when the drop target first asks for
// the names, so a drag that is given up costs nothing.
class TDeferredFileDrag : public QMimeData {
public:
    // `make` writes the files and says whether they are there to take.
    TDeferredFileDrag(const QList<QUrl>& files, std::function<bool()> make);

protected:
    QVariant retrieveData(const QString& mime_type, QMetaType type) const override;

private:
    std::function<bool()> make_;
    mutable bool asked_ = false;
    mutable bool made_ = false;
};

}  // namespace kv::app
