#pragma once

#include <span>
#include <string_view>

#include "engine/core/arc_type.h"

namespace kv::app {

// When an action of the main window may run.
enum TActionCategory {
    acStandard,   // always
    acOpen,       // an archive is attached
    acReadable,   // its entries can be extracted
    acWriteable,  // entries can be added and deleted
    acZip,        // a plain ZIP archive
    acExe,        // a self-extracting archive
    acInstall,    // the archive holds a setup program
    acSpannable,  // the archive can be written over volumes
    acNotImpl,    // never
    acDisabled,   // never
};

struct TActionDef {
    std::string_view Name;
    TActionCategory Category;
    std::string_view Shortcut;  // in the form QKeySequence reads; empty for none
};

// Every action of the main window, in menu order.
std::span<const TActionDef> MainWindowActions();

// What the window knows about the attached archive when it decides which actions to enable.
struct TArchiveAbilities {
    bool Attached = false;
    bool Readable = false;
    bool Writeable = false;
    bool SelfExtracting = false;
    bool Spannable = false;
    bool Empty = false;
    TArcType Type = atNA;
};

// Whether the actions of `category` are enabled for such an archive. acInstall is decided apart, by the
// archive's setup program.
bool CategoryEnabled(TActionCategory category, const TArchiveAbilities& archive);

// The add action alone is enabled beside the Open and Standard actions for an empty writable archive.
bool AddEnabledAlone(const TArchiveAbilities& archive);

}  // namespace kv::app
