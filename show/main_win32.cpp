// The birthday show on the Windows desktop it is started from.
//
// Takes no arguments, reads and writes no files. Exits with 0 after the countdown or Esc, -1
// after a fatal report, and 1 when no window can be made.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "show/show.h"
#include "stage/core/stage.h"
#include "stage/draw/drawing.h"
#include "stage/platform/win32/win32_backend.h"

#ifdef SHOW_TEST_HOOKS
namespace {

// The end-to-end tests' way to a fatal report: the show's start reports a runtime error.
int FatalStart() {
  stage::ReportRuntimeError(5);
}

}  // namespace
#endif

int main() {
  stage::PrepareWin32Process();
  std::string problem;
  std::unique_ptr<stage::Win32Backend> backend = stage::Win32Backend::Open(problem);
  if (backend == nullptr) {
    std::fprintf(stderr, "birthday-show: %s\n", problem.c_str());
    return 1;
  }
  stage::BootStage(*backend, show::WindowDefinitions());
  stage::InitDrawing(*backend);
#ifdef SHOW_TEST_HOOKS
  if (std::getenv("SHOW_TEST_FATAL") != nullptr) stage::RunProgram(FatalStart);
#endif
  stage::RunProgram(show::ProgramStart);
}
