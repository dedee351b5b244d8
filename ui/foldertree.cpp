#include "ui/foldertree.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>

namespace ui {

namespace {

// Releases a COM interface when it goes out of scope.
template <class T>
struct ComRef {
  T* p = nullptr;
  ~ComRef() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
  explicit operator bool() const { return p != nullptr; }
};

// The first Depth IDs of an ID list, as a list of their own.
PIDLIST_ABSOLUTE Prefix(PCUIDLIST_RELATIVE Pidl, int Depth) {
  const BYTE* p = reinterpret_cast<const BYTE*>(Pidl);
  size_t size = 0;
  for (int i = 0; i < Depth; ++i) size += reinterpret_cast<const SHITEMID*>(p + size)->cb;
  auto* out = static_cast<BYTE*>(CoTaskMemAlloc(size + sizeof(USHORT)));
  if (!out) return nullptr;
  std::memcpy(out, p, size);
  std::memset(out + size, 0, sizeof(USHORT));
  return reinterpret_cast<PIDLIST_ABSOLUTE>(out);
}

int IdCount(PCUIDLIST_RELATIVE Pidl) {
  int n = 0;
  for (auto* p = reinterpret_cast<const BYTE*>(Pidl); reinterpret_cast<const SHITEMID*>(p)->cb;
       p += reinterpret_cast<const SHITEMID*>(p)->cb)
    ++n;
  return n;
}

bool SameItem(IShellFolder* Desktop, PCIDLIST_ABSOLUTE A, PCIDLIST_ABSOLUTE B) {
  HRESULT hr = Desktop->CompareIDs(0, A, B);
  return SUCCEEDED(hr) && HRESULT_CODE(hr) == 0;
}

int CALLBACK CompareSiblings(LPARAM A, LPARAM B, LPARAM Folder) {
  auto* folder = reinterpret_cast<IShellFolder*>(Folder);
  auto last = [](LPARAM n) {
    return ILFindLastID(*reinterpret_cast<PIDLIST_ABSOLUTE*>(n));
  };
  HRESULT hr = folder->CompareIDs(0, last(A), last(B));
  return SUCCEEDED(hr) ? static_cast<short>(HRESULT_CODE(hr)) : 0;
}

}  // namespace

FolderTree::Node::~Node() {
  CoTaskMemFree(Pidl);
}

FolderTree::~FolderTree() = default;

void FolderTree::OnAttached() {
  SHFILEINFOW sfi{};
  auto images = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(
      L"C:\\", 0, &sfi, sizeof(sfi), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (images) Send(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
  PIDLIST_ABSOLUTE desktop = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktop))) return;
  root_ = AddItem(TVI_ROOT, desktop, true);
  Fill(root_);
  Send(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root_));
}

HTREEITEM FolderTree::AddItem(HTREEITEM Parent, PIDLIST_ABSOLUTE Pidl, bool HasChildren) {
  auto node = std::make_unique<Node>();
  node->Pidl = Pidl;
  SHFILEINFOW sfi{};
  SHGetFileInfoW(reinterpret_cast<LPCWSTR>(Pidl), 0, &sfi, sizeof(sfi),
                 SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  TVINSERTSTRUCTW tvi{};
  tvi.hParent = Parent;
  tvi.hInsertAfter = TVI_LAST;
  tvi.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
  tvi.item.pszText = sfi.szDisplayName;
  tvi.item.iImage = tvi.item.iSelectedImage = sfi.iIcon;
  tvi.item.cChildren = HasChildren ? 1 : 0;
  tvi.item.lParam = reinterpret_cast<LPARAM>(node.get());
  auto item = reinterpret_cast<HTREEITEM>(Send(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&tvi)));
  if (item) nodes_.push_back(std::move(node));
  else node->Pidl = nullptr;  // the caller still owns it
  return item;
}

FolderTree::Node* FolderTree::NodeOf(HTREEITEM Item) {
  if (!Item) return nullptr;
  TVITEMW tvi{};
  tvi.mask = TVIF_PARAM | TVIF_HANDLE;
  tvi.hItem = Item;
  if (!Send(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvi))) return nullptr;
  return reinterpret_cast<Node*>(tvi.lParam);
}

void FolderTree::Fill(HTREEITEM Item) {
  Node* node = NodeOf(Item);
  if (!node || node->Filled) return;
  node->Filled = true;
  ComRef<IShellFolder> desktop, folder;
  if (FAILED(SHGetDesktopFolder(&desktop))) return;
  if (node->Pidl->mkid.cb == 0) {
    folder.p = desktop.p;
    folder.p->AddRef();
  } else if (FAILED(desktop->BindToObject(node->Pidl, nullptr, IID_IShellFolder,
                                          reinterpret_cast<void**>(&folder)))) {
    folder.p = nullptr;
  }
  int added = 0;
  ComRef<IEnumIDList> list;
  if (folder && folder->EnumObjects(Handle(), SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN, &list) ==
                    S_OK &&
      list) {
    PITEMID_CHILD child = nullptr;
    while (list->Next(1, &child, nullptr) == S_OK) {
      SFGAOF attrs = SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_STREAM;
      PCUITEMID_CHILD one = child;
      // Archives count as folders to the shell, but they are files to a checksum list.
      if (SUCCEEDED(folder->GetAttributesOf(1, &one, &attrs)) && (attrs & SFGAO_FOLDER) &&
          !(attrs & SFGAO_STREAM)) {
        PIDLIST_ABSOLUTE full = ILCombine(node->Pidl, child);
        if (full && AddItem(Item, full, (attrs & SFGAO_HASSUBFOLDER) != 0))
          ++added;
        else
          CoTaskMemFree(full);
      }
      CoTaskMemFree(child);
    }
  }
  if (added) {
    TVSORTCB sort{Item, CompareSiblings, reinterpret_cast<LPARAM>(folder.p)};
    Send(TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
  } else {
    TVITEMW tvi{};
    tvi.mask = TVIF_CHILDREN | TVIF_HANDLE;
    tvi.hItem = Item;
    Send(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tvi));
  }
}

