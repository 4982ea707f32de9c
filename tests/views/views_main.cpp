// Runs the view tests in one QApplication, with the settings of the desktop kept out of the way.
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

#include "views/list_view_test.h"
#include "views/tree_view_test.h"

int main(int argc, char** argv) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int failures = 0;
    kv::test::ArcListViewTest list;
    failures += QTest::qExec(&list, argc, argv);
    kv::test::ArcTreeViewTest tree;
    failures += QTest::qExec(&tree, argc, argv);
    return failures == 0 ? 0 : 1;
}
