#pragma once
// Entries for tests: added to a document that owns them, as the passes and the readers add them.
#include <memory>
#include <string>

#include "document/data.h"

inline TFileItem& AddItem(TFileList& list, const std::wstring& name,
                          const std::string& type = "MD5", const std::string& code = "HEX",
                          const std::string& value = "") {
  auto item = std::make_unique<TFileItem>();
  item->FileName = name;
  item->HashType = type;
  item->HashCode = code;
  item->HashValue = value;
  item->Owner = &list;
  list.Items.push_back(std::move(item));
  return *list.Items.back();
}
