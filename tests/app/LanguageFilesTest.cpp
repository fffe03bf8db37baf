// The shipped language files against the windows they translate. A key the window does not
// have (a typo, a renamed part) is silently ignored when a file is applied, so each key is
// traced to the part it re-captions: the English file must hold what the window shows, the
// German file must replace it.
#include "ApplyLanguage.h"
#include "ChooseRelease.h"
#include "EditTrackName.h"
#include "ID3Edit.h"
#include "IniFile.h"
#include "Language.h"
#include "MainForm.h"
#include "Mp3EncodeThread.h"
#include "NewRecordFileForm.h"
#include "NoDeviceHint.h"
#include "OggPlayer.h"
#include "OptionSet.h"
#include "QueryCddb.h"
#include "RecordForm.h"
#include "StopQuery.h"
#include "TempConfig.h"
#include "WMAEncodeThread.h"
#include "rip.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeView>

#include <functional>
#include <map>
#include <memory>

namespace {

using TText = std::function<QString()>;

// Every text of the window that a language file could replace, each read afresh on call.
std::vector<TText> Texts(QWidget *form) {
  std::vector<TText> texts{[form] { return form->windowTitle(); }};
  for (QObject *part : form->findChildren<QObject *>()) {
    if (auto *label = qobject_cast<QLabel *>(part))
      texts.push_back([label] { return label->text(); });
    else if (auto *button = qobject_cast<QAbstractButton *>(part))
      texts.push_back([button] { return button->text(); });
    else if (auto *group = qobject_cast<QGroupBox *>(part))
      texts.push_back([group] { return group->title(); });
    else if (auto *combo = qobject_cast<QComboBox *>(part)) {
      for (int i = 0; i < combo->count(); ++i)
        texts.push_back([combo, i] { return combo->itemText(i); });
      if (combo->isEditable())
        texts.push_back([combo] { return combo->currentText(); });
    } else if (auto *bar = qobject_cast<QStatusBar *>(part))
      texts.push_back([bar] { return bar->currentMessage(); });
    else if (auto *view = qobject_cast<QTreeView *>(part)) {
      for (int i = 0; view->model() && i < view->model()->columnCount(); ++i)
        texts.push_back(
            [view, i] { return view->model()->headerData(i, Qt::Horizontal).toString(); });
    } else if (auto *tabs = qobject_cast<QTabWidget *>(part)) {
      for (int i = 0; i < tabs->count(); ++i)
        texts.push_back([tabs, i] { return tabs->tabText(i); });
    } else if (auto *menu = qobject_cast<QMenu *>(part))
      texts.push_back([menu] { return menu->title(); });
    else if (auto *action = qobject_cast<QAction *>(part))
      texts.push_back([action] { return action->text(); });
  }
  return texts;
}

struct TWindow {
  const char *Section;
  std::function<std::unique_ptr<QWidget>()> Make;
};

// Each translated window, made as its own suite makes it, without showing it: showing starts
// what the window is for (a lookup, a job, a recording) and applies the language itself.
const TWindow Windows[] = {
    {"MainForm", [] { return std::make_unique<TMainForm>(); }},
    {"RipForm",
     [] {
       // A job without items ends as it starts: the window without a disc or an encoder.
       static TMp3EncodeProcess mp3;
       static TWMAEncodeProcess wma;
       return std::make_unique<TRipForm>(nullptr, jmCDRip, 0, std::vector<std::string>{}, mp3, wma);
     }},
    {"OptionSetForm", [] { return std::make_unique<TOptionSetForm>(TOptionSetHost{}); }},
    {"frmRecord", [] { return std::make_unique<TfrmRecord>([](const std::string &) {}); }},
    {"frmNewRecordFile", [] { return std::make_unique<TfrmNewRecordFile>(); }},
    {"frmEditTrackName", [] { return std::make_unique<TfrmEditTrackName>("Title"); }},
    {"frmChooseRelease",
     [] { return std::make_unique<TfrmChooseRelease>(nullptr, std::vector<mb::TRelease>{}); }},
    {"frmID3Edit", [] { return std::make_unique<TfrmID3Edit>(); }},
    {"frmNoDeviceHint", [] { return std::make_unique<TfrmNoDeviceHint>(); }},
    {"frmQueryCDDB",
     [] { return std::make_unique<TfrmQueryCDDB>(nullptr, 1, 1, 0, TCddbFoundHandler{}); }},
    {"frmStopQuery",
     [] { return std::make_unique<TfrmStopQuery>(nullptr, 1, 1, 0, TCddbFoundHandler{}); }},
    {"frmOggPlayer", [] { return std::make_unique<TfrmOggPlayer>(); }},
};

using LanguageFiles = TempLanguage;

TEST_F(LanguageFiles, EveryKeyOfEveryWindowCaptionsAPartTheGermanFileTranslates) {
  const TIniFile english(LanguageFilePath("English"));
  const TIniFile german(LanguageFilePath("German"));
  for (const TWindow &window : Windows) {
    SCOPED_TRACE(window.Section);
    const std::string sections[] = {window.Section, std::string("Menu_") + window.Section};
    std::vector<std::pair<std::string, std::string>> keys; // section, key
    for (const std::string &section : sections)
      for (const std::string &key : english.ReadSection(section))
        keys.emplace_back(section, key);
    if (!english.SectionExists(window.Section) || !german.SectionExists(window.Section)) {
      ADD_FAILURE() << "a shipped file lacks the window";
      continue;
    }

    // A file whose every value names its key shows which part each key reaches.
    std::map<std::string, std::string> marked;
    for (const auto &[section, key] : keys)
      marked[section] += key + "=@" + section + "/" + key + "\n";
    std::string file;
    for (const auto &[section, lines] : marked)
      file += "[" + section + "]\n" + lines;
    WriteLanguage(file);

    std::unique_ptr<QWidget> form = window.Make();
    const std::vector<TText> texts = Texts(form.get());
    std::vector<QString> shown; // before any file
    for (const TText &text : texts)
      shown.push_back(text());
    ApplyLanguage(form.get(), lan);
    std::map<std::pair<std::string, std::string>, std::vector<size_t>> parts;
    for (size_t i = 0; i < texts.size(); ++i) {
      const std::string text = texts[i]().toStdString();
      if (text.starts_with('@')) {
        const size_t slash = text.find('/');
        parts[{text.substr(1, slash - 1), text.substr(slash + 1)}].push_back(i);
      }
    }

    ApplyLanguage(form.get(), "German");
    bool translated = false;
    for (const auto &[section, key] : keys) {
      const auto found = parts.find({section, key});
      if (found == parts.end()) {
        ADD_FAILURE() << section << "/" << key << " names no part of the window";
        continue;
      }
      const std::string englishText = ReadLanguageString(english, section, key, "");
      const std::string germanText = ReadLanguageString(german, section, key, "@missing");
      for (size_t i : found->second) {
        EXPECT_EQ(shown[i].toStdString(), englishText) << section << "/" << key << " in English";
        EXPECT_EQ(texts[i]().toStdString(), germanText) << section << "/" << key << " in German";
      }
      translated = translated || germanText != englishText;
    }
    EXPECT_TRUE(translated) << "the German file leaves the window in English";
  }
}

} // namespace

// Qt's own texts follow the chosen language: the standard buttons of a message box (and, alike,
// the file dialogs), and back.
TEST_F(LanguageFiles, QtsOwnTextsFollowTheChosenLanguage) {
  const std::pair<const char *, const char *> cases[] = {
      {"German", "&Ja"}, {"English", "&Yes"}, {"German", "&Ja"}};
  for (const auto &[language, yes] : cases) {
    QMessageBox box;
    ApplyLanguage(&box, language);
    box.setStandardButtons(QMessageBox::Yes);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().toStdString(), yes) << language;
  }
}
