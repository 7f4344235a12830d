// A placeholder for the scenes: the window covers the screen and the event loop runs.

#include "show/show.h"

namespace show {

void OnMainWindowCreated() {
  stage::SetRandomSeed();
  stage::MoveControl(kMainWindow, 0, 0, stage::ScreenWidth(), stage::ScreenHeight());
  stage::MoveControl(kCanvas, 0, 0, stage::ScreenWidth(), stage::ScreenHeight());
  stage::SetProperty(kMainWindow, stage::kVisible, 1);
}

void OnBurstTimer() {}
void OnCountdownTimer() {}

}  // namespace show
