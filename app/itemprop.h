#pragma once
// The "Item properties" dialog: one entry of the checksum document edited by hand. Nothing
// reaches the entry before SaveToItem, which the caller runs after an OK close.
//
//   TItemPropForm f(main);
//   f.SetItem(item);
//   if (f.ShowModal() == IDOK) f.SaveToItem();
#include <cstdint>
#include <string>

#include "app/res/itemprop_res.h"
#include "document/data.h"
#include "hash/coders.h"
#include "ui/controls.h"
#include "ui/dialog.h"

// A date or time picker that keeps a full date-time value on the day scale (days since
// 30 December 1899, time as the fraction); the control shows its date or its time part, and a
// user's change replaces only that part.
class TDateTimeEdit : public ui::DateTimePicker {
 public:
  TDateTimeEdit(ui::Window* owner, int id, bool timeKind)
      : DateTimePicker(owner, id), timeKind_(timeKind) {}
  double DateTime() const { return value_; }
  void SetDateTime(double value);
  bool HandleNotify(NMHDR* hdr, LRESULT& result) override;

 private:
  bool timeKind_;
  double value_ = 0;
};

// Day-scale values and the system's broken-down time.
double SystemTimeToDateTime(const SYSTEMTIME& st);
SYSTEMTIME DateTimeToSystemTime(double value);
// The local date and time now, on the day scale.
double Now();

// A hash value decoded with one encoder and encoded with another. Raises EStringFormat when
// From cannot decode it.
std::string RecodeHashValue(TCoderClass From, TCoderClass To, const std::string& Value);

class TItemPropForm : public ui::Dialog {
 public:
  explicit TItemPropForm(HWND owner);

  ui::Edit NameEdit{this, IDC_ITEMPROP_NAME};
  ui::Edit HashEdit{this, IDC_ITEMPROP_HASH};
  ui::ComboBox TypeBox{this, IDC_ITEMPROP_TYPE};
  ui::ComboBox CodeBox{this, IDC_ITEMPROP_CODE};
  ui::Button OKButton{this, IDOK};
  ui::Button CancelButton{this, IDCANCEL};
  TDateTimeEdit DateEdit{this, IDC_ITEMPROP_DATE, false};
  TDateTimeEdit TimeEdit{this, IDC_ITEMPROP_TIME, true};
  ui::Edit SizeEdit{this, IDC_ITEMPROP_SIZE};
  ui::Edit NoteMemo{this, IDC_ITEMPROP_NOTE};

  TFileItem* Item = nullptr;  // not owned
  int32_t LastTypeIndex = -1;
  int32_t LastCodeIndex = -1;

  void SetItem(TFileItem* Value);
  void LoadFromItem();
  void SaveToItem();
  // Refuses an OK close while the size is not an integer.
  bool FormCloseQuery(int Result);
  void TypeBoxChange();
  void CodeBoxChange();

  // Empty text: true with Size untouched; otherwise true exactly when the whole text is a
  // signed 64-bit integer.
  static bool TryParseSize(const std::wstring& Text, int64_t& Size);

  // The hash value as the entry keeps it (8-bit text).
  std::string HashText();
  void SetHashText(const std::string& Value);

 protected:
  void OnInitDialog() override;
  bool OnCloseQuery(int result) override { return FormCloseQuery(result); }
};
