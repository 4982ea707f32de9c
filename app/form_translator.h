#pragma once

class QWidget;

namespace kv::app {

class TLangEngine;

// Gives a form (or frame) and what it owns the texts of the section named after it: its caption, each
// named control's text, menu and toolbar captions with their hints, and the items marked "*" of combo
// boxes and radio groups. A text the language file lacks leaves the design-time text.
// A child widget whose property "kvFrame" is true is a frame: it is translated by its own section.
// A group box whose property "kvRadioGroup" is true is a radio group: its radio buttons are its items.
void TranslateForm(const TLangEngine& lang, QWidget& form);

}  // namespace kv::app
