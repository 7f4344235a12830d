// The opening: the window covers the screen with a photograph of the desktop, then the heart
// parade and the greeting play, the last frame freezes as the backdrop and the rain starts.

#include "media/catalogue.h"
#include "show/show.h"
#include "stage/sound/sound.h"

namespace show {

void OnMainWindowCreated() {
  stage::SetRandomSeed();
  stage::MoveControl(kMainWindow, 0, 0, stage::ScreenWidth(), stage::ScreenHeight());
  stage::MoveControl(kCanvas, 0, 0, stage::ScreenWidth(), stage::ScreenHeight());
  {
    // The window is still hidden, so this is the desktop as the user left it.
    stage::ByteSet snap = stage::TakeSnapshot();
    stage::SetProperty(kCanvas, kBackgroundPicture, snap);
  }
  SetInt(kMainWindow, stage::kVisible, 1);
  RunOpeningSequence();
}

void RunOpeningSequence() {
  stage::PlaySound(media::OpeningClip(), /*loop=*/false);
  RunHeartParade();
  // The window covers the screen now: this is the show's own last frame.
  g_backdrop = stage::TakeSnapshot();  // releases an earlier backdrop, if there were one
  stage::ClearCanvas(kCanvas);
  stage::MoveControl(kCanvas, 0, 0, stage::ScreenWidth(), stage::ScreenHeight());
  stage::SetProperty(kCanvas, kBackgroundPicture, *g_backdrop);
  StartFlowerRain();
}

}  // namespace show
