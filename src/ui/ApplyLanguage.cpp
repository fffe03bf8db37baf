#include "ApplyLanguage.h"

#include "Global.h"
#include "IniFile.h"
#include "Language.h"
#include "Text.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QStatusBar>
#include <QTabWidget>
#include <QTranslator>
#include <QTreeView>
#include <filesystem>

namespace {

class TTranslator {
public:
  TTranslator(QWidget *form, const std::string &lan)
      : FIni(LanguageFilePath(lan)), FSection(form->objectName().toStdString()),
        FMenuSection("Menu_" + FSection) {}

  QString Read(const std::string &section, const std::string &key, const QString &current) const {
    return QString::fromStdString(ReadLanguageString(FIni, section, key, current.toStdString()));
  }
  QString Read(const std::string &key, const QString &current) const {
    return Read(FSection, key, current);
  }

  void Form(QWidget *form) { form->setWindowTitle(Read(FSection, form->windowTitle())); }

  // Applies the first rule that fits the part's kind; other kinds are left alone.
  void Part(QObject *part) {
    const std::string name = part->objectName().toStdString();
    if (auto *label = qobject_cast<QLabel *>(part)) {
      // A status bar's labels are its panels, translated by the bar's own name.
      if (!name.empty() && !qobject_cast<QStatusBar *>(label->parent()))
        label->setText(Read(name, label->text()));
    } else if (auto *button = qobject_cast<QAbstractButton *>(part)) {
      if (!name.empty())
        button->setText(Read(name, button->text()));
    } else if (auto *group = qobject_cast<QGroupBox *>(part)) {
      if (!name.empty())
        group->setTitle(Read(name, group->title()));
    } else if (auto *combo = qobject_cast<QComboBox *>(part)) {
      if (!name.empty())
        Combo(combo, name);
    } else if (auto *bar = qobject_cast<QStatusBar *>(part)) {
      if (!name.empty())
        StatusBar(bar, name);
    } else if (auto *view = qobject_cast<QTreeView *>(part)) {
      if (!name.empty() && view->model())
        for (int i = 0; i < view->model()->columnCount(); ++i) {
          QAbstractItemModel *m = view->model();
          QString text = m->headerData(i, Qt::Horizontal).toString();
          m->setHeaderData(i, Qt::Horizontal, Read(name + "_Column" + std::to_string(i), text));
        }
    } else if (auto *tabs = qobject_cast<QTabWidget *>(part)) {
      if (!name.empty())
        for (int i = 0; i < tabs->count(); ++i)
          tabs->setTabText(i, Read(name + "_Page" + std::to_string(i), tabs->tabText(i)));
    } else if (auto *menu = qobject_cast<QMenu *>(part)) {
      if (!name.empty())
        menu->setTitle(Read(FMenuSection, name, menu->title()));
      MenuActions(menu);
    } else if (auto *menuBar = qobject_cast<QMenuBar *>(part)) {
      MenuActions(menuBar);
    }
  }

private:
  void Combo(QComboBox *combo, const std::string &name) {
    // Replacing the current item also replaces an editable box's text, so the text is read
    // first and put back after the items.
    QString text = combo->currentText();
    if (combo->isEditable())
      text = Read(name + "_Text", text);
    for (int i = 0; i < combo->count(); ++i)
      combo->setItemText(i, Read(name + "_Item" + std::to_string(i), combo->itemText(i)));
    if (combo->isEditable())
      combo->setEditText(text);
  }

  void StatusBar(QStatusBar *bar, const std::string &name) {
    int i = 0;
    for (QObject *child : bar->children())
      if (auto *panel = qobject_cast<QLabel *>(child))
        panel->setText(Read(name + "_Panel" + std::to_string(i++), panel->text()));
    if (i == 0)
      bar->showMessage(Read(name, bar->currentMessage()));
  }

  // The plain commands of a menu; submenus are translated as QMenu parts.
  void MenuActions(QWidget *menu) {
    for (QAction *action : menu->actions()) {
      const std::string name = action->objectName().toStdString();
      if (action->isSeparator() || action->menu() || name.empty() || FDone.contains(action))
        continue;
      FDone.insert(action); // an action shown in two menus is read once
      action->setText(Read(FMenuSection, name, action->text()));
    }
  }

  TIniFile FIni;
  std::string FSection, FMenuSection;
  QSet<QAction *> FDone;
};

} // namespace

void UseQtLanguage(const std::string &lan) {
  static QTranslator translator;
  static std::string used;
  const std::string code =
      ReadLanguageString(TIniFile(LanguageFilePath(lan)), "ResourceString", "RES_Qt_Language", "");
  if (code == used || !QCoreApplication::instance())
    return;
  used = code;
  QCoreApplication::removeTranslator(&translator);
  // Without Qt's translations installed (qt6-translations-l10n) its texts stay English.
  if (translator.load(QString::fromStdString("qtbase_" + code),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(&translator);
}

void ApplyLanguage(QWidget *form, const std::string &lan) {
  UseQtLanguage(lan);
  TTranslator t(form, lan);
  t.Form(form);
  // findChildren walks depth first, each parent's children in creation order. Menus go first:
  // a tool button showing a menu command takes the command's text whenever that changes, and
  // the button's own caption must be the one that stays.
  const QList<QObject *> parts = form->findChildren<QObject *>();
  auto isMenu = [](QObject *part) {
    return qobject_cast<QMenu *>(part) || qobject_cast<QMenuBar *>(part);
  };
  for (QObject *part : parts)
    if (isMenu(part))
      t.Part(part);
  for (QObject *part : parts)
    if (!isMenu(part))
      t.Part(part);
}

bool ApplyChosenLanguage(QWidget *form) {
  if (plat::SameText(GlobalOptions.Lan, "English"))
    return false;
  ApplyLanguage(form, GlobalOptions.Lan);
  return true;
}

std::string LanguageOfMenuItem(const std::string &itemName) {
  return itemName.size() > 2 ? itemName.substr(2) : std::string();
}

bool SelectLanguage(const std::string &itemName, std::string &message) {
  std::string lan = LanguageOfMenuItem(itemName);
  std::string path = LanguageFilePath(lan);
  std::error_code ec;
  if (!lan.empty() && std::filesystem::is_regular_file(path, ec)) {
    GlobalOptions.Lan = lan;
    return true;
  }
  message = path + " can not be found.";
  if (lan == "Other")
    message += std::string("\n\nPlease visit ") + product::TranslationPage + ".";
  return false;
}
