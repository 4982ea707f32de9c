#pragma once

#include <QObject>

namespace kv::test {

class ArcTreeViewTest : public QObject {
    Q_OBJECT
private slots:
    void buildsFolderNodes();
    void onlyInExplorerStyleWithAnArchive();
    void selectFolder_data();
    void selectFolder();
    void selectionSetsDirFilter();
    void selectedFolderEntries();
};

}  // namespace kv::test
