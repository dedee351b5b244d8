#pragma once
// The checksum document: the entries of one checksum file, its update and verify settings, the
// modified flag and the events through which the long passes report to the window running them.
//
// Fields are public: the passes, the XML reader and the text import write the per-pass and
// loaded fields directly. Everything an editor changes goes through the setters, which store a
// value only when it differs and then mark the document modified.
//
// TFileList's methods are spread over several units: the model here (data.cpp), the checksum
// file (xml*.cpp), the update and verify passes (passes.cpp), the text lists (textlist.cpp).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/nameindex.h"
#include "document/textlist.h"
#include "hash/misc.h"

class TFileList;
class TStream;

// Result of the current pass for one entry; stored as a 32-bit value.
enum TFileState : int32_t {
  fsNone = 0,
  fsNotFound = 1,
  fsReadError = 2,
  fsTouched = 3,
  fsChanged = 4,
  fsUpdated = 5,
  fsNewFile = 6,
  fsInvalid = 7,
  fsOK = 8,
};

// Which existing entries an update hashes; the empty set means all of them.
enum TUpdateMode : uint8_t { umSize = 1, umTime = 2, umHash = 4 };
using TUpdateModes = uint8_t;  // a set of TUpdateMode bits

class TFileItem {
 public:
  TFileItem() = default;

  // Persistent fields (written to the checksum file).
  std::wstring FileName;  // relative to the document's folder unless absolute
  int64_t FileTime = 0;   // seconds on the day scale; 0 or less = unknown
  int64_t FileSize = -1;  // negative = unknown
  std::string HashType = "MD5";
  std::string HashCode = "HEX";
  std::string HashValue;  // encoded with HashCode; empty = no hash yet
  std::wstring FileNote;
  // Results of the current pass, never persisted.
  int64_t NewTime = 0;
  int64_t NewSize = 0;
  std::string NewHash;
  TFileState State = fsNone;
  bool Selected = false;
  // Links: the owning document (set by whoever adds the entry) and the list row showing it.
  TFileList* Owner = nullptr;
  void* Node = nullptr;

  void SetFileName(const std::wstring& Value);
  void SetFileTime(int64_t Value);
  void SetFileSize(int64_t Value);
  void SetHashType(const std::string& Value);
  void SetHashCode(const std::string& Value);
  void SetHashValue(const std::string& Value);
  void SetFileNote(const std::wstring& Value);

  // What the last pass found differs from what is stored (colours of the list's cells).
  bool TimeChanged() const;
  bool SizeChanged() const;
  bool HashChanged() const;
};

// Hash texts of one encoding compare equal; where letter case means nothing, ASCII case is
// ignored.
bool SameHashText(const std::string& A, const std::string& B, bool CaseSensitive);

// Events of the long passes; every handler returns whether to go on.
using TConvertNameEvent = std::function<bool(const std::string& RawName, std::wstring& Name)>;
using TStatusEvent = std::function<bool(const std::wstring& Text)>;
using TItemDoneEvent = std::function<bool(TFileItem* Item, bool Ok)>;
using TScanErrorEvent = std::function<bool(const std::wstring& Folder, uint32_t ErrorCode)>;

class TFileList {
 public:
  TFileList();
  ~TFileList();
  TFileList(const TFileList&) = delete;
  TFileList& operator=(const TFileList&) = delete;

  // The entries in document order; the document owns them.
  std::vector<std::unique_ptr<TFileItem>> Items;
  // The entries sorted by CompareItemNames; valid only during an update pass, which rebuilds it.
  // Removing entries empties it, so it never points at a freed entry.
  TNameIndex NameIndex;
  std::wstring ListFileName;  // the checksum file itself
  std::wstring ListFolder;    // its folder
  std::wstring UpdateFolder;
  std::wstring UpdateMask;  // empty means "*.*"
  bool UpdateFind = true;
  TUpdateModes UpdateMode = 0;
  bool UpdateRecurse = true;
  std::string UpdateHash = "MD5";
  std::string UpdateCode = "HEX";
  std::wstring VerifyFolder;
  bool VerifyTime = false;
  bool VerifySize = true;
  int64_t LastUpdate = 0;
  bool Modified = false;
  TConvertNameEvent OnConvertName;
  TProgressEvent OnProgress;  // handed to HashFile by the processing pass
  TStatusEvent OnStatus;
  TItemDoneEvent OnItemDone;
  TScanErrorEvent OnScanError;

