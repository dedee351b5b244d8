#pragma once
// File access of the checksum file: the safe replacing writer and the reader's open.
#include <string>
#include <string_view>

// Writes a new file beside the target and replaces the target with it in one step on Commit;
// the replaced file's hidden and system marks carry over. Until then, and whenever something
// fails, the previous file stays as it was; a writer destroyed without Commit removes its new
// file. Each save's new file has a name of its own and is held open until it is in place, so a
// save only ever puts its own file in place; the one a save leaves when its process is ended
// is removed by a later save of that target. A read-only target is refused (EFCreateError), as
// Windows refuses to create over it.
class TXMLFileWriter {
 public:
  // Raises EFCreateError when the new file cannot be created.
  explicit TXMLFileWriter(const std::wstring& FileName);
  ~TXMLFileWriter();
  TXMLFileWriter(const TXMLFileWriter&) = delete;
  TXMLFileWriter& operator=(const TXMLFileWriter&) = delete;

  // Room for Count more bytes: the caller writes them at the pointer returned and then hands
  // the end of what it wrote to Written. Both raise EWriteError on a short write.
  char* Room(size_t Count);
  void Written(char* End);
  // Bytes as they are. Raises EWriteError.
  void WriteBytes(std::string_view Bytes);
  // Flushes to disk and replaces the target. Raises EWriteError or EFCreateError.
  void Commit();

 private:
  void FlushBuffer();

  std::wstring Target;
  void* Handle;
  std::string Buffer;  // its size is its capacity; Used bytes are filled
  size_t Used = 0;
};

// Opens FileName for reading by its wide path and returns the Windows handle; raises EFOpenError.
void* OpenXMLFileForReading(const std::wstring& FileName);

// The system's message for a Windows error code.
std::wstring SystemErrorText(unsigned long Code);
