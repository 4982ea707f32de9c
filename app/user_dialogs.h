#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace kv::app {

// The questions and pickers the main window puts to the user. The window asks through this one object,
// so that a test can answer in the user's place.
class TUserDialogs {
public:
    virtual ~TUserDialogs();

    // Shows a prepared message box and returns the button pressed.
    virtual QMessageBox::StandardButton Ask(QMessageBox& box);
    // Archives to open; empty when cancelled.
    virtual QStringList ChooseArchives(QWidget* parent, const QString& title, const QString& folder,
                                       const QString& filter);
    // The name of a new archive and the filter chosen (from 0); empty when cancelled.
    virtual QString ChooseNewArchive(QWidget* parent, const QString& title, const QString& folder,
                                     const QStringList& filters, int& filter_index);
    // Files to add; empty when cancelled.
    virtual QStringList ChooseFiles(QWidget* parent, const QString& title, const QString& folder);
    // A folder to extract to; empty when cancelled.
    virtual QString ChooseFolder(QWidget* parent, const QString& title, const QString& folder);
    // A password; none when cancelled.
    virtual std::optional<QString> AskPassword(QWidget* parent, const QString& title, const QString& label);
};

}  // namespace kv::app
