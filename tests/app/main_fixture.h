#pragma once
// A main window in a scratch setting: the program path in a temporary folder (its INI file
// beside it) and scratch keys for the per-machine and per-user roots; a script answers every
// prompt and the test fails on any unexpected one.
#include <gtest/gtest.h>

#include <memory>

#include "app/main.h"
#include "tests/app/scratch.h"
#include "ui/prompts.h"

class MainFormTest : public ::testing::Test {
 protected:
  TProgramEnv Env(std::vector<std::wstring> params = {}) {
    TProgramEnv e;
    e.ProgramPath = Dir.Path() + L"\\jurnvalt.exe";
    e.MachineRoot = Machine.Root();
    e.UserRoot = User.Root();
    e.MachineRootName = L"HKLM";
    e.UserRootName = L"HKCU";
    e.Params = std::move(params);
    return e;
  }
  std::unique_ptr<TMainForm> NewForm(std::vector<std::wstring> params = {}) {
    return std::make_unique<TMainForm>(Env(std::move(params)));
  }
  std::wstring Ini() const { return Dir.Path() + L"\\jurnvalt.ini"; }
  void WriteIni(const wchar_t* section, const wchar_t* name, const wchar_t* value) {
    WritePrivateProfileStringW(section, name, value, Ini().c_str());
  }
  std::wstring ReadIni(const wchar_t* section, const wchar_t* name) {
    wchar_t buf[1024] = {};
    GetPrivateProfileStringW(section, name, L"<missing>", buf, 1024, Ini().c_str());
    return buf;
  }
  void WriteReg(HKEY root, const wchar_t* section, const wchar_t* name, const wchar_t* value) {
    auto store = TRegistryStore::OpenForWrite(root, L"test");
    ASSERT_TRUE(store && store->WriteString(section, name, value));
  }
  void TearDown() override {
    for (const std::wstring& f : Script.Failures()) ADD_FAILURE() << ui::ToUtf8(f);
  }

  ScratchDir Dir;
  ScratchRegistry Machine, User;
  ui::Script Script;
};
