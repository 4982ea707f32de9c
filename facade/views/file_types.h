#pragma once

#include <QIcon>
#include <QString>

namespace kv::facade {

// What the desktop's MIME database says of files with an extension (with its dot): the type's
// description, or "EXT <unknownWord>" when the type is unknown.
QString FileTypeDescription(const QString& extension, const QString& unknownWord);

// The icon of an extension's file type, or of a folder for the key "folder".
QIcon FileTypeIcon(const QString& lowerCaseKey);

}  // namespace kv::facade
