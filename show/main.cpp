// The birthday show on the desktop it is started from.
//
// Takes no arguments, reads and writes no files. Exits with 0 after the countdown or Esc, 255
// after a fatal report, and 1 when there is no display to show on.

#include <cstdio>
#include <string>

#include "show/show.h"
#include "stage/core/stage.h"
#include "stage/draw/drawing.h"
#include "stage/platform/sdl/sdl_backend.h"

int main() {
  std::string problem;
  std::unique_ptr<stage::SdlBackend> backend = stage::SdlBackend::Open(problem);
  if (backend == nullptr) {
    std::fprintf(stderr, "birthday-show: %s\n", problem.c_str());
    return 1;
  }
  stage::BootStage(*backend, show::WindowDefinitions());
  stage::InitDrawing(*backend);
  stage::RunProgram(show::ProgramStart);
}
