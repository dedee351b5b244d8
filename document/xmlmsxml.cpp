// The MSXML SAX2 back end of the checksum file reader, through COM.
#include <windows.h>
#include <ole2.h>
#include <msxml2.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <utility>

#include "document/xml.h"
#include "document/xmlfile.h"
#include "document/xmlstandin.h"
#include "document/xmltext.h"
#include "hash/errors.h"

// MinGW's libuuid lacks the SAX2 identifiers; these are the only definitions in the program.
extern "C" {
const CLSID CLSID_SAXXMLReader = {
    0x079aa557, 0x4a18, 0x424a, {0x8e, 0xee, 0xe3, 0x9f, 0x0a, 0x8d, 0x41, 0xb9}};
const IID IID_ISAXXMLReader = {
    0xa4f96ed0, 0xf829, 0x476e, {0x81, 0xc0, 0xcd, 0xc7, 0xbd, 0x2a, 0x08, 0x02}};
const IID IID_ISAXContentHandler = {
    0x1545cdfa, 0x9e4e, 0x4497, {0xa8, 0xa4, 0x2b, 0xf7, 0xd0, 0x11, 0x2c, 0x44}};
const IID IID_ISAXErrorHandler = {
    0xa60511c4, 0xccf5, 0x479e, {0x98, 0xa3, 0xdc, 0x8d, 0xc5, 0x45, 0xb7, 0xd0}};
}

namespace {

std::wstring WidenWhat(const char* What) {
  std::wstring text;
  for (const char* p = What; p && *p; ++p) text.push_back(static_cast<unsigned char>(*p));
  return text;
}

void LocatorPosition(ISAXLocator* Locator, int& Line, int& Column) {
  Line = 0;
  Column = 0;
  if (Locator) {
    Locator->getLineNumber(&Line);
    Locator->getColumnNumber(&Column);
  }
}

class TComAttributes final : public TSAXAttributes {
 public:
  TComAttributes(ISAXAttributes* Attributes, TStandInRestorer* Restorer)
      : Attributes(Attributes), Restorer(Restorer) {}
  int GetLength() const override {
    int n = 0;
    return Attributes && SUCCEEDED(Attributes->getLength(&n)) ? n : 0;
  }
  std::wstring_view GetQName(int Index) const override {
    const wchar_t* p = nullptr;
    int n = 0;
    return SUCCEEDED(Attributes->getQName(Index, &p, &n)) && p ? std::wstring_view(p, n)
                                                               : std::wstring_view();
  }
  std::wstring_view GetValue(int Index) const override {
    const wchar_t* p = nullptr;
    int n = 0;
    if (FAILED(Attributes->getValue(Index, &p, &n)) || !p) return {};
    const std::wstring_view value(p, n);
    return Restorer ? Restorer->Value(static_cast<size_t>(Index), value) : value;
  }

 private:
  ISAXAttributes* Attributes;
  TStandInRestorer* Restorer;
};

// The file as the parser's input source: as it is, by its handle; or, where the reader needs
// stand-ins, its text as UTF-8 and rewritten (xmlstandin.h), a piece at a time.
class TFileInputStream final : public IStream {
 public:
  // Owns the handle.
  explicit TFileInputStream(HANDLE File) : File(File) {}
  // Handlers' locator tells which lines the reader has left.
  TFileInputStream(TXMLText& Text, const TSAXHandlers& Handlers)
      : Source(&Text), Handlers(&Handlers) {}
  ~TFileInputStream() {
    if (File) CloseHandle(File);
  }
  TFileInputStream(const TFileInputStream&) = delete;
  TFileInputStream& operator=(const TFileInputStream&) = delete;

  // The text ended at a fault of its decoding, which the reader was not told about.
  bool FaultReached = false;
  // An exception from reading the file, which must not pass through the reader.
  std::exception_ptr Failure;
  TStandInText Rewriter;

