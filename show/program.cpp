// The program's entry and exit, and the globals the scenes share.

#include <cfenv>

#include "show/show.h"

namespace show {

std::optional<stage::ByteSet> g_backdrop;
Family g_family1, g_family2, g_family3, g_family4;
std::int32_t g_stopFalling = 0;
std::int32_t g_countdown = 0;
std::int32_t g_burstTicks = 0;

void InitFlowerFamilies() {
  g_family1 = {};
  g_family2 = {};
  g_family3 = {};
  g_family4 = {};
}

void ReleaseResources() {
  g_backdrop.reset();
  for (Family* family : {&g_family1, &g_family2, &g_family3, &g_family4}) {
    Family().swap(*family);
  }
}

int ProgramStart() {
  stage::InitStage();
  std::fesetenv(FE_DFL_ENV);
  InitFlowerFamilies();
  stage::SetExitRoutine(ReleaseResources);
  stage::LoadWindow(kMainWindowId);
  stage::RunEventLoop();
  return 0;
}

const std::vector<stage::WindowDefinition>& WindowDefinitions() {
  static const std::vector<stage::WindowDefinition> definitions{MainWindowDefinition()};
  return definitions;
}

}  // namespace show
