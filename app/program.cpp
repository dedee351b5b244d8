#include "app/program.h"

#include <objbase.h>

#include <memory>

#include "app/main.h"
#include "hash/errors.h"
#include "ui/app.h"

namespace {
std::wstring ExceptionText(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const Exception& x) {
    return x.GetMessage();
  } catch (const std::exception& x) {
    return ui::FromUtf8(x.what());
  } catch (...) {
    return L"Unknown error";
  }
}
}  // namespace

int ProgramMain(HINSTANCE instance, int) {
  InitAnimateWindow();
  OleInitialize(nullptr);  // COM for the window thread (the XML reader, shell links)
  ui::Application& app = ui::Application::Get();
  app.Initialize(instance);
  app.ExceptionText = ExceptionText;
  int rc = 0;
  try {
    auto form = std::make_unique<TMainForm>();
    app.SetMainForm(form.get());
    if (form->CanRun) rc = app.Run();
  } catch (...) {
    app.HandleException();
    rc = 1;
  }
  OleUninitialize();
  return rc;
}
