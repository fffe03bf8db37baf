#include "Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

namespace plat {

namespace {

TDialogScript *script = nullptr; // used on the user-interface thread only

// Records a dialog with the script and hands back its queued answer, if any.
bool Scripted(TShownDialog shown, TDialogAnswer &answer) {
  if (!script)
    return false;
  script->Shown.push_back(std::move(shown));
  if (script->Answers.empty()) {
    answer.Result = 0;
    return true;
  }
  answer = script->Answers.front();
  script->Answers.pop_front();
  return true;
}

struct TButtonSet {
  std::vector<std::pair<QMessageBox::StandardButton, int>> Buttons;
};

TButtonSet ButtonsOf(TMsgButtons buttons) {
  using B = QMessageBox;
  switch (buttons) {
  case TMsgButtons::OK: return {{{B::Ok, idOK}}};
  case TMsgButtons::OKCancel: return {{{B::Ok, idOK}, {B::Cancel, idCancel}}};
  case TMsgButtons::YesNo: return {{{B::Yes, idYes}, {B::No, idNo}}};
  case TMsgButtons::YesNoCancel: return {{{B::Yes, idYes}, {B::No, idNo}, {B::Cancel, idCancel}}};
  case TMsgButtons::RetryCancel: return {{{B::Retry, idRetry}, {B::Cancel, idCancel}}};
  case TMsgButtons::AbortRetryIgnore:
    return {{{B::Abort, idAbort}, {B::Retry, idRetry}, {B::Ignore, idIgnore}}};
  }
  return {{{B::Ok, idOK}}};
}

// The answer of a box closed without a button: Cancel where there is one, else the last.
int EscapeResult(const TButtonSet &set) {
  for (auto &b : set.Buttons)
    if (b.second == idCancel)
      return idCancel;
  return set.Buttons.back().second;
}

QString Q(const std::string &s) { return QString::fromStdString(s); }

} // namespace

TDialogScript::TDialogScript() { script = this; }
std::vector<std::string> TDialogScript::Messages() const {
  std::vector<std::string> texts;
  for (const TShownDialog &shown : Shown)
    if (shown.Kind == "message")
      texts.push_back(shown.Text);
  return texts;
}

TDialogScript::~TDialogScript() {
  if (script == this)
    script = nullptr;
}

int MessageBox(const std::string &text, const std::string &caption, TMsgButtons buttons,
               TMsgIcon icon, int defaultButton) {
  TButtonSet set = ButtonsOf(buttons);
  size_t defaultIndex = defaultButton >= 1 && size_t(defaultButton) <= set.Buttons.size()
                            ? size_t(defaultButton) - 1
                            : 0;
  TDialogAnswer answer;
  if (Scripted({"message", caption, text, icon, buttons, defaultButton}, answer))
    return answer.Result ? answer.Result : set.Buttons[defaultIndex].second;

  QMessageBox box(QApplication::activeWindow());
  box.setWindowTitle(Q(caption));
  box.setText(Q(text));
  switch (icon) {
  case TMsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
  case TMsgIcon::Information: box.setIcon(QMessageBox::Information); break;
  case TMsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
  case TMsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
  case TMsgIcon::Question: box.setIcon(QMessageBox::Question); break;
  }
  for (auto &b : set.Buttons)
    box.addButton(b.first);
  box.setDefaultButton(set.Buttons[defaultIndex].first);
  box.exec();
  QAbstractButton *clicked = box.clickedButton();
  for (auto &b : set.Buttons)
    if (clicked && clicked == box.button(b.first))
      return b.second;
  return EscapeResult(set);
}

std::string QtFilter(const std::string &windowsFilter) {
  QStringList parts = Q(windowsFilter).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1].trimmed();
    patterns.replace(';', ' ');
    QString name = parts[i].trimmed();
    // A name that already ends in its patterns, as "Sound file(*.wav)", shows them once.
    if (!name.endsWith("(" + patterns + ")"))
      name += " (" + patterns + ")";
    filters << name;
  }
  return filters.join(";;").toStdString();
}

