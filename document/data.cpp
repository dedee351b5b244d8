#include "document/data.h"

#include <windows.h>

#include <algorithm>

#include "hash/errors.h"
#include "hash/registry.h"

namespace {
// The document's invariant checks name this unit and a fixed line, as users report them.
[[noreturn]] void AssertionFailure(int Line) {
  throw EAssertionFailed(L"Assertion failure (data, line " + std::to_wstring(Line) + L")");
}

template <class T>
void SetField(TFileItem& Item, T& Field, const T& Value, int Line) {
  if (!Item.Owner) AssertionFailure(Line);
  if (Field != Value) {
    Field = Value;
    Item.Owner->Modified = true;
  }
}

template <class T>
void SetSetting(TFileList& List, T& Field, const T& Value) {
  if (Field != Value) {
    Field = Value;
    List.Modified = true;
  }
}
}  // namespace

// TFileItem -----------------------------------------------------------------

void TFileItem::SetFileName(const std::wstring& Value) {
  SetField(*this, FileName, Value, 304);
}
void TFileItem::SetFileTime(int64_t Value) {
  SetField(*this, FileTime, Value, 310);
}
void TFileItem::SetFileSize(int64_t Value) {
  SetField(*this, FileSize, Value, 316);
}
void TFileItem::SetHashType(const std::string& Value) {
  SetField(*this, HashType, Value, 322);
}
void TFileItem::SetHashCode(const std::string& Value) {
  SetField(*this, HashCode, Value, 328);
}
void TFileItem::SetHashValue(const std::string& Value) {
  SetField(*this, HashValue, Value, 334);
}
void TFileItem::SetFileNote(const std::wstring& Value) {
  SetField(*this, FileNote, Value, 340);
}

// Until a pass has judged the entry nothing counts as changed.
bool TFileItem::TimeChanged() const {
  return State != fsNone && FileTime > 0 && NewTime > 0 && FileTime != NewTime;
}

bool TFileItem::SizeChanged() const {
  return State != fsNone && FileSize >= 0 && NewSize >= 0 && FileSize != NewSize;
}

bool TFileItem::HashChanged() const {
  if (State == fsNone || HashValue.empty() || NewHash.empty()) return false;
  const TCoderClass coder = FindCoder(HashCode);
  if (!coder) return false;
  return !SameHashText(HashValue, NewHash, coder->CaseSensitive());
}

bool SameHashText(const std::string& A, const std::string& B, bool CaseSensitive) {
  if (CaseSensitive) return A == B;
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return std::equal(A.begin(), A.end(), B.begin(), B.end(),
                    [&](char a, char b) { return lower(a) == lower(b); });
}

// TFileList -----------------------------------------------------------------

TFileList::TFileList() = default;

// The index points into Items, so it goes first.
TFileList::~TFileList() {
  NameIndex.Clear();
  Items.clear();
}

void TFileList::Clear() {
  NameIndex.Clear();
  Items.clear();
  ListFileName.clear();
  ListFolder.clear();
  UpdateFolder.clear();
  UpdateMask.clear();
  UpdateMode = 0;
  UpdateRecurse = true;
  UpdateFind = true;
  UpdateHash = "MD5";
  UpdateCode = "HEX";
  VerifyFolder.clear();
  VerifyTime = false;
  VerifySize = true;
  LastUpdate = 0;
  Modified = false;
}

int32_t TFileList::Delete(TFileItem* Item) {
  Modified = true;
  const auto it =
      std::find_if(Items.begin(), Items.end(),
                   [Item](const std::unique_ptr<TFileItem>& p) { return p.get() == Item; });
  if (it == Items.end()) return -1;
  const int32_t index = static_cast<int32_t>(it - Items.begin());
  NameIndex.Clear();
  Items.erase(it);
  return index;
}

void TFileList::DeleteIf(const std::function<bool(const TFileItem*)>& Gone) {
  Modified = true;
  NameIndex.Clear();
  std::erase_if(Items, [&](const std::unique_ptr<TFileItem>& p) { return Gone(p.get()); });
}

TFileItem* TFileList::GetItem(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) AssertionFailure(353);
  return Items[Index].get();
}

bool TFileList::FindIndex(const std::wstring& Name, int32_t& Index) const {
  return NameIndex.LowerBound(Name, Index);
}

void TFileList::SetUpdateFolder(const std::wstring& Value) {
  SetSetting(*this, UpdateFolder, Value);
}
void TFileList::SetUpdateMask(const std::wstring& Value) {
  SetSetting(*this, UpdateMask, Value);
}
void TFileList::SetUpdateFind(bool Value) {
  SetSetting(*this, UpdateFind, Value);
}
void TFileList::SetUpdateMode(TUpdateModes Value) {
  SetSetting(*this, UpdateMode, Value);
}
void TFileList::SetUpdateRecurse(bool Value) {
  SetSetting(*this, UpdateRecurse, Value);
}
void TFileList::SetUpdateHash(const std::string& Value) {
  SetSetting(*this, UpdateHash, Value);
}
void TFileList::SetUpdateCode(const std::string& Value) {
  SetSetting(*this, UpdateCode, Value);
}
void TFileList::SetVerifyFolder(const std::wstring& Value) {
  SetSetting(*this, VerifyFolder, Value);
}
void TFileList::SetVerifyTime(bool Value) {
  SetSetting(*this, VerifyTime, Value);
}
void TFileList::SetVerifySize(bool Value) {
  SetSetting(*this, VerifySize, Value);
}

bool TFileList::DoConvertName(const std::string& RawName, std::wstring& Name) const {
  if (OnConvertName) return OnConvertName(RawName, Name);
  Name.clear();
  if (RawName.empty()) return true;
  const int srcLength = static_cast<int>(RawName.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, RawName.data(), srcLength, nullptr, 0);
  if (n > 0) {
    Name.resize(n);
    MultiByteToWideChar(CP_ACP, 0, RawName.data(), srcLength, Name.data(), n);
  }
  return true;
}

bool TFileList::DoStatus(const std::wstring& Text) const {
  return OnStatus ? OnStatus(Text) : true;
}

bool TFileList::DoItemDone(TFileItem* Item, bool Ok) const {
  return OnItemDone ? OnItemDone(Item, Ok) : true;
}

bool TFileList::DoScanError(const std::wstring& Folder, uint32_t ErrorCode) const {
  return OnScanError ? OnScanError(Folder, ErrorCode) : true;
}

int32_t CompareItemNames(const TFileItem* Item1, const TFileItem* Item2) {
  const std::wstring& a = Item1->FileName;
  const std::wstring& b = Item2->FileName;
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()),
                        b.c_str(), static_cast<int>(b.size())) -
         CSTR_EQUAL;
}
