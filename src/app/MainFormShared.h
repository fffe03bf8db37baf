#pragma once
// What the main window's files share: its message boxes, the texts more than one of them shows,
// and the guard of handlers that must not take the window down.
#include <QString>

#include <functional>
#include <string>

namespace mainform {

QString Q(const std::string &text);
int Inform(const std::string &text);
void ShowError(const std::string &text);
// Handlers whose failures must not take the window down.
void IgnoringFailures(const std::function<void()> &step);
// A settings folder that cannot be written (read-only, or on a full disk) would otherwise lose
// the titles and options of this session without a word.
std::string SettingsNotSaved();
std::string CheckCDRom();
std::string GetCDHandleFirst();

} // namespace mainform
