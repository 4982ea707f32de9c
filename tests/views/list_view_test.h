#pragma once

#include <QObject>

namespace kv::test {

class ArcListViewTest : public QObject {
    Q_OBJECT
private slots:
    void refillFlatAndExplorer_data();
    void refillFlatAndExplorer();
    void folderEntriesInFlatStyle();
    void rowTexts();
    void typeNamesAndTranslation();
    void columnCaptions();
    void sortBySizeKeepsFoldersOnTop();
    void sortByNameCrcAndAttributes_data();
    void sortByNameCrcAndAttributes();
    void sortKeepsTheSelection();
    void folderUp_data();
    void folderUp();
    void selectedEntriesAndSizes();
    void selectionNames_data();
    void selectionNames();
    void selInfoFollowsRefillAndSelection();
};

}  // namespace kv::test
