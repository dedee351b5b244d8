// The update and verify passes: new-file scan, selection of the entries to hash, hashing.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "document/data.h"
#include "document/passes.h"
#include "hash/coders.h"
#include "hash/misc.h"
#include "hash/registry.h"

TFindFirstFileFunc PassFindFirstFile = FindFirstFileW;

namespace {

bool IsDotName(const wchar_t* Name) {
  return Name[0] == L'.' && (Name[1] == 0 || (Name[1] == L'.' && Name[2] == 0));
}

// Runs a folder listing and closes its handle on every path out.
class TListing {
 public:
  explicit TListing(const std::wstring& Pattern)
      : Handle(PassFindFirstFile(AddLongPathPrefix(Pattern).c_str(), &Data)) {
    if (Handle == INVALID_HANDLE_VALUE) Error = GetLastError();
  }
  ~TListing() {
    if (Handle != INVALID_HANDLE_VALUE) FindClose(Handle);
  }
  TListing(const TListing&) = delete;
  TListing& operator=(const TListing&) = delete;

  // The current item, or nullptr once the listing has ended.
  const WIN32_FIND_DATAW* Current() const { return Handle != INVALID_HANDLE_VALUE ? &Data : nullptr; }
  void Next() {
    if (!FindNextFileW(Handle, &Data)) {
      Error = GetLastError();
      FindClose(Handle);
      Handle = INVALID_HANDLE_VALUE;
    }
  }
  // The code that ended the listing: no more files (18) and nothing found (2) are normal ends.
  bool Failed() const { return Error != ERROR_NO_MORE_FILES && Error != ERROR_FILE_NOT_FOUND; }
  DWORD ErrorCode() const { return Error; }

