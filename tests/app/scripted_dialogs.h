#pragma once

#include <QAbstractButton>
#include <QStringList>

#include <deque>
#include <optional>

#include "app/user_dialogs.h"

namespace kv::test {

// Answers the main window's questions from a script and remembers what was asked.
class TScriptedDialogs : public app::TUserDialogs {
public:
    std::deque<QMessageBox::StandardButton> answers;  // for Ask; none left: Cancel
    QStringList asked;                                // the texts of the message boxes, in order
    QStringList files;                                // for ChooseFiles and ChooseArchives
    QString folder;                                   // for ChooseFolder
    QString new_archive;                              // for ChooseNewArchive
    int new_archive_filter = 0;
    QStringList new_archive_filters;                  // what ChooseNewArchive offered
    std::optional<QString> password;

    QMessageBox::StandardButton Ask(QMessageBox& box) override {
        asked << box.text();
        if (answers.empty()) return QMessageBox::Cancel;
        const QMessageBox::StandardButton answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QStringList ChooseArchives(QWidget*, const QString&, const QString&, const QString&) override { return files; }
    QString ChooseNewArchive(QWidget*, const QString&, const QString&, const QStringList& filters,
                             int& filter) override {
        new_archive_filters = filters;
        filter = new_archive_filter;
        return new_archive;
    }
    QStringList ChooseFiles(QWidget*, const QString&, const QString&) override { return files; }
    QString ChooseFolder(QWidget*, const QString&, const QString&) override { return folder; }
    std::optional<QString> AskPassword(QWidget*, const QString&, const QString&) override { return password; }
};

}  // namespace kv::test
