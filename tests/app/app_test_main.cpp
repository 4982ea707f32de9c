// Runs every QtTest class of the window program without a display and with settings of its own.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include "tests/app/app_test_registry.h"

namespace kv::test {

std::vector<TTestFactory>& AppTests() {
    static std::vector<TTestFactory> tests;
    return tests;
}

}  // namespace kv::test

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    // The registry files, the hand-over socket and the machine-wide store all live in the test's folder.
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_CONFIG_DIRS", (home.path() + "/machine").toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    QApplication application(argc, argv);
    int failed = 0;
    for (const kv::test::TTestFactory& make : kv::test::AppTests()) {
        const std::unique_ptr<QObject> test = make();
        failed += QTest::qExec(test.get(), argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
