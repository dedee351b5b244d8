#include "document/nameindex.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "document/data.h"

namespace {
constexpr DWORD kKeyFlags = LCMAP_SORTKEY | NORM_IGNORECASE;
constexpr int kLeafMax = 128;
constexpr int kInnerMax = 64;
constexpr size_t kKeyBlockBytes = 1 << 20;
}  // namespace

std::string NameSortKey(const std::wstring& Name) {
  // An empty source length is an error to LCMapStringW; the terminated empty text is not.
  const wchar_t* src = Name.empty() ? L"" : Name.c_str();
  const int srcLength = Name.empty() ? -1 : static_cast<int>(Name.size());
  // Keys run to about two bytes per character; one call is enough in nearly every case.
  std::string key(Name.size() * 3 + 16, '\0');
  int n = LCMapStringW(LOCALE_USER_DEFAULT, kKeyFlags, src, srcLength,
                       reinterpret_cast<LPWSTR>(key.data()), static_cast<int>(key.size()));
  if (n == 0) {
    n = LCMapStringW(LOCALE_USER_DEFAULT, kKeyFlags, src, srcLength, nullptr, 0);
    key.assign(n > 0 ? n : 0, '\0');
    if (n > 0)
      n = LCMapStringW(LOCALE_USER_DEFAULT, kKeyFlags, src, srcLength,
                       reinterpret_cast<LPWSTR>(key.data()), n);
  }
  key.resize(n > 0 ? n : 0);
  return key;
}

struct TNameIndex::Node {
  explicit Node(bool isLeaf) : IsLeaf(isLeaf) {}
  virtual ~Node() = default;
  const bool IsLeaf;
  int32_t Used = 0;   // entries of a leaf, children of an inner node
  int32_t Count = 0;  // entries in this subtree
};

struct TNameIndex::Leaf : Node {
  Leaf() : Node(true) {}
  Entry Entries[kLeafMax];
};

struct TNameIndex::Inner : Node {
  Inner() : Node(false) {}
  std::unique_ptr<Node> Children[kInnerMax];
  int32_t Counts[kInnerMax];
  Entry Firsts[kInnerMax];
};

namespace {
template <class E>
int CompareKeys(const E& A, const uint8_t* Key, uint32_t Length) {
  const int c = std::memcmp(A.Key, Key, std::min(A.KeyLength, Length));
  if (c != 0) return c;
  return A.KeyLength < Length ? -1 : A.KeyLength > Length ? 1 : 0;
}

// The first of Entries[From, To) whose key is not below Key (To when there is none).
template <class E>
int FirstNotBelow(const E* Entries, int From, int To, const uint8_t* Key, uint32_t Length) {
  int lo = From, hi = To - 1;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    if (CompareKeys(Entries[mid], Key, Length) < 0)
      lo = mid + 1;
    else
      hi = mid - 1;
  }
  return lo;
}
}  // namespace

TNameIndex::TNameIndex() = default;
TNameIndex::~TNameIndex() = default;

void TNameIndex::Clear() {
  Root.reset();
  Total = 0;
  KeyBlocks.clear();
  KeyBlockUsed = KeyBlockSize = 0;
}

const std::string& TNameIndex::KeyOf(const std::wstring& Name) const {
  if (LastKey.empty() || Name != LastName) {
    LastKey = NameSortKey(Name);
    LastName = Name;
  }
  return LastKey;
}

TNameIndex::Entry TNameIndex::MakeEntry(TFileItem* Item) {
  const std::string& key = KeyOf(Item->FileName);
  if (KeyBlocks.empty() || KeyBlockSize - KeyBlockUsed < key.size()) {
    KeyBlockSize = std::max(kKeyBlockBytes, key.size());
    KeyBlocks.push_back(std::make_unique<uint8_t[]>(KeyBlockSize));
    KeyBlockUsed = 0;
  }
  uint8_t* stored = KeyBlocks.back().get() + KeyBlockUsed;
  std::memcpy(stored, key.data(), key.size());
  KeyBlockUsed += key.size();
  return Entry{Item, stored, static_cast<uint32_t>(key.size())};
}

