// Settings stores and the text form of setting values.
#include <cwchar>

#include "app/settings.h"

// INI file -------------------------------------------------------------------

TSettingValues TIniStore::ReadSection(const std::wstring& Section) {
  TSettingValues values;
  std::wstring buf(32768, L'\0');
  for (;;) {
    DWORD n = GetPrivateProfileSectionW(Section.c_str(), buf.data(), static_cast<DWORD>(buf.size()),
                                        FileName.c_str());
    if (n + 2 < buf.size() || buf.size() >= (1u << 24)) {
      buf.resize(n);
      break;
    }
    buf.assign(buf.size() * 4, L'\0');
  }
  size_t start = 0;
  while (start < buf.size()) {
    size_t end = buf.find(L'\0', start);
    if (end == std::wstring::npos) end = buf.size();
    std::wstring line = buf.substr(start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    size_t eq = line.find(L'=');
    if (eq == std::wstring::npos)
      values.emplace_back(line, L"");
    else
      values.emplace_back(line.substr(0, eq), line.substr(eq + 1));
  }
  return values;
}

bool TIniStore::WriteString(const std::wstring& Section, const std::wstring& Name,
                            const std::wstring& Value) {
  if (!Prepared) {
    Prepared = true;
    // A new file is written as UTF-16 (with its mark) so that no character is lost.
    HANDLE h = CreateFileW(FileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      const unsigned char bom[2] = {0xFF, 0xFE};
      DWORD written = 0;
      WriteFile(h, bom, 2, &written, nullptr);
      CloseHandle(h);
    }
  }
  return WritePrivateProfileStringW(Section.c_str(), Name.c_str(), Value.c_str(),
                                    FileName.c_str()) != FALSE;
}

bool TIniStore::EraseSection(const std::wstring& Section) {
  // A missing file has nothing to lose, and is left for WriteString to create.
  if (GetFileAttributesW(FileName.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
  return WritePrivateProfileStringW(Section.c_str(), nullptr, nullptr, FileName.c_str()) != FALSE;
}

// Registry ----------------------------------------------------------------------

std::unique_ptr<TRegistryStore> TRegistryStore::OpenForRead(HKEY Root,
                                                            const std::wstring& RootName) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(Root, KeyPath, 0, ReadAccess, &key) != ERROR_SUCCESS) key = nullptr;
  return std::unique_ptr<TRegistryStore>(new TRegistryStore(key, ReadAccess, RootName));
}

std::unique_ptr<TRegistryStore> TRegistryStore::OpenForWrite(HKEY Root,
                                                             const std::wstring& RootName) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(Root, KeyPath, 0, nullptr, 0, WriteAccess, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return nullptr;
  return std::unique_ptr<TRegistryStore>(new TRegistryStore(key, WriteAccess, RootName));
}

TRegistryStore::~TRegistryStore() {
  if (Key) RegCloseKey(Key);
}

std::wstring TRegistryStore::Name() const {
  return RootName + L"\\" + KeyPath;
}

TSettingValues TRegistryStore::ReadSection(const std::wstring& Section) {
  TSettingValues values;
  HKEY sub = nullptr;
  if (!Key || RegOpenKeyExW(Key, Section.c_str(), 0, ReadAccess, &sub) != ERROR_SUCCESS)
    return values;
  DWORD maxName = 0, maxData = 0;
  RegQueryInfoKeyW(sub, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                   &maxData, nullptr, nullptr);
  std::wstring name(maxName + 2, L'\0');
  std::vector<BYTE> data(maxData + 4);
  for (DWORD i = 0;; ++i) {
    DWORD nameLen = static_cast<DWORD>(name.size());
    DWORD dataLen = static_cast<DWORD>(data.size()) - 2;
    DWORD type = 0;
    LONG rc = RegEnumValueW(sub, i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen);
    if (rc != ERROR_SUCCESS) break;
    std::wstring value;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      value.assign(reinterpret_cast<const wchar_t*>(data.data()), dataLen / sizeof(wchar_t));
      while (!value.empty() && value.back() == L'\0') value.pop_back();
    }
    // Values of other types read as empty text, which parses as nothing.
    values.emplace_back(name.substr(0, nameLen), value);
  }
  RegCloseKey(sub);
  return values;
}

bool TRegistryStore::WriteString(const std::wstring& Section, const std::wstring& Name,
                                 const std::wstring& Value) {
  if (!Key || Access != WriteAccess) return false;
  HKEY sub = nullptr;
  if (RegCreateKeyExW(Key, Section.c_str(), 0, nullptr, 0, WriteAccess, nullptr, &sub, nullptr) !=
      ERROR_SUCCESS)
    return false;
  LONG rc =
      RegSetValueExW(sub, Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                     static_cast<DWORD>((Value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(sub);
  return rc == ERROR_SUCCESS;
}

bool TRegistryStore::EraseSection(const std::wstring& Section) {
  if (!Key || Access != WriteAccess) return false;
  const LONG rc = RegDeleteKeyW(Key, Section.c_str());
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

// Value text -------------------------------------------------------------------------

std::wstring IntToSetting(int32_t Value) {
  return std::to_wstring(Value);
}
std::wstring BoolToSetting(bool Value) {
  return Value ? L"1" : L"0";
}

std::wstring ColorToSetting(ui::Color Value) {
  wchar_t buf[16];
  swprintf(buf, 16, L"$%06X", static_cast<unsigned>(static_cast<uint32_t>(Value)));
  return buf;
}

bool TryParseSetting(const std::wstring& Text, int32_t& Value) {
  if (Text.empty()) return false;
  if (Text[0] == L'$') {
    if (Text.size() == 1) return false;
    uint64_t v = 0;
    for (size_t i = 1; i < Text.size(); ++i) {
      wchar_t c = Text[i];
      int d = c >= L'0' && c <= L'9'   ? c - L'0'
              : c >= L'A' && c <= L'F' ? c - L'A' + 10
              : c >= L'a' && c <= L'f' ? c - L'a' + 10
                                       : -1;
      if (d < 0) return false;
      v = v * 16 + d;
      if (v > 0xFFFFFFFFull) return false;
    }
    Value = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
  }
  size_t i = 0;
  bool negative = false;
  if (Text[0] == L'-' || Text[0] == L'+') {
    negative = Text[0] == L'-';
    i = 1;
  }
  if (i == Text.size()) return false;
  int64_t v = 0;
  for (; i < Text.size(); ++i) {
    wchar_t c = Text[i];
    if (c < L'0' || c > L'9') return false;
    v = v * 10 + (c - L'0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  Value = static_cast<int32_t>(v);
  return true;
}

std::wstring FindSetting(const TSettingValues& Values, const std::wstring& Name) {
  for (const auto& [name, value] : Values)
    if (CompareStringOrdinal(name.c_str(), -1, Name.c_str(), -1, TRUE) == CSTR_EQUAL) return value;
  return {};
}

std::wstring EncodeFolderName(const std::wstring& Folder) {
  std::string bytes = ui::ToUtf8(Folder);
  std::wstring out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) out += static_cast<wchar_t>(b);
  return out;
}

std::wstring DecodeFolderName(const std::wstring& Name) {
  std::string bytes;
  for (wchar_t c : Name) {
    if (c > 0xFF) return Name;  // not written by us: keep it as it stands
    bytes += static_cast<char>(c);
  }
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                          static_cast<int>(bytes.size()), nullptr, 0) == 0 &&
      !bytes.empty())
    return Name;  // not UTF-8: keep the text as it stands rather than lose the folder
  return ui::FromUtf8(bytes);
}
