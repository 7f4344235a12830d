// The heart parade: one slow heart, then five passes of fifteen hearts, then the birthday
// greeting over the last heart.

#include "media/catalogue.h"
#include "show/show.h"
#include "stage/sound/sound.h"

namespace show {

void RunHeartParade() {
  DrawHeartOutline(kCanvas, stage::LoadPicture(media::RosePic01()), 500);
  stage::Delay(1000);

  const stage::ByteSetView parade[] = {
      media::RosePic02(), media::RosePic03(), media::RosePic04(), media::RosePic05(),
      media::RosePic06(), media::RosePic07(), media::RosePic08(), media::RosePic09(),
      media::RosePic10(), media::RosePic11(), media::RosePic12(), media::RosePic13(),
      media::RosePic14(), media::RosePic01(), media::RosePic15(),
  };
  std::int32_t pause = 0;  // per heart step
  std::int32_t hold = 0;   // after each heart
  for (std::int32_t pass = 1; pass <= 5; ++pass) {
    if (pass == 1) {
      pause = 100;
      hold = 500;
    } else if (pass == 2) {
      pause = 0;
    } else if (pass == 4) {
      pause = 0;
      hold = 0;
    }
    for (stage::ByteSetView picture : parade) {
      stage::ClearCanvas(kCanvas);
      DrawHeartOutline(kCanvas, stage::LoadPicture(picture), pause);
      stage::Delay(hold);
    }
  }

  stage::StopSound();
  stage::PlaySound(media::FinaleClip());  // MPEG audio: refused, so silence follows
  stage::Delay(3000);
  DrawBirthdayGreeting();
  SetInt(kBurstTimer, stage::timer_property::kInterval, 1000);
}

namespace {

void DrawGreetingPicture(stage::ByteSetView picture, std::int32_t left, std::int32_t top,
                         std::int32_t size) {
  stage::DrawPicture(kCanvas, stage::LoadPicture(picture), left, top, size, size,
                     stage::kTransparentWhite);
}

std::int32_t W() { return stage::ScreenWidth(); }
std::int32_t H() { return stage::ScreenHeight(); }

}  // namespace

// The four characters in the quarters of the screen and the cake between them. The top pair
// takes its top from the screen's width, the lower pair from its height.
void DrawBirthdayGreeting() {
  DrawGreetingPicture(media::GreetingPic1(), Trunc(W() / 10.0 * 1.5), Trunc(W() / 22.0), 250);
  stage::Delay(100);
  DrawGreetingPicture(media::GreetingPic2(), Trunc(W() / 12.0 * 8), Trunc(W() / 22.0), 250);
  stage::Delay(100);
  DrawGreetingPicture(media::GreetingPic3(), Trunc(W() / 10.0 * 1.5), Trunc(H() / 9.0 * 6), 250);
  stage::Delay(100);
  DrawGreetingPicture(media::GreetingPic4(), Trunc(W() / 12.0 * 8), Trunc(H() / 9.0 * 6), 250);
  stage::Delay(500);
  DrawGreetingPicture(media::CakePic(), Trunc(W() / 3.0), Trunc(H() / 4.0), 400);
}

}  // namespace show
