// The checksum file reader: fills the document from the parser's events.
#include <utility>

#include "document/datetext.h"
#include "document/xml.h"

using namespace std::string_view_literals;

namespace {

// The elements the reader knows, found by their names as written (letter case counts).
enum class TElement {
  Other,
  jurnValt,
  jurnItem,
  fileName,
  fileSize,
  fileTime,
  fileDate,
  fileNote,
  fileHash,
  updateFolder,
  updateMask,
  updateFind,
  updateMode,
  updateRecurse,
  updateHash,
  updateCode,
  updateTime,
  updateDate,
  verifyFolder,
  verifyTime,
  verifySize,
};

constexpr std::wstring_view ElementNames[] = {
    L""sv,           L"jurnValt"sv,   L"jurnItem"sv,   L"fileName"sv,      L"fileSize"sv,
    L"fileTime"sv,   L"fileDate"sv,   L"fileNote"sv,   L"fileHash"sv,      L"updateFolder"sv,
    L"updateMask"sv, L"updateFind"sv, L"updateMode"sv, L"updateRecurse"sv, L"updateHash"sv,
    L"updateCode"sv, L"updateTime"sv, L"updateDate"sv, L"verifyFolder"sv,  L"verifyTime"sv,
    L"verifySize"sv};

// Names compare here for every start and end tag; a loop the compiler sees through beats a call
// into the C library.
bool SameName(std::wstring_view A, std::wstring_view B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i) {
    if (A[i] != B[i]) return false;
  }
  return true;
}

// The length and a character or two tell which known name a name can only be; the whole name
// then decides.
TElement ElementOf(std::wstring_view Name) {
  TElement e = TElement::Other;
  switch (Name.size()) {
    case 8:
      switch (Name[4]) {
        case L'V':
          e = TElement::jurnValt;
          break;
        case L'I':
          e = TElement::jurnItem;
          break;
        case L'N':
          e = Name[5] == L'a' ? TElement::fileName : TElement::fileNote;
          break;
        case L'S':
          e = TElement::fileSize;
          break;
        case L'T':
          e = TElement::fileTime;
          break;
        case L'D':
          e = TElement::fileDate;
          break;
        case L'H':
          e = TElement::fileHash;
          break;
      }
      break;
    case 10:
      switch (Name[6]) {
        case L'M':
          e = Name[7] == L'a' ? TElement::updateMask : TElement::updateMode;
          break;
        case L'F':
          e = TElement::updateFind;
          break;
        case L'H':
          e = TElement::updateHash;
          break;
        case L'C':
          e = TElement::updateCode;
          break;
        case L'T':
          e = Name[0] == L'u' ? TElement::updateTime : TElement::verifyTime;
          break;
        case L'D':
          e = TElement::updateDate;
          break;
        case L'S':
          e = TElement::verifySize;
          break;
      }
      break;
    case 12:
      e = Name[0] == L'u' ? TElement::updateFolder : TElement::verifyFolder;
      break;
    case 13:
      e = TElement::updateRecurse;
      break;
  }
  return SameName(ElementNames[static_cast<int>(e)], Name) ? e : TElement::Other;
}

bool FlagValue(const std::wstring& Text) {
  std::string s = NarrowAnsi(Text);
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s != "disabled";
}

// A time is read as the sum of its date and time-of-day texts. A sum the date text cannot name
// (a time of day of 24 hours and more on 31 December 9999, or repeated texts) would be saved as a
// text no reader takes back; such a time counts as unknown.
void AddTimeText(int64_t& Time, int64_t Part) {
  Time += Part;
  if (Time < FirstTextTime || Time > LastTextTime) Time = 0;
}

}  // namespace

void TSAXHandlers::StartElement(std::wstring_view Name, const TSAXAttributes& Attributes) {
  Text.clear();
  switch (ElementOf(Name)) {
    case TElement::jurnValt:
      InRoot = true;
      Owner->Modified = false;
      break;
    case TElement::jurnItem:
      Owner->Items.push_back(std::make_unique<TFileItem>());
      Item = Owner->Items.back().get();
      Item->Owner = Owner;
      break;
    case TElement::fileHash:
      if (!Item) break;
      for (int i = Attributes.GetLength() - 1; i >= 0; --i) {
        const std::wstring_view name = Attributes.GetQName(i);
        if (SameName(name, L"type"sv)) {
          Item->HashType = NarrowAnsi(std::wstring(Attributes.GetValue(i)));
        } else if (SameName(name, L"code"sv)) {
          Item->HashCode = NarrowAnsi(std::wstring(Attributes.GetValue(i)));
        }
      }
      break;
    default:
      break;
  }
}

