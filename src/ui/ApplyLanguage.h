#pragma once
// The language files applied to windows: the parts of a window re-captioned as Language.h
// describes, and the language menu's choice.
#include <string>

class QWidget;

// Qt's own texts (standard buttons, file dialogs) in the language: Qt's translations named by
// the language file's RES_Qt_Language ("de"); English without one.
void UseQtLanguage(const std::string &lan);
// Re-captions the window and its parts from the language file, and Qt's own texts with it
// (UseQtLanguage); a missing key or file keeps the present text.
void ApplyLanguage(QWidget *form, const std::string &lan);
// ApplyLanguage with the language of the settings, as a window does when it is shown; nothing
// for English, the windows' own. True when a language file was applied.
bool ApplyChosenLanguage(QWidget *form);

// The language a language-menu item selects: its name from the third character on
// ("miGerman" selects "German").
std::string LanguageOfMenuItem(const std::string &itemName);

// Chooses the language of a language-menu item: when its file exists, sets Lan and returns
// true; otherwise leaves Lan alone, sets message to the text to show and returns false.
bool SelectLanguage(const std::string &itemName, std::string &message);
