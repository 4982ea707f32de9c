// A command line handed over by a second start, split as the running window splits it, and the line a
// second start sends.
#include <QTest>

#include "app/command_line.h"
#include "tests/app/app_test_registry.h"

namespace kv::app {
namespace {

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void Splits_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("params");
        QTest::newRow("quoted program and archive") << "\"/opt/kavrel/kavrel\" \"/home/u/my files/a.zip\""
                                                    << QStringList{"/home/u/my files/a.zip"};
        QTest::newRow("no quotes at all") << "/opt/kavrel/kavrel /tmp/a.zip -e" << QStringList{"/tmp/a.zip", "-e"};
        QTest::newRow("program named in another case") << "/OPT/Kavrel/KAVREL x.zip" << QStringList{"x.zip"};
        QTest::newRow("quote inside a bare token ends it") << "/opt/kavrel/kavrel a\"b c\"" << QStringList{"a", "b c"};
        QTest::newRow("blanks around") << "   /opt/kavrel/kavrel    a.zip   " << QStringList{"a.zip"};
        QTest::newRow("unclosed quote runs to the end") << "/opt/kavrel/kavrel \"a b" << QStringList{"a b"};
        QTest::newRow("another program stays") << "/usr/bin/other a.zip" << QStringList{"/usr/bin/other", "a.zip"};
    }
    void Splits() {
        QFETCH(QString, line);
        QFETCH(QStringList, params);
        QStringList split;
        for (const std::string& token : SplitHandedOverLine(line.toStdString(), "/opt/kavrel/kavrel"))
            split << QString::fromStdString(token);
        QCOMPARE(split, params);
    }

    void WhatASecondStartSendsSplitsBack() {
        const std::vector<std::string> arguments{"/opt/kavrel/kavrel", "/tmp/with blanks/a.zip", "-e", "b"};
        const std::vector<std::string> back = SplitHandedOverLine(QuotedCommandLine(arguments), arguments.front());
        QCOMPARE(back, std::vector<std::string>(arguments.begin() + 1, arguments.end()));
    }
};

KV_APP_TEST(CommandLineTest);

}  // namespace
}  // namespace kv::app

#include "command_line_test.moc"
