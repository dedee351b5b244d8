// What the text-layout guard costs where the program pays it: the first routing at start, each
// edit or combo box attached afterwards (which makes sure that modules loaded since are routed
// too), a box attached after a library was loaded, and opening the hash calculator with its
// seven boxes.
//
//   guardbench.exe [boxes] [calculators]      (defaults 500 and 50)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/calc.h"
#include "bench/benchutil.h"
#include "hash/registry.h"
#include "ui/app.h"
#include "ui/controls.h"
#include "ui/prompts.h"
#include "ui/shaping.h"

namespace {

using Clock = std::chrono::steady_clock;

double Microseconds(Clock::time_point start) {
  return Seconds(start) * 1e6;
}

// Creates a box in the parent and times only its wrapper's attach; microseconds.
template <class Box>
double AttachOne(HWND parent, const wchar_t* cls, DWORD style, int id,
                 std::vector<std::unique_ptr<ui::Control>>& boxes) {
  HWND h =
      CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 200, 100, parent,
                      reinterpret_cast<HMENU>(INT_PTR(id)), GetModuleHandleW(nullptr), nullptr);
  auto box = std::make_unique<Box>(nullptr, id);
  const auto start = Clock::now();
  box->Attach(h);
  const double us = Microseconds(start);
  boxes.push_back(std::move(box));
  return us;
}

void Report(const char* what, std::vector<double> us) {
  std::sort(us.begin(), us.end());
  std::printf("%-44s median %9.1f us   min %9.1f us   max %9.1f us   (%zu)\n", what,
              us[us.size() / 2], us.front(), us.back(), us.size());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int boxes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
  const int calculators = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
  if (!ui::OnWine()) std::printf("not under Wine: the guard does nothing here\n");

  auto start = Clock::now();
  ui::Application::Get().Initialize(GetModuleHandleW(nullptr));  // routes what is loaded
  Report("start (common controls and the first routing)", {Microseconds(start)});
  RegisterStandardClasses();

  HWND parent = CreateWindowExW(0, L"STATIC", L"guardbench", WS_POPUP, 0, 0, 400, 300, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  std::vector<std::unique_ptr<ui::Control>> attached;
  std::vector<double> edits, combos;
  for (int i = 0; i < boxes; ++i) {
    edits.push_back(AttachOne<ui::Edit>(parent, L"EDIT", ES_AUTOHSCROLL, 1000 + 2 * i, attached));
    combos.push_back(
        AttachOne<ui::ComboBox>(parent, L"COMBOBOX", CBS_DROPDOWN, 1001 + 2 * i, attached));
  }
  Report("attach an edit", edits);
  Report("attach a combo box", combos);

  // A library loaded since the last box: the next attach takes it in.
  std::vector<double> after;
  for (const wchar_t* name : {L"msxml3.dll", L"wldap32.dll", L"hhctrl.ocx", L"mapi32.dll"}) {
    if (GetModuleHandleW(name) || !LoadLibraryW(name)) continue;
    after.push_back(AttachOne<ui::Edit>(parent, L"EDIT", 0, 900, attached));
  }
  if (!after.empty()) Report("attach an edit after a library was loaded", after);

  std::vector<double> opened;
  for (int i = 0; i < calculators; ++i) {
    ui::Script script;
    script.AnswerDialog([](ui::Dialog& d) { SendMessageW(d.Handle(), WM_CLOSE, 0, 0); });
    TCalcForm form(parent);
    start = Clock::now();
    form.ShowModal();
    opened.push_back(Microseconds(start));
  }
  Report("open and close the hash calculator", opened);
  DestroyWindow(parent);
  return 0;
}
