#pragma once
// File access of the checksum file: the safe replacing writer and the reader's open.
#include <string>
#include <string_view>

// Writes a new file beside the target and replaces the target with it on Commit; the new file
// keeps what a replacement keeps of the old one: its hidden and system marks, its creation time,
// the access list set on it, and its named streams. Until then, and whenever something fails,
// the previous file stays as it was; a writer destroyed without Commit removes its new file.
// Each save's new file has a name of its own and goes into place through its own open handle,
// so a save only ever puts its own file in place; the files a save leaves when its process is
// ended are removed by a later save of that target while the target exists. A read-only target is
// refused (EFCreateError), as Windows refuses to create over it, and so is a target that another
// program holds open without letting it be deleted: the system cannot replace that one.
class TXMLFileWriter {
 public:
  // How a failure reads: naming the target ("Cannot write file "<name>". <reason>"), or, for a
  // caller whose own message names it, giving the reason alone.
  enum TMessages { NameTheFile, ReasonOnly };

  // Raises EFCreateError when the new file cannot be created.
  explicit TXMLFileWriter(const std::wstring& FileName, TMessages Messages = NameTheFile);
  ~TXMLFileWriter();
  TXMLFileWriter(const TXMLFileWriter&) = delete;
  TXMLFileWriter& operator=(const TXMLFileWriter&) = delete;

  // Room for Count more bytes: the caller writes them at the pointer returned and then hands
  // the end of what it wrote to Written. Both raise EWriteError when the disk refuses them.
  char* Room(size_t Count);
  void Written(char* End);
  // Bytes as they are. Raises EWriteError.
  void WriteBytes(std::string_view Bytes);
  // Flushes to disk and replaces the target. Raises EWriteError or EFCreateError.
  void Commit();

 private:
  void FlushBuffer();
  // The message of a failure about FileName with the system's error Code.
  std::wstring FailureText(const wchar_t* What, const std::wstring& FileName,
                           unsigned long Code) const;

  std::wstring Target;
  std::wstring Stem;  // the start of the names of this target's new files
  std::wstring TempName;
  TMessages Messages;
  void* Handle;
  std::string Buffer;  // its size is its capacity; Used bytes are filled
  size_t Used = 0;
};

// Opens FileName for reading by its wide path and returns the Windows handle; raises EFOpenError.
void* OpenXMLFileForReading(const std::wstring& FileName);

// The system's message for a Windows error code.
std::wstring SystemErrorText(unsigned long Code);
