#include "app/dialogs/status_window.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv::app {

TfrmStatus::TfrmStatus(QWidget* parent, std::function<void()> cancel)
    : QDialog(parent), lblHeader_(new QLabel(this)), lblFile_(new QLabel(this)), pbFile_(new QProgressBar(this)),
      pbArchive_(new QProgressBar(this)) {
    setObjectName("frmStatus");
    lblHeader_->setObjectName("lblHeader");
    lblFile_->setObjectName("lblFile");
    lblFile_->setTextFormat(Qt::PlainText);
    auto* btnCancel = new QPushButton("Cancel", this);
    btnCancel->setObjectName("btnCancel");
    connect(btnCancel, &QPushButton::clicked, this, [cancel] { cancel(); });
    auto* layout = new QVBoxLayout(this);
    for (QWidget* widget : std::initializer_list<QWidget*>{lblHeader_, lblFile_, pbFile_, pbArchive_, btnCancel})
        layout->addWidget(widget);
    setMinimumWidth(420);
}

void TfrmStatus::SetHeader(const QString& text) { lblHeader_->setText(text); }

void TfrmStatus::SetProgress(int by_file, int by_archive, const QString& file_name) {
    lblFile_->setText(file_name);
    pbFile_->setValue(by_file);
    pbArchive_->setValue(by_archive);
}

}  // namespace kv::app
