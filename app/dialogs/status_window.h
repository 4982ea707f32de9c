#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;

namespace kv::app {

// The progress window of a running operation: what it does, the current file, the progress in that file
// and in the whole archive, and Cancel.
class TfrmStatus : public QDialog {
    Q_OBJECT
public:
    explicit TfrmStatus(QWidget* parent, std::function<void()> cancel);

    void SetHeader(const QString& text);
    void SetProgress(int by_file, int by_archive, const QString& file_name);

private:
    QLabel* lblHeader_;
    QLabel* lblFile_;
    QProgressBar* pbFile_;
    QProgressBar* pbArchive_;
};

}  // namespace kv::app
