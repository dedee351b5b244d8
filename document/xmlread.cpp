// The checksum file reader: fills the document from the parser's events.
#include "document/datetext.h"
#include "document/xml.h"
#include "hash/errors.h"

namespace {

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
  if (Name == L"jurnValt") {
    InRoot = true;
    Owner->Modified = false;
  } else if (Name == L"jurnItem") {
    Owner->Items.push_back(std::make_unique<TFileItem>());
    Item = Owner->Items.back().get();
    Item->Owner = Owner;
  } else if (Name == L"fileHash" && Item) {
    for (int i = Attributes.GetLength() - 1; i >= 0; --i) {
      const std::wstring_view name = Attributes.GetQName(i);
      if (name == L"type") {
        Item->HashType = NarrowAnsi(std::wstring(Attributes.GetValue(i)));
      } else if (name == L"code") {
        Item->HashCode = NarrowAnsi(std::wstring(Attributes.GetValue(i)));
      }
    }
  }
}

void TSAXHandlers::Characters(std::wstring_view Piece) {
  Text.append(Piece);
}

void TSAXHandlers::EndElement(std::wstring_view Name) {
  if (!InRoot) return;
  TFileList& list = *Owner;
  if (Name == L"jurnValt") {
    InRoot = false;
    Done = true;
  } else if (Name == L"updateFolder") {
    list.UpdateFolder = Text;
  } else if (Name == L"updateMask") {
    list.UpdateMask = Text;
  } else if (Name == L"verifyFolder") {
    list.VerifyFolder = Text;
  } else if (Name == L"updateHash") {
    list.UpdateHash = NarrowAnsi(Text);
  } else if (Name == L"updateCode") {
    list.UpdateCode = NarrowAnsi(Text);
  } else if (Name == L"updateFind") {
    list.UpdateFind = FlagValue(Text);
  } else if (Name == L"updateRecurse") {
    list.UpdateRecurse = FlagValue(Text);
  } else if (Name == L"verifyTime") {
    list.VerifyTime = FlagValue(Text);
  } else if (Name == L"verifySize") {
    list.VerifySize = FlagValue(Text);
  } else if (Name == L"updateMode") {
    list.UpdateMode = ParseUpdateMode(NarrowAnsi(Text));
  } else if (Name == L"updateTime") {
    AddTimeText(list.LastUpdate, ParseTimeText(Text));
  } else if (Name == L"updateDate") {
    AddTimeText(list.LastUpdate, ParseDateText(Text));
  }
  if (!Item) return;
  if (Name == L"jurnItem") {
    Item = nullptr;
  } else if (Name == L"fileName") {
    Item->FileName = Text;
  } else if (Name == L"fileNote") {
    Item->FileNote = Text;
  } else if (Name == L"fileSize") {
    int64_t size = -1;
    Item->FileSize = TryStrToInt64(NarrowAnsi(Text), size) ? size : -1;
  } else if (Name == L"fileTime") {
    AddTimeText(Item->FileTime, ParseTimeText(Text));
  } else if (Name == L"fileDate") {
    AddTimeText(Item->FileTime, ParseDateText(Text));
  } else if (Name == L"fileHash") {
    Item->HashValue = NarrowAnsi(Text);
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
    // Well-formed XML of another kind. A line and column would point at nothing; the entries of
    // stray jurnItem elements go again, so the document is as the caller left it.
    Items.erase(Items.begin() + before, Items.end());
    throw Exception(L"\"" + FileName + L"\" is not a checksum file.");
  }
  return handlers.Done;
}
