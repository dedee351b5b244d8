#pragma once
// Resource IDs shared by the program-wide resources. Each window keeps its own IDs in its own
// header (app/res/<unit>_res.h) inside its own numeric range.
#define MAINICON 1
