#include "facade/views/file_types.h"

#include <QFileIconProvider>
#include <QMimeDatabase>

namespace kv::facade {

namespace {

// The type a file of that extension has; the name only, the file itself never exists.
QMimeType MimeTypeOfExtension(const QString& extension) {
    static const QMimeDatabase database;
    return database.mimeTypeForFile(QStringLiteral("x") + extension, QMimeDatabase::MatchExtension);
}

}  // namespace

QString FileTypeDescription(const QString& extension, const QString& unknownWord) {
    const QMimeType type = MimeTypeOfExtension(extension);
    if (type.isValid() && !type.isDefault() && !type.comment().isEmpty()) return type.comment();
    return extension.mid(1).toUpper() + QLatin1Char(' ') + unknownWord;
}

QIcon FileTypeIcon(const QString& lowerCaseKey) {
    const QFileIconProvider provider;
    if (lowerCaseKey == QLatin1String("folder")) return provider.icon(QAbstractFileIconProvider::Folder);
    const QMimeType type = MimeTypeOfExtension(lowerCaseKey);
    return QIcon::fromTheme(type.iconName(),
                            QIcon::fromTheme(type.genericIconName(), provider.icon(QAbstractFileIconProvider::File)));
}

}  // namespace kv::facade
