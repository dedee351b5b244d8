#pragma once
// Settings stores: flat sections of named string values in the INI file beside the program or
// under the registry key "\Software\Jurnvalt" of a root (per machine or per user). Values are
// written one by one; only a section written afresh as a whole is removed first. A store that
// does not exist reads as empty.
//
// The main window loads and saves its settings through these (TMainForm::LoadSettings and
// SaveSettings, in settings.cpp). Tests give their own INI path and registry roots.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/strings.h"

using TSettingValues = std::vector<std::pair<std::wstring, std::wstring>>;

class TSettingsStore {
 public:
  virtual ~TSettingsStore() = default;
  // Every value of a section, in the store's order; empty when the section is missing.
  virtual TSettingValues ReadSection(const std::wstring& Section) = 0;
  // Writes one value, creating the section as needed; false when the store refused it.
  virtual bool WriteString(const std::wstring& Section, const std::wstring& Name,
                           const std::wstring& Value) = 0;
  // Removes a section with all its values; true also when there was none.
  virtual bool EraseSection(const std::wstring& Section) = 0;
  // How the store is named to the user ("C:\...\jurnvalt.ini").
  virtual std::wstring Name() const = 0;
};

// The INI file. A file this store creates starts with a UTF-16 byte-order mark, so that the
// system's profile functions keep every character of names and values.
class TIniStore : public TSettingsStore {
 public:
  explicit TIniStore(std::wstring FileName) : FileName(std::move(FileName)) {}
  TSettingValues ReadSection(const std::wstring& Section) override;
  bool WriteString(const std::wstring& Section, const std::wstring& Name,
                   const std::wstring& Value) override;
  bool EraseSection(const std::wstring& Section) override;
  std::wstring Name() const override { return FileName; }

 private:
  std::wstring FileName;
  bool Prepared = false;
};

// The key "\Software\Jurnvalt" under a root; each section a subkey, each value a string value.
class TRegistryStore : public TSettingsStore {
 public:
  static constexpr REGSAM ReadAccess = 0x20019;   // KEY_READ
  static constexpr REGSAM WriteAccess = 0x20006;  // KEY_WRITE
  static constexpr const wchar_t* KeyPath = L"Software\\Jurnvalt";

  // Opens the key for reading; a key that does not open gives an empty store.
  static std::unique_ptr<TRegistryStore> OpenForRead(HKEY Root, const std::wstring& RootName);
  // Opens the key for writing, creating it; nullptr when that fails.
  static std::unique_ptr<TRegistryStore> OpenForWrite(HKEY Root, const std::wstring& RootName);
  ~TRegistryStore() override;

  TSettingValues ReadSection(const std::wstring& Section) override;
  bool WriteString(const std::wstring& Section, const std::wstring& Name,
                   const std::wstring& Value) override;
  bool EraseSection(const std::wstring& Section) override;
  std::wstring Name() const override;

 private:
  TRegistryStore(HKEY Key, REGSAM Access, std::wstring RootName)
      : Key(Key), Access(Access), RootName(std::move(RootName)) {}
  HKEY Key;
  REGSAM Access;
  std::wstring RootName;
};

// Value text.
std::wstring IntToSetting(int32_t Value);
std::wstring BoolToSetting(bool Value);
std::wstring ColorToSetting(ui::Color Value);  // "$" + at least six upper-case hex digits
// The whole text as a 32-bit integer: signed decimal, or hexadecimal after "$". Value is left
// alone when the text does not parse.
bool TryParseSetting(const std::wstring& Text, int32_t& Value);
// The value of this name (letter case ignored); empty when missing.
std::wstring FindSetting(const TSettingValues& Values, const std::wstring& Name);

// Folder names of the history are stored as their UTF-8 bytes, one character per byte.
std::wstring EncodeFolderName(const std::wstring& Folder);
std::wstring DecodeFolderName(const std::wstring& Name);