  // Frees every entry and resets the settings; the events stay.
  void Clear();
  // Removes and frees Item; returns the index it had, or -1. Marks the document modified in
  // either case.
  int32_t Delete(TFileItem* Item);
  // Removes and frees every entry Gone accepts, in one sweep; marks the document modified.
  void DeleteIf(const std::function<bool(const TFileItem*)>& Gone);
  int32_t GetCount() const { return static_cast<int32_t>(Items.size()); }
  TFileItem* GetItem(int32_t Index) const;
  // Binary search of the name index: Index is the first position whose name is not below Name;
  // true when the name there equals Name.
  bool FindIndex(const std::wstring& Name, int32_t& Index) const;

  void SetUpdateFolder(const std::wstring& Value);
  void SetUpdateMask(const std::wstring& Value);
  void SetUpdateFind(bool Value);
  void SetUpdateMode(TUpdateModes Value);
  void SetUpdateRecurse(bool Value);
  void SetUpdateHash(const std::string& Value);
  void SetUpdateCode(const std::string& Value);
  void SetVerifyFolder(const std::wstring& Value);
  void SetVerifyTime(bool Value);
  void SetVerifySize(bool Value);

  // Event raisers: the event's answer, or true when it is unassigned. Without a handler,
  // DoConvertName widens RawName from the system ANSI code page.
  bool DoConvertName(const std::string& RawName, std::wstring& Name) const;
  bool DoStatus(const std::wstring& Text) const;
  bool DoItemDone(TFileItem* Item, bool Ok) const;
  bool DoScanError(const std::wstring& Folder, uint32_t ErrorCode) const;

  // --- The checksum file (xml*.cpp) ---

  // Writes the document as a checksum file, replacing FileName only once the new file is
  // complete; clears Modified. Raises EFCreateError or EWriteError, leaving Modified as it was.
  bool SaveToXML(const std::wstring& FileName);
  // Adds what the file holds to the document, with the MSXML SAX2 reader or the built-in parser.
  // True when the root's end tag was reached; after a fatal error the three out values hold the
  // parser's message, column and line (otherwise they stay as they were). Well-formed XML whose
  // root is not a checksum file's gives false with no error text and the entries as they were.
  // Raises EFOpenError when the file cannot be opened.
  bool LoadFromXML(const std::wstring& FileName, bool UseMSXML, std::wstring& ErrorMessage,
                   int32_t& ErrorColumn, int32_t& ErrorLine);

  // --- Update and verify passes (passes.cpp) ---

  // Rebuilds the name index, scans Folder for new files when UpdateFind is set and selects the
  // entries to hash by UpdateMode. False when a handler stopped it (the totals mean nothing).
  bool PrepareUpdate(const std::wstring& Folder, int64_t& TotalBytes, int32_t& Count);
  // The new-file scan below Root (ending in a backslash): Rel is the sub-folder being listed,
  // empty or ending in a backslash. False when a handler stopped it.
  bool AddNewFiles(const std::wstring& Root, const std::wstring& Rel, const std::wstring& Mask);
  // Sets the states that follow from size and time and selects the entries to hash.
  bool PrepareVerify(const std::wstring& Folder, int64_t& TotalBytes, int32_t& Count);
  // Hashes the selected entries in document order; false when a handler stopped it.
  bool ProcessItems(const std::wstring& Folder, bool IsUpdate);

  // --- Text checksum lists (textlist.cpp) ---

  // Appends an entry for every MD5SUM, BSD or SFV line from the stream's position to its end;
  // other lines are skipped. False when the name conversion refused a name (the entries added
  // before it stay). Stream errors raise.
  bool ImportTextList(TStream& Stream);
  // Converts RawName through DoConvertName, turns its delimiters into single backslashes and
  // appends the entry (not to the name index). False, and nothing added, when refused.
  bool AddItem(const std::string& RawName, const std::string& HashType,
               const std::string& HashCode, const std::string& HashValue);
  // Writes the header and one line per entry the format can hold. False on a short write.
  // Entries whose value would need an encoding that is not registered are left out; their
  // number goes to Unconverted when given.
  bool ExportTextList(TStream& Stream, TListFormat Format, TLineEnd LineEnd,
                      TPathDelimiter Delimiter, TListCharset Charset, uint32_t CodePage,
                      bool LowerCase, int32_t* Unconverted = nullptr) const;
};

// The name order of the index: CompareStringW ignoring case under the user's default locale;
// below, equal to or above zero.
int32_t CompareItemNames(const TFileItem* Item1, const TFileItem* Item2);
