#pragma once
// Helpers shared by the app tests: entries, file contents and the prompts script's record.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/items.h"
#include "ui/prompts.h"

inline std::string ReadFileBytes(const std::wstring& name) {
  std::ifstream in(name.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFileBytes(const std::wstring& name, const std::string& bytes) {
  std::ofstream(name.c_str(), std::ios::binary) << bytes;
}

// Reports the prompts the script did not expect. Clear() forgets them, so call this first.
inline void ExpectNoFailures(const ui::Script& script) {
  for (const std::wstring& f : script.Failures()) ADD_FAILURE() << ui::ToUtf8(f);
}

// The one prompt asked since the script was cleared (an empty one when there is not exactly one).
inline ui::Prompt OnlyPrompt(const ui::Script& script) {
  EXPECT_EQ(script.Asked().size(), 1u);
  return script.Asked().size() == 1 ? script.Asked()[0] : ui::Prompt();
}

inline bool Contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}
