#pragma once
// The document's name index: entries in the order of CompareItemNames, with positional access
// and insertion in O(log n), so a scan that inserts a million new names one by one stays
// n log n. Names are compared through their case-insensitive sort keys (LCMapStringW), which
// order exactly as CompareStringW does, at the cost of one key per name instead of one system
// call per comparison.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TFileItem;

// The case-insensitive sort key of a name under the user's default locale.
std::string NameSortKey(const std::wstring& Name);

class TNameIndex {
 public:
  TNameIndex();
  ~TNameIndex();
  TNameIndex(const TNameIndex&) = delete;
  TNameIndex& operator=(const TNameIndex&) = delete;

  int32_t Count() const { return Total; }
  TFileItem* operator[](int32_t Index) const;

  void Clear();
  // Appends without keeping the order; Sort restores it. The entry's FileName must be set: its
  // key is taken here.
  void Add(TFileItem* Item);
  // Places Item at Index (0 to Count); the caller keeps the order (see LowerBound).
  void Insert(int32_t Index, TFileItem* Item);
  // Sorts by name; entries with equal names keep their relative order.
  void Sort();
  // The first position whose name is not below Name, and whether that name equals Name.
  // Meaningful while the index is sorted.
  bool LowerBound(const std::wstring& Name, int32_t& Index) const;

 private:
  struct Entry {
    TFileItem* Item;
    const uint8_t* Key;
    uint32_t KeyLength;
  };
  // A B+-tree whose inner nodes count the entries below each child (positional access) and
  // keep each child's first entry (search by key).
  struct Node;
  struct Leaf;
  struct Inner;

  static const Entry& FirstEntry(const Node& N);
  const Entry& EntryAt(int32_t Index) const;
  Entry MakeEntry(TFileItem* Item);
  const std::string& KeyOf(const std::wstring& Name) const;
  std::unique_ptr<Node> InsertAt(Node& N, int32_t Index, const Entry& E);
  void Build(const std::vector<Entry>& Entries);

  std::unique_ptr<Node> Root;
  int32_t Total = 0;
  // Keys live in large blocks; Clear drops them all at once.
  std::vector<std::unique_ptr<uint8_t[]>> KeyBlocks;
  size_t KeyBlockUsed = 0;
  size_t KeyBlockSize = 0;
  // The key of the last looked-up name: a scan looks a name up and then inserts it.
  mutable std::wstring LastName;
  mutable std::string LastKey;
};