const TNameIndex::Entry& TNameIndex::FirstEntry(const Node& N) {
  return N.IsLeaf ? static_cast<const Leaf&>(N).Entries[0] : static_cast<const Inner&>(N).Firsts[0];
}

TFileItem* TNameIndex::operator[](int32_t Index) const {
  return Index < 0 || Index >= Total ? nullptr : EntryAt(Index).Item;
}

const TNameIndex::Entry& TNameIndex::EntryAt(int32_t Index) const {
  const Node* n = Root.get();
  while (!n->IsLeaf) {
    const Inner& in = static_cast<const Inner&>(*n);
    int j = 0;
    while (Index >= in.Counts[j]) Index -= in.Counts[j++];
    n = in.Children[j].get();
  }
  return static_cast<const Leaf*>(n)->Entries[Index];
}

// Inserts E at Index of the subtree N; returns the new right sibling when N had to split.
std::unique_ptr<TNameIndex::Node> TNameIndex::InsertAt(Node& N, int32_t Index, const Entry& E) {
  ++N.Count;
  if (N.IsLeaf) {
    Leaf* leaf = static_cast<Leaf*>(&N);
    std::unique_ptr<Node> right;
    if (leaf->Used == kLeafMax) {
      auto r = std::make_unique<Leaf>();
      const int half = kLeafMax / 2;
      std::copy(leaf->Entries + half, leaf->Entries + kLeafMax, r->Entries);
      r->Used = r->Count = kLeafMax - half;
      leaf->Used = half;
      leaf->Count = half + 1;
      if (Index > half) {
        Index -= half;
        leaf->Count = half;
        ++r->Count;
        leaf = r.get();
      }
      right = std::move(r);
    }
    std::copy_backward(leaf->Entries + Index, leaf->Entries + leaf->Used,
                       leaf->Entries + leaf->Used + 1);
    leaf->Entries[Index] = E;
    ++leaf->Used;
    return right;
  }

  Inner* in = static_cast<Inner*>(&N);
  int j = 0;
  while (j < in->Used - 1 && Index > in->Counts[j]) Index -= in->Counts[j++];
  std::unique_ptr<Node> split = InsertAt(*in->Children[j], Index, E);
  in->Counts[j] = in->Children[j]->Count;
  in->Firsts[j] = FirstEntry(*in->Children[j]);
  if (!split) return nullptr;

  // Place the new child at j + 1, splitting this node first when it is full.
  std::unique_ptr<Node> right;
  Inner* target = in;
  int pos = j + 1;
  if (in->Used == kInnerMax) {
    auto r = std::make_unique<Inner>();
    const int half = kInnerMax / 2;
    for (int k = half; k < kInnerMax; ++k) {
      r->Children[k - half] = std::move(in->Children[k]);
      r->Counts[k - half] = in->Counts[k];
      r->Firsts[k - half] = in->Firsts[k];
      r->Count += in->Counts[k];
    }
    r->Used = kInnerMax - half;
    in->Used = half;
    in->Count -= r->Count;
    if (pos > half) {
      pos -= half;
      target = r.get();
    }
    right = std::move(r);
  }
  for (int k = target->Used; k > pos; --k) {
    target->Children[k] = std::move(target->Children[k - 1]);
    target->Counts[k] = target->Counts[k - 1];
    target->Firsts[k] = target->Firsts[k - 1];
  }
  target->Children[pos] = std::move(split);
  target->Counts[pos] = target->Children[pos]->Count;
  target->Firsts[pos] = FirstEntry(*target->Children[pos]);
  ++target->Used;
  // The split child's entries moved between siblings, but the counts of in and right must
  // account for the new child where it landed.
  if (target != in) {
    in->Count -= target->Counts[pos];
    target->Count += target->Counts[pos];
  }
  return right;
}

void TNameIndex::Insert(int32_t Index, TFileItem* Item) {
  Index = std::clamp(Index, 0, Total);
  const Entry e = MakeEntry(Item);
  if (!Root) Root = std::make_unique<Leaf>();
  std::unique_ptr<Node> split = InsertAt(*Root, Index, e);
  if (split) {
    auto top = std::make_unique<Inner>();
    top->Count = Root->Count + split->Count;
    top->Children[0] = std::move(Root);
    top->Children[1] = std::move(split);
    for (int k = 0; k < 2; ++k) {
      top->Counts[k] = top->Children[k]->Count;
      top->Firsts[k] = FirstEntry(*top->Children[k]);
    }
    top->Used = 2;
    Root = std::move(top);
  }
  ++Total;
}