  HRESULT WINAPI QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream) {
      *ppv = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the stack of one parse; the counts only track the parser's use.
  ULONG WINAPI AddRef() override { return ++Refs; }
  ULONG WINAPI Release() override { return --Refs; }

  HRESULT WINAPI Read(void* pv, ULONG cb, ULONG* pcbRead) override {
    DWORD done = 0;
    HRESULT result = S_OK;
    if (!Source) {
      if (!ReadFile(File, pv, cb, &done, nullptr)) result = HRESULT_FROM_WIN32(GetLastError());
    } else {
      result = Rewritten(static_cast<char*>(pv), cb, done);
    }
    if (pcbRead) *pcbRead = done;
    if (FAILED(result)) return result;
    return done < cb ? S_FALSE : S_OK;
  }
  HRESULT WINAPI Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
  HRESULT WINAPI Seek(LARGE_INTEGER Move, DWORD Origin, ULARGE_INTEGER* NewPosition) override {
    if (Source) return E_NOTIMPL;
    LARGE_INTEGER pos;
    if (!SetFilePointerEx(File, Move, &pos, Origin)) return HRESULT_FROM_WIN32(GetLastError());
    if (NewPosition) NewPosition->QuadPart = pos.QuadPart;
    return S_OK;
  }
  HRESULT WINAPI Stat(STATSTG* Stat, DWORD) override {
    ZeroMemory(Stat, sizeof(*Stat));
    Stat->type = STGTY_STREAM;
    LARGE_INTEGER size;
    if (File && GetFileSizeEx(File, &size)) Stat->cbSize.QuadPart = size.QuadPart;
    Stat->grfMode = STGM_READ;
    return S_OK;
  }
  HRESULT WINAPI SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT WINAPI CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT WINAPI Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT WINAPI Revert() override { return E_NOTIMPL; }
  HRESULT WINAPI LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT WINAPI UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT WINAPI Clone(IStream**) override { return E_NOTIMPL; }

 private:
  // Fills Buffer with the rewritten text as far as it goes. Only what the reader has not taken
  // yet is kept, and the places of the lines it has not left.
  HRESULT Rewritten(char* Buffer, ULONG Count, DWORD& Done) {
    int line = 0;
    if (Handlers->Locator && SUCCEEDED(Handlers->Locator->getLineNumber(&line)))
      Rewriter.Forget(line);
    const size_t piece = std::max<size_t>(MSXMLReadSize, 1);
    try {
      while (Text.size() - Served < Count && !Ended) {
        Text.erase(0, Served);
        Served = 0;
        Pending.clear();
        // A text that could not be decoded further ends at its fault.
        const size_t n = Source->Fault ? std::min(piece, Source->Fault->Offset - Taken) : piece;
        if (n > 0 && Source->Read(Pending, n)) {
          Taken += Pending.size();
          Rewriter.Rewrite(Pending, Text);
        } else {
          Rewriter.Finish(Text);
          Ended = true;
        }
      }
    } catch (...) {
      Failure = std::current_exception();
      return E_FAIL;
    }
    Done = static_cast<DWORD>(std::min<size_t>(Count, Text.size() - Served));
    std::memcpy(Buffer, Text.data() + Served, Done);
    Served += Done;
    if (Done == 0 && Source->Fault) {
      FaultReached = true;
      return E_FAIL;
    }
    return S_OK;
  }

  HANDLE File = nullptr;
  TXMLText* Source = nullptr;
  const TSAXHandlers* Handlers = nullptr;
  ULONG Refs = 0;
  std::string Pending;  // read from the text, to be rewritten
  size_t Taken = 0;     // bytes of the text read
  std::string Text;     // rewritten, from Served on not yet handed out
  size_t Served = 0;
  bool Ended = false;
};

class TComApartment {
 public:
  TComApartment() : Initialized(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~TComApartment() {
    if (Initialized) CoUninitialize();
  }

 private:
  bool Initialized;
};

template <typename Interface>
HRESULT QueryOwn(Interface* Self, REFIID Own, REFIID riid, void** ppv) {
  if (riid == IID_IUnknown || riid == Own) {
    *ppv = Self;
    Self->AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

}  // namespace

// Routes the parser's content events to the handlers. An exception raised by an event must not
// unwind through the parser: it ends the parse as a fatal error with the exception's message.
class TSAXContentHandler final : public ISAXContentHandler {
 public:
  explicit TSAXContentHandler(TSAXHandlers& Handlers) : Handlers(Handlers) {}
  bool Aborted = false;
  TStandInRestorer* Restorer = nullptr;  // set when the text comes with stand-ins

  HRESULT WINAPI QueryInterface(REFIID riid, void** ppv) override {
    return QueryOwn<ISAXContentHandler>(this, IID_ISAXContentHandler, riid, ppv);
  }
  // Owned by TSAXHandlers; the counts only track the parser's use.
  ULONG WINAPI AddRef() override { return ++Refs; }
  ULONG WINAPI Release() override { return --Refs; }

  HRESULT WINAPI putDocumentLocator(ISAXLocator* Locator) override {
    Handlers.SetDocumentLocator(Locator);
    return S_OK;
  }
  HRESULT WINAPI startDocument() override { return S_OK; }
  HRESULT WINAPI endDocument() override { return S_OK; }
  HRESULT WINAPI startPrefixMapping(const wchar_t*, int, const wchar_t*, int) override {
    return S_OK;
  }
  HRESULT WINAPI endPrefixMapping(const wchar_t*, int) override { return S_OK; }
  HRESULT WINAPI startElement(const wchar_t*, int, const wchar_t*, int, const wchar_t* QName,
                              int QNameLength, ISAXAttributes* Attributes) override {
    return Guard([&] {
      FlushText();
      TComAttributes attributes(Attributes, Restorer);
      Handlers.StartElement(std::wstring_view(QName, QNameLength), attributes);
    });
  }
  HRESULT WINAPI endElement(const wchar_t*, int, const wchar_t*, int, const wchar_t* QName,
                            int QNameLength) override {
    return Guard([&] {
      FlushText();
      Handlers.EndElement(std::wstring_view(QName, QNameLength));
    });
  }
  HRESULT WINAPI characters(const wchar_t* Chars, int Count) override {
    return Guard([&] {
      const std::wstring_view piece(Chars, Count);
      Handlers.Characters(Restorer ? Restorer->Piece(piece) : piece);
    });
  }
  HRESULT WINAPI ignorableWhitespace(const wchar_t*, int) override { return S_OK; }
  HRESULT WINAPI processingInstruction(const wchar_t*, int, const wchar_t*, int) override {
    return S_OK;
  }
  HRESULT WINAPI skippedEntity(const wchar_t*, int) override { return S_OK; }

 private:
  void FlushText() {
    if (Restorer) {
      if (const std::wstring_view held = Restorer->Flush(); !held.empty())
        Handlers.Characters(held);
    }
  }
  template <typename Event>
  HRESULT Guard(Event&& Run) {
    if (Aborted) return E_FAIL;
    try {
      Run();
      return S_OK;
    } catch (const Exception& e) {
      Abort(e.GetMessage());
    } catch (const std::exception& e) {
      Abort(WidenWhat(e.what()));
    }
    return E_FAIL;
  }
  void Abort(const std::wstring& Message) {
    int line, column;
    LocatorPosition(Handlers.Locator, line, column);
    Handlers.FatalError(Message, line, column);
    Aborted = true;
  }

  TSAXHandlers& Handlers;
  ULONG Refs = 0;
};

class TSAXErrorHandler final : public ISAXErrorHandler {
 public:
  TSAXErrorHandler(TSAXHandlers& Handlers, const TSAXContentHandler& Content)
      : Handlers(Handlers), Content(Content) {}

  HRESULT WINAPI QueryInterface(REFIID riid, void** ppv) override {
    return QueryOwn<ISAXErrorHandler>(this, IID_ISAXErrorHandler, riid, ppv);
  }
  ULONG WINAPI AddRef() override { return ++Refs; }
  ULONG WINAPI Release() override { return --Refs; }

  HRESULT WINAPI error(ISAXLocator* Locator, const wchar_t* Message, HRESULT) override {
    Report(&TSAXHandlers::Error, Locator, Message);
    return S_OK;
  }
  HRESULT WINAPI fatalError(ISAXLocator* Locator, const wchar_t* Message, HRESULT Code) override {
    // After an event's exception the parser reports its own failure; the exception's message
    // is the one to keep. A failure always has a text: a load without one is XML of another kind.
    if (!Content.Aborted)
      Report(&TSAXHandlers::FatalError, Locator,
             Message && *Message ? Message : SystemErrorText(Code).c_str());
    return Code;
  }
  HRESULT WINAPI ignorableWarning(ISAXLocator* Locator, const wchar_t* Message, HRESULT) override {
    Report(&TSAXHandlers::Warning, Locator, Message);
    return S_OK;
  }

 private:
  using TReport = void (TSAXHandlers::*)(const std::wstring&, int32_t, int32_t);
  void Report(TReport Event, ISAXLocator* Locator, const wchar_t* Message) {
    int line, column;
    LocatorPosition(Locator, line, column);
    std::wstring text = Message ? Message : L"";
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    (Handlers.*Event)(text, line, column);
  }

  TSAXHandlers& Handlers;
  const TSAXContentHandler& Content;
  ULONG Refs = 0;
};

TSAXHandlers::TSAXHandlers(TFileList* AOwner) : Owner(AOwner) {
  ContentHandler = std::make_unique<TSAXContentHandler>(*this);
  ErrorHandler = std::make_unique<TSAXErrorHandler>(*this, *ContentHandler);
}

TSAXHandlers::~TSAXHandlers() = default;

namespace {

ISAXXMLReader* CreateReader() {
  ISAXXMLReader* reader = nullptr;
  const HRESULT hr = CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_ISAXXMLReader, reinterpret_cast<void**>(&reader));
  if (FAILED(hr) || !reader) {
    throw Exception(L"Cannot create the MSXML SAX2 reader. " + SystemErrorText(hr));
  }
  // A checksum file never needs anything from outside itself.
  reader->putFeature(L"external-general-entities", VARIANT_FALSE);
  reader->putFeature(L"external-parameter-entities", VARIANT_FALSE);
  return reader;
}

HRESULT Parse(ISAXXMLReader* Reader, TSAXHandlers& Handlers, VARIANT Input) {
  Reader->putContentHandler(Handlers.ContentHandler.get());
  Reader->putErrorHandler(Handlers.ErrorHandler.get());
  const HRESULT parsed = Reader->parse(Input);
  Reader->putContentHandler(nullptr);
  Reader->putErrorHandler(nullptr);
  Handlers.Locator = nullptr;
  return parsed;
}

// Whether the reader loses a CR from a character reference or text after a line end in a CDATA
// section, while it keeps a stand-in; asked of the installed reader once.
bool ReaderNeedsStandIns(ISAXXMLReader* Reader) {
  static const bool needs = [Reader] {
    TFileList probe;
    TSAXHandlers handlers(&probe);
    const std::wstring standIn = {StandInMark, L'1'};
    const BSTR text = SysAllocString((L"<jurnValt><jurnItem><fileName>&#13;" + standIn +
                                      L"</fileName><fileNote><![CDATA[a\nb]]></fileNote>"
                                      L"</jurnItem></jurnValt>")
                                         .c_str());
    VARIANT input;
    VariantInit(&input);
    input.vt = VT_BSTR;
    input.bstrVal = text;
    Parse(Reader, handlers, input);
    SysFreeString(text);
    if (probe.Items.empty()) return false;
    const std::wstring &name = probe.Items[0]->FileName, &note = probe.Items[0]->FileNote;
    return name.size() == 3 && name.substr(1) == standIn && (name[0] != L'\r' || note != L"a\nb");
  }();
  return needs;
}

}  // namespace

size_t MSXMLReadSize = 1 << 16;

void ParseWithMSXML(const std::wstring& FileName, TSAXHandlers& Handlers) {
  struct TFile {
    HANDLE Handle;
    ~TFile() {
      if (Handle) CloseHandle(Handle);
    }
  } file{static_cast<HANDLE>(OpenXMLFileForReading(FileName))};
  TComApartment apartment;
  struct TRelease {
    void operator()(ISAXXMLReader* Reader) const { Reader->Release(); }
  };
  const std::unique_ptr<ISAXXMLReader, TRelease> reader(CreateReader());
  const auto parse = [&](TFileInputStream& Stream) {
    VARIANT input;
    VariantInit(&input);
    input.vt = VT_UNKNOWN;
    input.punkVal = &Stream;
    return Parse(reader.get(), Handlers, input);
  };
  HRESULT parsed;
  if (!ReaderNeedsStandIns(reader.get())) {
    TFileInputStream stream(std::exchange(file.Handle, nullptr));
    parsed = parse(stream);
  } else {
    // The reader gets the text as the built-in parser reads it, in UTF-8, whatever the file's
    // encoding: so the two agree on every file, and the stand-ins are made in UTF-8 only.
    TXMLText text(std::exchange(file.Handle, nullptr));
    text.ForAnotherReader();
    TStandInRestorer restorer;
    TFileInputStream stream(text, Handlers);
    Handlers.ContentHandler->Restorer = &restorer;
    parsed = parse(stream);
    Handlers.ContentHandler->Restorer = nullptr;
    if (stream.Failure) std::rethrow_exception(stream.Failure);
    if (stream.FaultReached && !Handlers.Failed) {
      int32_t line, column;
      text.Position(text.Fault->Offset, line, column);
      Handlers.FatalError(text.Fault->Message, line, column);
      return;
    }
    // The reader names places in the text it got; the user needs them in the file.
    if (Handlers.Failed) stream.Rewriter.Place(Handlers.ErrorLine, Handlers.ErrorColumn);
  }
  // A failure without an error event (the file could not be read, say) still fails the load.
  if (FAILED(parsed) && !Handlers.Failed) Handlers.FatalError(SystemErrorText(parsed), 0, 0);
}
