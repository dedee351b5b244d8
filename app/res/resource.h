#pragma once
// Resource IDs shared by the program-wide resources. Each window keeps its own IDs in its own
// header (app/res/<unit>_res.h) inside its own numeric range, so that string IDs never clash
// (command IDs double as the IDs of their "Caption\nHint" strings):
//   1-99      program-wide (icons)
//   1000-1999 main window (main_res.h)
//   2000-2099 saveconf      2100-2399 process, update, verify    2400-2499 calc
//   2500-2599 props         2600-2699 export                      2700-2799 itemprop
//   2800-2999 options       3000-3099 shlopts                     3100-3199 dlgconv
//   3200-3299 tipsofday     3300-3399 about
#define MAINICON 1