 private:
  WIN32_FIND_DATAW Data;
  HANDLE Handle;
  DWORD Error = ERROR_NO_MORE_FILES;
};

bool IsDirectory(const WIN32_FIND_DATAW& Data) {
  return (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The recursive part of the new-file scan. Path holds the identities of the folders from the
// root down to the one being listed: a folder link that leads back to one of them is not
// entered again, or the scan would repeat until the path grew too long for the platform.
class TNewFileScan {
 public:
  TNewFileScan(TFileList& List, const std::wstring& Root, const std::wstring& Mask)
      : List(List), Root(Root), Mask(Mask) {}

  void EnterPath(const std::wstring& Rel) {
    Push(Root);
    for (size_t i = Rel.find(L'\\'); i != std::wstring::npos; i = Rel.find(L'\\', i + 1))
      Push(Root + Rel.substr(0, i + 1));
  }

  bool Scan(const std::wstring& Rel) {
    if (!List.DoStatus(Root + Rel + Mask)) return false;
    // With a mask that takes every name, the file listing is the folder listing too: one
    // listing per folder instead of two, remembering the sub-folders for afterwards.
    const bool every_name = Mask == L"*.*" || Mask == L"*";
    std::vector<std::wstring> subs;
    {
      TListing files(Root + Rel + Mask);
      for (; const WIN32_FIND_DATAW* item = files.Current(); files.Next())
        if (!IsDirectory(*item))
          AddFile(Rel, *item);
        else if (every_name && List.UpdateRecurse && !IsDotName(item->cFileName))
          subs.push_back(item->cFileName);
      if (files.Failed()) return List.DoScanError(Root + Rel, files.ErrorCode());
    }
    if (!List.UpdateRecurse) return true;
    if (every_name) {
      for (const std::wstring& sub : subs)
        if (!Enter(Rel + sub + L'\\')) return false;
      return true;
    }

    TListing folders(Root + Rel + L"*.*");
    for (; const WIN32_FIND_DATAW* item = folders.Current(); folders.Next())
      if (IsDirectory(*item) && !IsDotName(item->cFileName) &&
          !Enter(Rel + item->cFileName + L'\\'))
        return false;
    if (folders.Failed()) return List.DoScanError(Root + Rel, folders.ErrorCode());
    return true;
  }

 private:
  // Scans a sub-folder unless it is one of the folders being scanned already.
  bool Enter(const std::wstring& Sub) {
    TFileId id;
    bool known = GetFileId(Root + Sub, id);
    if (known && std::find(Path.begin(), Path.end(), id) != Path.end()) return true;
    if (known) Path.push_back(id);
    bool go_on = Scan(Sub);
    if (known) Path.pop_back();
    return go_on;
  }

  void Push(const std::wstring& Folder) {
    TFileId id;
    if (GetFileId(Folder, id)) Path.push_back(id);
  }

  bool IsListFile(const std::wstring& Name) const {
    const std::wstring& own = List.ListFileName;
    return own.size() == Root.size() + Name.size() && own.compare(0, Root.size(), Root) == 0 &&
           own.compare(Root.size(), Name.size(), Name) == 0;
  }

  void AddFile(const std::wstring& Rel, const WIN32_FIND_DATAW& Data) {
    std::wstring name = Rel + Data.cFileName;
    int32_t index;
    if (List.FindIndex(name, index)) return;
    if (IsListFile(name)) return;
    auto item = std::make_unique<TFileItem>();
    item->FileName = std::move(name);
    item->FileSize = (int64_t(Data.nFileSizeHigh) << 32) | Data.nFileSizeLow;
    item->HashType = List.UpdateHash;
    item->HashCode = List.UpdateCode;
    item->State = fsNewFile;
    item->Owner = &List;
    TFileItem* added = item.get();
    List.Items.push_back(std::move(item));
    List.NameIndex.Insert(index, added);
    List.Modified = true;
  }

  TFileList& List;
  const std::wstring& Root;
  const std::wstring& Mask;
  std::vector<TFileId> Path;  // folders by identity: the same whatever name leads to them
};

bool IsBlankHash(const std::string& Value) {
  return std::all_of(Value.begin(), Value.end(), [](char c) { return uint8_t(c) <= 32; });
}

// A registry look-up that remembers its last answer: the entries of a document mostly share
// one hash type and one encoding, and the registries do not change while a pass runs.
template <class TClass, TClass (*Lookup)(std::string_view)>
class TLastFound {
 public:
  TClass Find(const std::string& Name) {
    if (!Valid || Name != LastName) {
      LastName = Name;
      Last = Lookup(Name);
      Valid = true;
    }
    return Last;
  }

 private:
  std::string LastName;
  TClass Last = nullptr;
  bool Valid = false;
};

// One read buffer for a whole pass: under Wine allocating and freeing it costs more than
// reading a small file.
class TReadBuffer {
 public:
  TReadBuffer() : Data(VirtualAlloc(nullptr, HashBlockSize, MEM_COMMIT, PAGE_READWRITE)) {}
  ~TReadBuffer() {
    if (Data) VirtualFree(Data, 0, MEM_RELEASE);
  }
  TReadBuffer(const TReadBuffer&) = delete;
  TReadBuffer& operator=(const TReadBuffer&) = delete;

  int32_t HashFile(const std::wstring& Path, THasher& Hasher, const TProgressEvent& OnProgress) {
    return Data ? ::HashFile(Path, Hasher, OnProgress, Data) : ::HashFile(Path, Hasher, OnProgress);
  }

 private:
  void* Data;
};

}  // namespace

bool TFileList::AddNewFiles(const std::wstring& Root, const std::wstring& Rel,
                            const std::wstring& Mask) {
  TNewFileScan scan(*this, Root, Mask);
  scan.EnterPath(Rel);
  return scan.Scan(Rel);
}

bool TFileList::PrepareUpdate(const std::wstring& Folder, int64_t& TotalBytes, int32_t& Count) {
  NameIndex.Clear();
  for (auto& item : Items) {
    item->State = fsNone;
    NameIndex.Add(item.get());
  }
  NameIndex.Sort();

  if (UpdateFind && !AddNewFiles(Folder, L"", UpdateMask.empty() ? L"*.*" : UpdateMask))
    return false;

  TotalBytes = 0;
  Count = 0;
  for (auto& entry : Items) {
    TFileItem& item = *entry;
    item.Selected = false;
    if (!GetFileSizeTime(MakeFullPath(Folder, item.FileName), item.NewSize, item.NewTime)) {
      item.State = fsNotFound;
      if (!DoItemDone(&item, false)) return false;
      continue;
    }
    item.Selected = UpdateMode == 0 ||
                    ((UpdateMode & umSize) && (item.FileSize < 0 || item.NewSize != item.FileSize)) ||
                    ((UpdateMode & umTime) && (item.FileTime <= 0 || item.NewTime != item.FileTime)) ||
                    ((UpdateMode & umHash) && IsBlankHash(item.HashValue));
    if (item.Selected) {
      Count++;
      TotalBytes += item.NewSize;
    }
  }
  return true;
}

bool TFileList::PrepareVerify(const std::wstring& Folder, int64_t& TotalBytes, int32_t& Count) {
  TotalBytes = 0;
  Count = 0;
  for (auto& entry : Items) {
    TFileItem& item = *entry;
    if (item.State != fsNewFile) item.State = fsNone;
    item.Selected = false;
    if (!GetFileSizeTime(MakeFullPath(Folder, item.FileName), item.NewSize, item.NewTime)) {
      item.State = fsNotFound;
      if (!DoItemDone(&item, false)) return false;
      continue;
    }
    if (item.FileTime > 0 && item.NewTime > item.FileTime) {
      item.State = fsUpdated;
      if (VerifyTime) {
        if (!DoItemDone(&item, false)) return false;
        continue;
      }
    }
    if (item.FileSize >= 0 && item.NewSize != item.FileSize) {
      if (item.State == fsNone) item.State = fsChanged;
      if (VerifySize) {
        if (!DoItemDone(&item, false)) return false;
        continue;
      }
    }
    item.Selected = true;
    TotalBytes += item.NewSize;
    Count++;
  }
  return true;
}

bool TFileList::ProcessItems(const std::wstring& Folder, bool IsUpdate) {
  const size_t count = Items.size();
  TReadBuffer buffer;
  TLastFound<THasherClass, FindHasher> hashers;
  TLastFound<TCoderClass, FindCoder> coders;
  for (size_t i = 0; i < count && i < Items.size(); i++) {
    TFileItem& item = *Items[i];
    if (!item.Selected) continue;
    if (!DoStatus(item.FileName)) return false;

    THasherClass hasher_class = hashers.Find(item.HashType);
    TCoderClass coder = coders.Find(item.HashCode);
    if (!hasher_class || !coder) {
      item.State = fsInvalid;
      if (!DoItemDone(&item, false)) return false;
      continue;
    }

    std::unique_ptr<THasher> hasher = hasher_class->Create();
    int32_t rc = buffer.HashFile(MakeFullPath(Folder, item.FileName), *hasher, OnProgress);
    if (rc == HashCancelled) continue;  // this file only: the next entry's status event may stop the pass
    if (rc != 0) {
      item.State = fsReadError;
      if (!DoItemDone(&item, false)) return false;
      continue;
    }

    coder->Encode(hasher->DigestKey(), hasher->DigestSize(), item.NewHash);
    bool ok;
    if (IsUpdate) {
      ok = true;
      if (item.State != fsNewFile) item.State = fsOK;
      item.SetHashValue(item.NewHash);
      item.SetFileTime(item.NewTime);
      item.SetFileSize(item.NewSize);
    } else {
      ok = SameHashText(item.NewHash, item.HashValue, coder->CaseSensitive());
      if (ok)
        item.State = item.State == fsUpdated ? fsTouched : fsOK;
      else if (item.State == fsNone)
        item.State = fsChanged;
    }
    if (!DoItemDone(&item, ok)) return false;
  }
  return true;
}