void TNameIndex::Add(TFileItem* Item) {
  Insert(Total, Item);
}

bool TNameIndex::LowerBound(const std::wstring& Name, int32_t& Index) const {
  Index = 0;
  if (!Root) return false;
  const std::string& key = KeyOf(Name);
  const uint8_t* k = reinterpret_cast<const uint8_t*>(key.data());
  const uint32_t kl = static_cast<uint32_t>(key.size());
  const Node* n = Root.get();
  int32_t pos = 0;
  while (!n->IsLeaf) {
    // The last child whose first name is below Name holds the first position not below it
    // (or that position is the start of the next child).
    const Inner& in = static_cast<const Inner&>(*n);
    const int j = FirstNotBelow(in.Firsts, 1, in.Used, k, kl) - 1;
    for (int c = 0; c < j; ++c) pos += in.Counts[c];
    n = in.Children[j].get();
  }
  const Leaf& leaf = static_cast<const Leaf&>(*n);
  const int lo = FirstNotBelow(leaf.Entries, 0, leaf.Used, k, kl);
  Index = pos + lo;
  if (lo < leaf.Used) return CompareKeys(leaf.Entries[lo], k, kl) == 0;
  if (Index >= Total) return false;
  // The first name not below Name opens the next leaf.
  return CompareKeys(EntryAt(Index), k, kl) == 0;
}

void TNameIndex::Sort() {
  std::vector<Entry> all;
  all.reserve(Total);
  // Walk the leaves in order.
  struct Walker {
    std::vector<Entry>& Out;
    void operator()(const Node& n) {
      if (n.IsLeaf) {
        const Leaf& l = static_cast<const Leaf&>(n);
        Out.insert(Out.end(), l.Entries, l.Entries + l.Used);
      } else {
        const Inner& in = static_cast<const Inner&>(n);
        for (int c = 0; c < in.Used; ++c) (*this)(*in.Children[c]);
      }
    }
  };
  if (Root) Walker{all}(*Root);
  std::stable_sort(all.begin(), all.end(), [](const Entry& a, const Entry& b) {
    return CompareKeys(a, b.Key, b.KeyLength) < 0;
  });
  Build(all);
}

// Rebuilds the tree from entries in their final order, leaves filled to three quarters so
// that the inserts of a scan split rarely.
void TNameIndex::Build(const std::vector<Entry>& Entries) {
  Root.reset();
  Total = static_cast<int32_t>(Entries.size());
  if (Entries.empty()) return;
  std::vector<std::unique_ptr<Node>> level;
  const size_t leafFill = kLeafMax * 3 / 4;
  for (size_t i = 0; i < Entries.size(); i += leafFill) {
    auto leaf = std::make_unique<Leaf>();
    const size_t n = std::min(leafFill, Entries.size() - i);
    std::copy(Entries.begin() + i, Entries.begin() + i + n, leaf->Entries);
    leaf->Used = leaf->Count = static_cast<int32_t>(n);
    level.push_back(std::move(leaf));
  }
  const size_t innerFill = kInnerMax * 3 / 4;
  while (level.size() > 1) {
    std::vector<std::unique_ptr<Node>> up;
    for (size_t i = 0; i < level.size(); i += innerFill) {
      auto in = std::make_unique<Inner>();
      const size_t n = std::min(innerFill, level.size() - i);
      for (size_t c = 0; c < n; ++c) {
        in->Counts[c] = level[i + c]->Count;
        in->Firsts[c] = FirstEntry(*level[i + c]);
        in->Count += in->Counts[c];
        in->Children[c] = std::move(level[i + c]);
      }
      in->Used = static_cast<int32_t>(n);
      up.push_back(std::move(in));
    }
    level = std::move(up);
  }
  Root = std::move(level.front());
}
