#include "app/user_dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>

namespace kv::app {

TUserDialogs::~TUserDialogs() = default;

QMessageBox::StandardButton TUserDialogs::Ask(QMessageBox& box) {
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QStringList TUserDialogs::ChooseArchives(QWidget* parent, const QString& title, const QString& folder,
                                         const QString& filter) {
    return QFileDialog::getOpenFileNames(parent, title, folder, filter);
}

QString TUserDialogs::ChooseNewArchive(QWidget* parent, const QString& title, const QString& folder,
                                       const QStringList& filters, int& filter_index) {
    QString chosen_filter;
    const QString name = QFileDialog::getSaveFileName(parent, title, folder, filters.join(";;"), &chosen_filter,
                                                      QFileDialog::DontConfirmOverwrite);
    filter_index = static_cast<int>(filters.indexOf(chosen_filter));
    return name;
}

QStringList TUserDialogs::ChooseFiles(QWidget* parent, const QString& title, const QString& folder) {
    return QFileDialog::getOpenFileNames(parent, title, folder);
}

QString TUserDialogs::ChooseFolder(QWidget* parent, const QString& title, const QString& folder) {
    return QFileDialog::getExistingDirectory(parent, title, folder);
}

std::optional<QString> TUserDialogs::AskPassword(QWidget* parent, const QString& title, const QString& label) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, label, QLineEdit::Password, {}, &ok);
    if (!ok) return std::nullopt;
    return text;
}

}  // namespace kv::app
