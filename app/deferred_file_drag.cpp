#include "app/deferred_file_drag.h"

#include <QUrl>

#include <utility>

namespace kv::app {

TDeferredFileDrag::TDeferredFileDrag(const QList<QUrl>& files, std::function<bool()> make) : make_(std::move(make)) {
    setUrls(files);
}

QVariant TDeferredFileDrag::retrieveData(const QString& mime_type, QMetaType type) const {
    if (!asked_) {
        asked_ = true;
        made_ = make_();
    }
    return made_ ? QMimeData::retrieveData(mime_type, type) : QVariant();
}

}  // namespace kv::app
