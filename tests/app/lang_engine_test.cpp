// The language engine over language files made in a temporary program folder: which files count, which
// one opens, texts with line breaks and references, and forms translated by their components' names.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

#include "app/form_translator.h"
#include "app/lang_engine.h"
#include "app/settings/kv_settings.h"
#include "tests/app/app_test_registry.h"

namespace kv::app {
namespace {

class LangEngineTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir program_;
    std::string Folder() const { return program_.path().toStdString() + "/"; }

    void Write(const std::string& name, const std::string& text) {
        std::filesystem::create_directories(Folder() + "languages");
        std::ofstream(Folder() + "languages/" + name) << text;
    }
    void Clear() { std::filesystem::remove_all(Folder() + "languages"); }

    std::unique_ptr<TLangEngine> Create(TkvSettings& settings) {
        std::string error;
        std::unique_ptr<TLangEngine> engine = TLangEngine::Create(Folder(), settings, error);
        if (!engine) qWarning("%s", error.c_str());
        return engine;
    }

private slots:
    void init() {
        Clear();
        TkvSettings("kavrel").WriteString("Settings", "Language-Ini", "");
    }

    void OnlyFilesNamingTheirLanguageCount() {
        Write("english.ini", "[Translation]\nLANGUAGE=English\n");
        Write("notes.ini", "[Other]\nx=1\n");
        TkvSettings settings("kavrel");
        const auto engine = Create(settings);
        QVERIFY(engine);
        QCOMPARE(engine->LanguageNames(), std::vector<std::string>{"English"});
        QCOMPARE(engine->LanguageFiles(), std::vector<std::string>{Folder() + "languages/english.ini"});
        QCOMPARE(engine->LanguageIndex(), 0);
    }

    void WithoutTheChosenFileTheFirstOpens() {
        Write("german.ini", "[Translation]\nLANGUAGE=Deutsch\n[Messages]\nmsgX=Hallo\n");
        TkvSettings settings("kavrel");
        settings.WriteString("Settings", "Language-Ini", Folder() + "languages/gone.ini");
        const auto engine = Create(settings);
        QVERIFY(engine);
        QCOMPARE(engine->LanguageIndex(), 0);
        QCOMPARE(engine->GetMessage("msgX"), std::string("Hallo"));
    }

    void NoLanguageFileAtAll() {
        Write("notes.ini", "[Other]\n");
        TkvSettings settings("kavrel");
        std::string error;
        QVERIFY(!TLangEngine::Create(Folder(), settings, error));
        QCOMPARE(error, std::string("No valid Language-Inifile available! Please reinstall Kavrel!"));
    }

    void TextsBreaksAndReferences() {
        Write("english.ini",
              "[Translation]\nLANGUAGE=English\n"
              "[Common]\nOK=Okay\nShared=from Common\n"
              "[Messages]\nmsgLines=Line one%nLine two%NThree\nmsgRef=#OK\nmsgLocal=#msgPlain\nmsgPlain=plain %n kept\n"
              "msgDangling=#nowhere\nmsgEmpty=\nShared=from Messages\nmsgShared=#Shared\n"
              "[frmTest]\nbtnOK=#OK\nShared=from the form\nlblShared=#Shared\n");
        TkvSettings settings("kavrel");
        const auto engine = Create(settings);
        QVERIFY(engine);
        std::vector<std::string> boxes;
        engine->OnInformation = [&](const std::string& text) { boxes.push_back(text); };
        QCOMPARE(engine->GetMessage("msgLines"), std::string("Line one\nLine two\nThree"));
        QCOMPARE(engine->GetMessage("msgRef"), std::string("Okay"));
        // A referenced text is used as found: its "%n" stays.
        QCOMPARE(engine->GetMessage("msgLocal"), std::string("plain %n kept"));
        QCOMPARE(engine->GetMessage("msgMissing"), std::string("error"));
        QCOMPARE(engine->GetMessage("msgEmpty"), std::string());
        // Messages look in their own section first, forms in "Common" first.
        QCOMPARE(engine->GetMessage("msgShared"), std::string("from Messages"));
        QCOMPARE(engine->FormText("frmTest", "lblShared"), std::optional<std::string>("from Common"));
        QCOMPARE(engine->FormText("frmTest", "btnOK"), std::optional<std::string>("Okay"));
        QCOMPARE(engine->FormText("frmTest", "nothing"), std::nullopt);
        QVERIFY(boxes.empty());
        QCOMPARE(engine->GetMessage("msgDangling"), std::string("iniError"));
        QCOMPARE(boxes.size(), std::size_t{1});
        QVERIFY(boxes.front().find("english.ini\" is corrupted!") != std::string::npos);
    }

    void ChoosingALanguageRestartsOnlyForAnotherOne() {
        Write("english.ini", "[Translation]\nLANGUAGE=English\n");
        Write("german.ini", "[Translation]\nLANGUAGE=Deutsch\n");
        TkvSettings settings("kavrel");
        settings.WriteString("Settings", "Language-Ini", Folder() + "languages/german.ini");
        const auto engine = Create(settings);
        QVERIFY(engine);
        QCOMPARE(engine->LanguageNames()[engine->LanguageIndex()], std::string("Deutsch"));
        int restarts = 0;
        engine->Restart = [&] { ++restarts; };
        engine->SetLanguage(engine->LanguageIndex());
        QCOMPARE(restarts, 0);
        engine->SetLanguage(1 - engine->LanguageIndex());
        QCOMPARE(restarts, 1);
        QCOMPARE(settings.ReadString("Settings", "Language-Ini", ""), Folder() + "languages/english.ini");
    }

    void FormsTakeTheTextsOfTheirComponents() {
        Write("english.ini",
              "[Translation]\nLANGUAGE=English\n[Common]\nOK=Okay\n"
              "[frmTest]\nCaption=Test form\nbtnOK=#OK\nlblName=Name:\ncbKind=Kind\ncbKindI1=Second\n"
              "aGo=Go\naGoHint=Go somewhere\n[frmNoCaption]\nlblName=Name\n");
        TkvSettings settings("kavrel");
        const auto engine = Create(settings);
        QVERIFY(engine);
        QWidget form;
        form.setObjectName("frmTest");
        auto* button = new QPushButton("design", &form);
        button->setObjectName("btnOK");
        auto* label = new QLabel("design", &form);
        label->setObjectName("lblName");
        auto* combo = new QComboBox(&form);
        combo->setObjectName("cbKind");
        combo->addItems({"kept", "*", "*"});
        auto* action = new QAction("design", &form);
        action->setObjectName("aGo");
        auto* unnamed = new QLabel("unnamed", &form);
        TranslateForm(*engine, form);
        QCOMPARE(form.windowTitle(), QString("Test form"));
        QCOMPARE(button->text(), QString("Okay"));
        QCOMPARE(label->text(), QString("Name:"));
        QCOMPARE(combo->itemText(0), QString("kept"));
        QCOMPARE(combo->itemText(1), QString("Second"));
        QCOMPARE(combo->itemText(2), QString("*"));  // no text for item 2
        QCOMPARE(action->text(), QString("Go"));
        QCOMPARE(action->toolTip(), QString("Go somewhere"));
        QCOMPARE(unnamed->text(), QString("unnamed"));

        QWidget other;
        other.setObjectName("frmNoCaption");
        other.setWindowTitle("designed");
        TranslateForm(*engine, other);
        QCOMPARE(other.windowTitle(), QString("designed"));
    }
};

KV_APP_TEST(LangEngineTest);

}  // namespace
}  // namespace kv::app

#include "lang_engine_test.moc"
