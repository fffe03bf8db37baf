#pragma once
// Language files: "CLan_<language>.ini", UTF-8 INI files beside the program or in the
// installation's data folder, that re-caption windows and supply the messages.
//
// How window parts map to keys of the window's section (the section and the caption key are
// the window's objectName; a part's key is its objectName, parts without one are skipped):
//   QLabel, QAbstractButton (push, check, radio, tool buttons), QGroupBox title: key = name.
//     A panel with a caption is a QLabel with a frame.
//   QComboBox: name_Item<i> for item i; an editable one also name_Text for its edit text.
//   QStatusBar: its QLabel children are its panels, name_Panel<i> in the order added; a status
//     bar without panels shows its simple text (the current message) from key = name.
//   QTreeView / QTreeWidget: name_Column<i> for header column i.
//   QTabWidget: name_Page<i> for tab i.
//   Menus, in section "Menu_" + window name: a QMenu's title from key = the QMenu's name, each
//     plain action of a menu or menu bar from key = the action's name; separators have no key.
//     Menus are translated first, so a tool button that shows a menu command (its default
//     action) keeps the caption its own key gives it.
//
// A value in double quotes keeps its leading and trailing blanks (" has existed,overite it?");
// the quotes are not part of the text.
#include <initializer_list>
#include <string>

class QWidget;
class TIniFile;

// The language file of a language (it need not exist).
std::string LanguageFilePath(const std::string &lan);

// The message of the current language for key (GetLanString), with each "%s" of it replaced by
// the next of values, in order.
std::string GetLanText(const std::string &key, const std::string &english,
                       std::initializer_list<std::string> values);

// The text of a key in a language file, or def when the key is missing.
std::string ReadLanguageString(const TIniFile &ini, const std::string &section,
                               const std::string &key, const std::string &def);

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
