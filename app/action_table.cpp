#include "app/action_table.h"

#include <array>

namespace kv::app {
namespace {

constexpr std::array kActions = {
    // archive file
    TActionDef{"aArcNew", acStandard, "Ctrl+N"},
    TActionDef{"aArcOpen", acStandard, "Ctrl+O"},
    TActionDef{"aArcClose", acOpen, "Ctrl+Alt+L"},
    TActionDef{"aArcProp", acOpen, ""},
    TActionDef{"aArcShort", acOpen, ""},
    TActionDef{"aArcCopy", acOpen, "F7"},
    TActionDef{"aArcMove", acOpen, "F8"},
    TActionDef{"aArcRename", acOpen, "F2"},
    TActionDef{"aArcDel", acOpen, "Ctrl+L"},
    TActionDef{"aArcMail", acOpen, "Ctrl+Alt+M"},
    TActionDef{"aArcPrint", acReadable, "Ctrl+P"},
    TActionDef{"aExit", acStandard, "Alt+F4"},
    // entries
    TActionDef{"aActAdd", acWriteable, "Ctrl+Alt+A"},
    TActionDef{"aActExt", acReadable, "Ctrl+Alt+E"},
    TActionDef{"aExtFName", acReadable, ""},
    TActionDef{"aExtSame", acReadable, ""},
    TActionDef{"aExtFav", acReadable, ""},
    TActionDef{"aActDel", acWriteable, "Ctrl+Alt+D"},
    TActionDef{"aActView", acReadable, "Ctrl+Alt+V"},
    TActionDef{"aActOpen", acReadable, "Ctrl+Alt+O"},
    TActionDef{"aActRen", acReadable, "Ctrl+Alt+R"},
    TActionDef{"aActComment", acZip, "Ctrl+Alt+G"},
    TActionDef{"aActCheck", acReadable, "Ctrl+Alt+C"},
    TActionDef{"aActTest", acReadable, "Ctrl+Alt+T"},
    TActionDef{"aActVirus", acReadable, "Ctrl+Alt+S"},
    TActionDef{"aActInstall", acInstall, "Ctrl+Alt+I"},
    TActionDef{"aActExe", acZip, "Ctrl+Alt+K"},
    TActionDef{"aActZip", acExe, "Ctrl+Alt+K"},
    // edit
    TActionDef{"aEdSelAll", acReadable, "Ctrl+A"},
    TActionDef{"aEdDeSelAll", acReadable, "Ctrl+U"},
    TActionDef{"aEdInvert", acReadable, "Ctrl+I"},
    TActionDef{"aEdFindfile", acReadable, "F3"},
    TActionDef{"aEdFindText", acNotImpl, ""},
    // extras
    TActionDef{"aExtConvert", acStandard, "Ctrl+C"},
    TActionDef{"aExtEnc", acStandard, "Ctrl+E"},
    TActionDef{"aExtDec", acStandard, "Ctrl+D"},
    TActionDef{"aExtMExt", acStandard, "Ctrl+M"},
    TActionDef{"aExtRep", acZip, "Ctrl+R"},
    TActionDef{"aExtRSpan", acStandard, "Ctrl+J"},
    TActionDef{"aExtWSpan", acSpannable, "Ctrl+S"},
    TActionDef{"aExtUUEnc", acStandard, "Ctrl+U"},
    TActionDef{"aExtBCreate", acDisabled, ""},
    TActionDef{"aExtBRun", acDisabled, ""},
    TActionDef{"aExtBSchedule", acDisabled, ""},
    // options and help
    TActionDef{"aOptPref", acStandard, "Alt+P"},
    TActionDef{"aOptTool", acStandard, ""},
    TActionDef{"aOptStatus", acStandard, ""},
    TActionDef{"aOptLog", acStandard, ""},
    TActionDef{"aOptReuse", acStandard, ""},
    TActionDef{"aOptExplorer", acStandard, ""},
    TActionDef{"aHlpIndex", acStandard, "F1"},
    TActionDef{"aHlpHome", acStandard, ""},
    TActionDef{"aHlpForum", acStandard, ""},
    TActionDef{"aHlpDonate", acStandard, ""},
    TActionDef{"aHlpEmail", acStandard, ""},
    TActionDef{"aAbout", acStandard, ""},
};

}  // namespace

std::span<const TActionDef> MainWindowActions() { return kActions; }

bool AddEnabledAlone(const TArchiveAbilities& archive) {
    return archive.Attached && archive.Writeable && archive.Empty;
}

bool CategoryEnabled(TActionCategory category, const TArchiveAbilities& archive) {
    if (category == acStandard) return true;
    if (!archive.Attached) return false;
    if (category == acOpen) return true;
    if (AddEnabledAlone(archive)) return false;
    switch (category) {
        case acReadable: return archive.Readable;
        case acWriteable: return archive.Writeable;
        case acExe: return archive.SelfExtracting || archive.Type == atZipExe;
        case acSpannable: return archive.Spannable;
        case acZip: return archive.Type == atZip;
        default: return false;
    }
}

}  // namespace kv::app
