#pragma once
// Folder tree of the shell namespace on a tree-view control (WC_TREEVIEW in a template, or any
// child the owner created with the ID): rooted at the desktop, filled a level at a time as
// branches open, with the shell's icons and its context menu on a right click.
//
//   ui::FolderTree Tree{this, IDC_TREE};
//   Tree.OnChange = [this] { PathEdit.SetText(Tree.SelectedPath()); };
//   Tree.BrowseTo(L"C:\\data", /*expand*/ true, /*select*/ true);
//
// Items keep absolute item ID lists, so virtual folders (the desktop, My Computer) are nodes
// too; they have no file-system path.
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/controls.h"

namespace ui {

class FolderTree : public Control {
 public:
  using Control::Control;
  ~FolderTree() override;

  // The selection changed (by the user or by BrowseTo).
  std::function<void()> OnChange;

  // Opens the branches down to Path and scrolls it into view; Expand also opens Path itself,
  // Select makes it the selection (OnChange runs). The focus stays where it is. False, and the
  // tree as it was, when the shell does not know Path.
  bool BrowseTo(const std::wstring& Path, bool Expand, bool Select);
  // The file-system path of the selected folder; empty for none or for a virtual folder.
  std::wstring SelectedPath();
  // The file-system path of an item's folder; empty for a virtual one.
  std::wstring PathOf(HTREEITEM Item);
  HTREEITEM Selected();

  bool HandleNotify(NMHDR* hdr, LRESULT& result) override;

 private:
  struct Node {
    PIDLIST_ABSOLUTE Pidl = nullptr;
    bool Filled = false;
    ~Node();
  };
  void OnAttached() override;
  HTREEITEM AddItem(HTREEITEM Parent, PIDLIST_ABSOLUTE Pidl, bool HasChildren);
  Node* NodeOf(HTREEITEM Item);
  // Lists an item's sub-folders once.
  void Fill(HTREEITEM Item);
  void ShowContextMenu();
  std::vector<std::unique_ptr<Node>> nodes_;
  HTREEITEM root_ = nullptr;
};

}  // namespace ui
