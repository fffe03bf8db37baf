#pragma once
// A fresh per-user configuration for one test: HOME and XDG_CONFIG_HOME point into a new
// temporary folder, and the process-wide settings start from their built-in values.
#include "Folders.h"
#include "Global.h"
#include "Language.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

class TempConfig : public ::testing::Test {
protected:
  void SetUp() override {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    root = fs::temp_directory_path() /
           ("plindar-settings-" + std::to_string(::getpid()) + "-" + info->name());
    fs::remove_all(root);
    fs::create_directories(root / "home");
    Keep("HOME", oldHome);
    Keep("XDG_CONFIG_HOME", oldConfig);
    ::setenv("HOME", (root / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    GlobalOptions = TGlobalOptions();
  }
  void TearDown() override {
    Restore("HOME", oldHome);
    Restore("XDG_CONFIG_HOME", oldConfig);
    GlobalOptions = TGlobalOptions();
    fs::remove_all(root);
  }

  std::string SettingsFolder() const {
    return (root / "config" / "Varnex" / "Plindar").string() + "/";
  }

  static void WriteFile(const std::string &path, const std::string &text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  fs::path root;

private:
  static void Keep(const char *name, std::optional<std::string> &slot) {
    if (const char *v = std::getenv(name))
      slot = v;
  }
  static void Restore(const char *name, const std::optional<std::string> &slot) {
    if (slot)
      ::setenv(name, slot->c_str(), 1);
    else
      ::unsetenv(name);
  }
  std::optional<std::string> oldHome, oldConfig;
};

// A language file beside the test program, named per test so that suites running side by
// side never share one.
class TempLanguage : public TempConfig {
protected:
  void SetUp() override {
    TempConfig::SetUp();
    lan = std::string("Test") + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
          std::to_string(::getpid());
  }
  void TearDown() override {
    fs::remove(LanguageFilePath(lan));
    TempConfig::TearDown();
  }
  void WriteLanguage(const std::string &text) {
    WriteFile(plat::ProgramFolder() + "CLan_" + lan + ".ini", text);
  }
  std::string lan;
};
