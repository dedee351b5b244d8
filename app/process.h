#pragma once
// The progress windows' common part: the folder box with its history and the shell folder tree,
// the statistics panel, the Start/Abort button, the status bar whose first panel becomes the
// progress bar, and the run itself.
//
// A run stays on the window thread: the document calls DoProgress, DoStatus, DoItemDone and
// DoScanError, which count, redraw and pump messages. A click on "Abort" arrives through that
// pumping; Running is the answer the handlers give the pass, so clearing it stops the pass.
//
// Use (RunProcessWindow does all of it):
//   TVerifyForm form(main);
//   for (auto& f : history) form.PathEdit.Add(f);
//   form.Init(&list, &document, onDone, autoStart);
//   form.ShowModal();
//   history = form.PathEdit.Items();
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/anchors.h"
#include "app/res/process_res.h"
#include "document/data.h"
#include "ui/bars.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/foldertree.h"
#include "ui/listview.h"

// A notify event: called with the window that raised it.
using TNotifyEvent = std::function<void(ui::Window* Sender)>;

class TProcessForm : public ui::Dialog {
 public:
  TProcessForm(int TemplateId, HWND Owner);
  ~TProcessForm() override;

  ui::Label PathLabel{this, IDT_PROCESS_PATH};
  ui::ComboBox PathEdit{this, IDC_PROCESS_PATH};
  ui::Label TreeLabel{this, IDT_PROCESS_TREE};
  ui::FolderTree TreeList{this, IDC_PROCESS_TREE};
  ui::Label StatLabel{this, IDT_PROCESS_STAT};
  ui::Label FilesLabel{this, IDT_PROCESS_FILES};
  ui::Label BytesLabel{this, IDT_PROCESS_BYTES};
  ui::Label TimesLabel{this, IDT_PROCESS_TIMES};
  ui::Label FilesText{this, IDT_PROCESS_FILESTEXT};
  ui::Label BytesText{this, IDT_PROCESS_BYTESTEXT};
  ui::Label TimesText{this, IDT_PROCESS_TIMESTEXT};
  ui::Label InfoShape{this, IDT_PROCESS_INFO};
  ui::Label FailsLabel{this, IDT_PROCESS_FAILS};
  ui::Label FailsText{this, IDT_PROCESS_FAILSTEXT};
  ui::Button StartButton{this, IDB_PROCESS_START};
  ui::Button CloseButton{this, IDCANCEL};
  ui::StatusBar StatusBar{this, IDC_PROCESS_STATUSBAR};
  ui::Label StatusLabel{this, IDT_PROCESS_STATUS};

  TFileList* Document = nullptr;
  ui::ListView* List = nullptr;
  TNotifyEvent OnDone;
  bool Running = false;
  std::wstring SavedTitle;
  bool Syncing = false;
  bool AutoStart = false;
  int32_t FilesLeft = 0;
  int32_t FilesDone = 0;
  int32_t FilesSelected = 0;
  int32_t Fails = 0;
  int64_t BytesLeft = 0;
  int64_t BytesDone = 0;
  int64_t BytesTotal = 0;
  double TimeLeft = 0;
  double TimeElapsed = 0;
  double TimeTotal = 0;
  double StartTime = 0;
  double LastRedraw = 0;

  // The local clock in days; tests put a clock of their own here.
  std::function<double()> Now;

  // Scans Folder (ending in a backslash) with the window's options, setting BytesTotal and
  // FilesSelected; false when the scan was stopped.
  virtual bool Prepare(const std::wstring& Folder) = 0;
  virtual bool IsUpdate() = 0;
  // The enabled states that depend on other controls.
  virtual void UpdateControls() = 0;
  // Once, after the caller filled the folder history and before the window is shown.
  virtual void Init(ui::ListView* List, TFileList* Document, TNotifyEvent OnDone, bool AutoStart);

  // The folder a window starts in: the stored one, resolved against the checksum file's folder
  // when relative.
  std::wstring StartFolder();

  static std::wstring FormatElapsedTime(double Time);
  void UpdateFilesText();
  void UpdateBytesText();
  void UpdateTimesText();
  void UpdateFailsText();
  std::wstring GetPercentText() const;
  void RedrawStatistics();

  // The document's events.
  bool DoProgress(int32_t Bytes, bool Last);
  bool DoStatus(const std::wstring& Text);
  bool DoItemDone(TFileItem* Item, bool Ok);
  bool DoScanError(const std::wstring& Folder, uint32_t ErrorCode);

  void FormActivate();
  void PathEditChange();
  void TreeListChange();
  void StartButtonClick();
  void StatusBarDrawPanel(ui::StatusBar& Bar, int Panel, const RECT& Rect, HDC DC);

  // Colours of the statistics panel and the verdict, as the summary set them ($BBGGRR; -1 for
  // the system's).
  ui::Color InfoColor() const { return infoColor_; }
  ui::Color VerdictColor() const { return verdictColor_; }

 protected:
  void OnInitDialog() override;
  void OnShow() override;
  bool OnCloseQuery(int result) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  // "SUCCESS" or "ALL FILES OK".
  virtual std::wstring SuccessText() = 0;
  // Minimum window size in pixels.
  virtual SIZE MinSize() = 0;

 private:
  void Run();
  // Whether the folder box names a folder that exists; says so when not.
  bool FolderExists();
  void ShowSummary(double Elapsed);
  // Every child window but StartButton (disabled) or all of them (enabled).
  void EnableChildren(bool Enabled);
  void SetInfoColors(ui::Color Info, ui::Color Verdict);
  void SetLabel(ui::Control& Label, const std::wstring& Text);
  // Whether the screen is to follow the counters now (at most four times a second).
  bool ScreenDue();
  // Every statistics text, the title and the status bar as the counters stand; pumps messages.
  void ShowStatistics();
  // Repaints the main list's row of an entry.
  void RepaintNode(void* Node);
  TAnchors anchors_;
  ui::Color infoColor_ = -1, verdictColor_ = -1;
  // Inside Run: stays set after an abort until the run has unwound.
  bool inRun_ = false;
  // The folder box's selection as last seen by PathEditChange.
  int lastPick_ = -1;
  double lastScreen_ = 0;
  std::wstring statusText_;  // the status bar's entry or folder, shown when the screen follows
};

// Shows a progress window over the main window: the folder history goes in and comes back.
void RunProcessWindow(TProcessForm& Form, std::vector<std::wstring>& RecentFolders,
                      ui::ListView* List, TFileList* Document, TNotifyEvent OnDone, bool Auto);

// Folders kept in the history.
constexpr int MaxRecentFolders = 20;
