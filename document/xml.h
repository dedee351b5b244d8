#pragma once
// The checksum file in XML: the reader's event handler and the UTF-8 the file carries.
//
// TFileList::SaveToXML writes the text itself (xmlwrite.cpp). TFileList::LoadFromXML feeds the
// file to one of two parsers, the MSXML SAX2 reader through COM (xmlmsxml.cpp) or the built-in
// one over rapidxml (xmlrapid.cpp); both raise the same events, in document order, into one
// TSAXHandlers object (xmlread.cpp).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "document/data.h"

struct ISAXLocator;
class TSAXContentHandler;
class TSAXErrorHandler;

// UTF-8 as the checksum file carries it: a surrogate pair as one four-byte sequence, and a lone
// surrogate or a character XML 1.0 cannot carry as U+FFFD.
void AppendXMLUtf8(std::string& Out, std::wstring_view Text);

// The attributes of one start tag, by index, with the qualified names as written.
class TSAXAttributes {
 public:
  virtual int GetLength() const = 0;
  virtual std::wstring_view GetQName(int Index) const = 0;
  virtual std::wstring_view GetValue(int Index) const = 0;

 protected:
  ~TSAXAttributes() = default;
};

// Fills a document from the parser's events; one object per load.
class TSAXHandlers {
 public:
  explicit TSAXHandlers(TFileList* AOwner);
  ~TSAXHandlers();
  TSAXHandlers(const TSAXHandlers&) = delete;
  TSAXHandlers& operator=(const TSAXHandlers&) = delete;

  TFileList* Owner;
  ISAXLocator* Locator = nullptr;  // kept while MSXML parses; not owned
  std::unique_ptr<TSAXErrorHandler> ErrorHandler;
  std::unique_ptr<TSAXContentHandler> ContentHandler;
  TFileItem* Item = nullptr;
  std::wstring Text;
  bool InRoot = false;
  bool Done = false;
  bool Failed = false;
  std::wstring ErrorMessage;
  int32_t ErrorColumn = 0;
  int32_t ErrorLine = 0;

  void StartElement(std::wstring_view Name, const TSAXAttributes& Attributes);
  void EndElement(std::wstring_view Name);
  void Characters(std::wstring_view Piece);
  void SetDocumentLocator(ISAXLocator* ALocator);
  void Error(const std::wstring& Message, int32_t Line, int32_t Column);
  void FatalError(const std::wstring& Message, int32_t Line, int32_t Column);
  void Warning(const std::wstring& Message, int32_t Line, int32_t Column);
};

// The two parsers. Each reads the whole input and reports through Handlers; a fatal error, and
// an exception raised by an event, end the parse with Handlers.Failed set.
void ParseWithMSXML(const std::wstring& FileName, TSAXHandlers& Handlers);
void ParseWithRapidXml(const std::wstring& FileName, TSAXHandlers& Handlers);
// Bytes of text the built-in parser takes at a time (tests make it small).
extern size_t BuiltinParseWindow;
// Bytes of the text that get stand-ins for the MSXML reader at a time, where it needs them
// (xmlstandin.h; tests make it small).
extern size_t MSXMLReadSize;