bool OpenFileDialog(const TFileDialogOptions &options, std::vector<std::string> &files) {
  TDialogAnswer answer;
  if (Scripted({"open", options.Title, options.Filter}, answer)) {
    if (answer.Result != idOK || answer.Files.empty())
      return false;
    files = answer.Files;
    return true;
  }
  QString dir = Q(options.InitialDir);
  if (!options.FileName.empty())
    dir = QFileInfo(QDir(dir), Q(options.FileName)).filePath();
  QStringList chosen;
  if (options.MultiSelect) {
    chosen = QFileDialog::getOpenFileNames(QApplication::activeWindow(), Q(options.Title), dir,
                                           Q(QtFilter(options.Filter)));
  } else {
    QString one = QFileDialog::getOpenFileName(QApplication::activeWindow(), Q(options.Title), dir,
                                               Q(QtFilter(options.Filter)));
    if (!one.isEmpty())
      chosen << one;
  }
  if (chosen.isEmpty())
    return false;
  files.clear();
  for (auto &f : chosen)
    files.push_back(f.toStdString());
  return true;
}

bool SaveFileDialog(const TFileDialogOptions &options, std::string &file) {
  TDialogAnswer answer;
  if (Scripted({"save", options.Title, options.Filter}, answer)) {
    if (answer.Result != idOK || answer.Files.empty())
      return false;
    file = answer.Files.front();
    return true;
  }
  QString dir = Q(options.InitialDir);
  if (!options.FileName.empty())
    dir = QFileInfo(QDir(dir), Q(options.FileName)).filePath();
  QString chosen = QFileDialog::getSaveFileName(QApplication::activeWindow(), Q(options.Title), dir,
                                                Q(QtFilter(options.Filter)));
  if (chosen.isEmpty())
    return false;
  if (!options.DefaultExt.empty() && QFileInfo(chosen).suffix().isEmpty())
    chosen += "." + Q(options.DefaultExt);
  file = chosen.toStdString();
  return true;
}

bool BrowseForFolder(const std::string &title, std::string &folder) {
  TDialogAnswer answer;
  if (Scripted({"folder", title, folder}, answer)) {
    if (answer.Result != idOK || answer.Files.empty())
      return false;
    folder = answer.Files.front();
    return true;
  }
  QString chosen =
      QFileDialog::getExistingDirectory(QApplication::activeWindow(), Q(title), Q(folder));
  if (chosen.isEmpty())
    return false;
  folder = chosen.toStdString();
  return true;
}

int ShowModal(QDialog &dialog) {
  if (script) {
    script->Shown.push_back(
        {"modal", dialog.windowTitle().toStdString(), dialog.objectName().toStdString()});
    if (script->ModalHandler)
      return script->ModalHandler(dialog);
    if (!script->Answers.empty()) {
      int result = script->Answers.front().Result;
      script->Answers.pop_front();
      return result;
    }
    return idCancel;
  }
  return dialog.exec();
}

bool ShellOpen(const std::string &target) {
  TDialogAnswer answer;
  if (Scripted({"shell", "", target}, answer))
    return true;
  QUrl url =
      target.find("://") != std::string::npos ? QUrl(Q(target)) : QUrl::fromLocalFile(Q(target));
  if (QDesktopServices::openUrl(url))
    return true;
  if (ShellOpenFailed)
    ShellOpenFailed(target, !QStandardPaths::findExecutable("xdg-open").isEmpty());
  return false;
}

std::function<void(const std::string &, bool)> ShellOpenFailed;

bool RunDetached(const std::vector<std::string> &argv) {
  if (argv.empty())
    return false;
  std::string line;
  for (const std::string &arg : argv)
    line += (line.empty() ? "" : " ") + arg;
  TDialogAnswer answer;
  if (Scripted({"run", "", line}, answer))
    return true;
  QStringList arguments;
  for (std::size_t i = 1; i < argv.size(); ++i)
    arguments << Q(argv[i]);
  return QProcess::startDetached(Q(argv[0]), arguments);
}

bool RunMixer(bool recording, const std::string &caption) {
  // The mixers a desktop may have, the usual one first, with the option that opens the page of
  // input devices where there is one.
  const struct {
    const char *Program;
    const char *InputPage;
  } mixers[] = {{"pavucontrol", "--tab=4"},
                {"pavucontrol-qt", "--tab=4"},
                {"kmix", nullptr},
                {"xfce4-mixer", nullptr},
                {"gnome-alsamixer", nullptr}};
  for (const auto &mixer : mixers) {
    if (QStandardPaths::findExecutable(mixer.Program).isEmpty())
      continue;
    std::vector<std::string> argv{mixer.Program};
    if (recording && mixer.InputPage)
      argv.emplace_back(mixer.InputPage);
    if (RunDetached(argv))
      return true;
  }
  MessageBox("No volume control was found: install pavucontrol.", caption, TMsgButtons::OK,
             TMsgIcon::Error);
  return false;
}

} // namespace plat