void TSAXHandlers::Characters(std::wstring_view Piece) {
  Text.append(Piece);
}

void TSAXHandlers::EndElement(std::wstring_view Name) {
  if (!InRoot) return;
  TFileList& list = *Owner;
  const TElement element = ElementOf(Name);
  switch (element) {
    case TElement::jurnValt:
      InRoot = false;
      Done = true;
      break;
    case TElement::updateFolder:
      list.UpdateFolder = Text;
      break;
    case TElement::updateMask:
      list.UpdateMask = Text;
      break;
    case TElement::verifyFolder:
      list.VerifyFolder = Text;
      break;
    case TElement::updateHash:
      list.UpdateHash = NarrowAnsi(Text);
      break;
    case TElement::updateCode:
      list.UpdateCode = NarrowAnsi(Text);
      break;
    case TElement::updateFind:
      list.UpdateFind = FlagValue(Text);
      break;
    case TElement::updateRecurse:
      list.UpdateRecurse = FlagValue(Text);
      break;
    case TElement::verifyTime:
      list.VerifyTime = FlagValue(Text);
      break;
    case TElement::verifySize:
      list.VerifySize = FlagValue(Text);
      break;
    case TElement::updateMode:
      list.UpdateMode = ParseUpdateMode(NarrowAnsi(Text));
      break;
    case TElement::updateTime:
      AddTimeText(list.LastUpdate, ParseTimeText(Text));
      break;
    case TElement::updateDate:
      AddTimeText(list.LastUpdate, ParseDateText(Text));
      break;
    default:
      break;
  }
  if (!Item) return;
  switch (element) {
    case TElement::jurnItem:
      Item = nullptr;
      break;
    case TElement::fileName:
      Item->FileName = Text;
      break;
    case TElement::fileNote:
      Item->FileNote = Text;
      break;
    case TElement::fileSize: {
      int64_t size = -1;
      Item->FileSize = TryStrToInt64(Text, size) ? size : -1;
      break;
    }
    case TElement::fileTime:
      AddTimeText(Item->FileTime, ParseTimeText(Text));
      break;
    case TElement::fileDate:
      AddTimeText(Item->FileTime, ParseDateText(Text));
      break;
    case TElement::fileHash:
      Item->HashValue = NarrowAnsi(Text);
      break;
    default:
      break;
  }
}

void TSAXHandlers::SetDocumentLocator(ISAXLocator* ALocator) {
  Locator = ALocator;
}

void TSAXHandlers::FatalError(const std::wstring& Message, int32_t Line, int32_t Column) {
  Failed = true;
  ErrorMessage = Message;
  ErrorLine = Line;
  ErrorColumn = Column;
}

// Recoverable errors and warnings do not stop the load.
void TSAXHandlers::Error(const std::wstring&, int32_t, int32_t) {}
void TSAXHandlers::Warning(const std::wstring&, int32_t, int32_t) {}

bool TFileList::LoadFromXML(const std::wstring& FileName, bool UseMSXML, std::wstring& ErrorMessage,
                            int32_t& ErrorColumn, int32_t& ErrorLine) {
  const size_t before = Items.size();
  TSAXHandlers handlers(this);
  if (UseMSXML) {
    ParseWithMSXML(FileName, handlers);
  } else {
    ParseWithRapidXml(FileName, handlers);
  }
  if (handlers.Failed) {
    ErrorMessage = handlers.ErrorMessage;
    ErrorColumn = handlers.ErrorColumn;
    ErrorLine = handlers.ErrorLine;
  } else if (!handlers.Done) {
    // Well-formed XML of another kind: nothing to point at, so no error text; the caller names
    // the file. The entries of stray jurnItem elements go again, so the document is as the
    // caller left it.
    Items.erase(Items.begin() + before, Items.end());
  }
  return handlers.Done;
}
