// kavrel: the archive manager's window. A second start hands its command line to the running window
// (when the settings allow it) and ends.
#include <QApplication>
#include <QMessageBox>
#include <QProcess>

#include <filesystem>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/lang_engine.h"
#include "app/main_window.h"
#include "app/run_once.h"
#include "app/settings/kv_settings.h"
#include "app/user_dialogs.h"

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    using namespace kv::app;
    using kv::TkvSettings;
    QApplication application(argc, argv);
    QApplication::setApplicationName("Kavrel");
    std::error_code error;
    const std::string program = fs::canonical("/proc/self/exe", error).string();
    const std::string program_folder = fs::path(program).parent_path().string() + "/";
    const std::vector<std::string> params(argv + 1, argv + argc);

    if (TkvSettings("kavrel").ReadBool("Settings", "ReuseWindow", true)) {
        std::vector<std::string> line{program};
        line.insert(line.end(), params.begin(), params.end());
        if (TRunOnce::HandOver(QuotedCommandLine(line))) return 0;
    }

    TkvSettings settings("kavrel");
    settings.RecordProgramPath(program);
    std::string failure;
    const std::unique_ptr<TLangEngine> lang = TLangEngine::Create(program_folder, settings, failure);
    if (!lang) {
        QMessageBox::critical(nullptr, "Kavrel", QString::fromStdString(failure));
        return 1;
    }
    lang->OnInformation = [](const std::string& text) {
        QMessageBox::information(nullptr, "Kavrel", QString::fromStdString(text));
    };
    lang->Restart = [program] {
        QProcess::startDetached(QString::fromStdString(program), {});
        QApplication::quit();
    };

    TfrmKavrelMain window(settings, *lang, program_folder, std::make_unique<TUserDialogs>());
    TRunOnce run_once;
    run_once.Listen([&](const std::string& line) {
        window.SetReusedWindow(true);
        window.raise();
        window.activateWindow();
        window.HandleParams(SplitHandedOverLine(line, program));
    });
    window.show();
    window.HandleParams(params);
    return QApplication::exec();
}