bool FolderTree::BrowseTo(const std::wstring& Path, bool Expand, bool Select) {
  if (Path.empty() || !Handle() || !root_) return false;
  ComRef<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(&desktop))) return false;
  std::wstring name = Path;  // the parser wants a writable string
  PIDLIST_RELATIVE target = nullptr;
  ULONG eaten = 0;
  if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, name.data(), &eaten, &target, nullptr)) ||
      !target)
    return false;
  // Find the whole chain first: a path the tree cannot reach leaves it as it was.
  std::vector<HTREEITEM> chain{root_};
  const int depth = IdCount(target);
  for (int d = 1; d <= depth; ++d) {
    Fill(chain.back());
    PIDLIST_ABSOLUTE prefix = Prefix(target, d);
    HTREEITEM found = nullptr;
    for (auto c = reinterpret_cast<HTREEITEM>(
             Send(TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(chain.back())));
         c && prefix;
         c = reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_NEXT,
                                                reinterpret_cast<LPARAM>(c))))
      if (Node* n = NodeOf(c); n && SameItem(desktop.p, n->Pidl, prefix)) {
        found = c;
        break;
      }
    CoTaskMemFree(prefix);
    if (!found) {
      CoTaskMemFree(target);
      return false;
    }
    chain.push_back(found);
  }
  CoTaskMemFree(target);
  HTREEITEM last = chain.back();
  chain.pop_back();
  for (HTREEITEM i : chain) Send(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(i));
  if (Expand) {
    Fill(last);
    Send(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(last));
  }
  if (Select) Send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(last));
  Send(TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(last));
  return true;
}

HTREEITEM FolderTree::Selected() {
  return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_CARET, 0));
}

std::wstring FolderTree::PathOf(HTREEITEM Item) {
  Node* node = NodeOf(Item);
  if (!node) return {};
  wchar_t path[MAX_PATH * 2] = {};
  if (SHGetPathFromIDListW(node->Pidl, path) && wcslen(path) < MAX_PATH - 1) return path;
  // The shell answers in MAX_PATH characters: a longer path fails or, under Wine, comes back
  // cut short. Such a folder is its parent's path and its own name.
  ComRef<IShellFolder> parent;
  PCUITEMID_CHILD last = nullptr;
  if (FAILED(SHBindToParent(node->Pidl, IID_IShellFolder, reinterpret_cast<void**>(&parent),
                            &last)))
    return {};
  SFGAOF attrs = SFGAO_FILESYSTEM;
  STRRET display{};
  wchar_t* own = nullptr;
  if (FAILED(parent->GetAttributesOf(1, &last, &attrs)) || !(attrs & SFGAO_FILESYSTEM) ||
      FAILED(parent->GetDisplayNameOf(last, SHGDN_INFOLDER | SHGDN_FORPARSING, &display)) ||
      FAILED(StrRetToStrW(&display, last, &own)))
    return {};
  const std::wstring name = own;
  CoTaskMemFree(own);
  std::wstring base = PathOf(reinterpret_cast<HTREEITEM>(
      Send(TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(Item))));
  if (base.empty()) return {};
  if (base.back() != L'\\') base += L'\\';
  return base + name;
}

std::wstring FolderTree::SelectedPath() {
  return PathOf(Selected());
}

void FolderTree::ShowContextMenu() {
  POINT pt;
  GetCursorPos(&pt);
  TVHITTESTINFO hit{};
  hit.pt = pt;
  ScreenToClient(Handle(), &hit.pt);
  Node* node = NodeOf(reinterpret_cast<HTREEITEM>(Send(TVM_HITTEST, 0,
                                                       reinterpret_cast<LPARAM>(&hit))));
  if (!node) return;
  ComRef<IShellFolder> parent;
  PCUITEMID_CHILD last = nullptr;
  if (FAILED(SHBindToParent(node->Pidl, IID_IShellFolder, reinterpret_cast<void**>(&parent),
                            &last)))
    return;
  ComRef<IContextMenu> menu;
  if (FAILED(parent->GetUIObjectOf(Handle(), 1, &last, IID_IContextMenu, nullptr,
                                   reinterpret_cast<void**>(&menu))))
    return;
  HMENU popup = CreatePopupMenu();
  if (SUCCEEDED(menu->QueryContextMenu(popup, 0, 1, 0x7FFF, CMF_NORMAL | CMF_EXPLORE))) {
    UINT cmd = TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0, Handle(),
                              nullptr);
    if (cmd > 0) {
      CMINVOKECOMMANDINFO ici{};
      ici.cbSize = sizeof(ici);
      ici.hwnd = Handle();
      ici.lpVerb = MAKEINTRESOURCEA(cmd - 1);
      ici.nShow = SW_SHOWNORMAL;
      menu->InvokeCommand(&ici);
    }
  }
  DestroyMenu(popup);
}

bool FolderTree::HandleNotify(NMHDR* hdr, LRESULT& result) {
  switch (hdr->code) {
    case TVN_ITEMEXPANDINGW: {
      auto* nm = reinterpret_cast<NMTREEVIEWW*>(hdr);
      if (nm->action & TVE_EXPAND) Fill(nm->itemNew.hItem);
      result = FALSE;
      return true;
    }
    case TVN_SELCHANGEDW:
      if (OnChange) OnChange();
      result = 0;
      return true;
    case NM_RCLICK:
      ShowContextMenu();
      result = TRUE;
      return true;
  }
  return false;
}

}  // namespace ui
