// The burst of roses on the 30th tick of the burst timer, and the countdown tick that writes
// the message, lays a row of roses along the bottom, sets the banner and ends the program.

#include "media/catalogue.h"
#include "show/show.h"
#include "show/texts.h"
#include "stage/sound/sound.h"

namespace show {

void OnBurstTimer() {
  ++g_burstTicks;
  if (g_burstTicks == 30) RunFlowerBurst();
}

void RunFlowerBurst() {
  for (std::int32_t wave = 1; wave <= 10; ++wave) {
    const std::int32_t choice = stage::RandomInt(1, 5);
    const stage::PictureValue pictures[] = {
        stage::LoadPicture(media::RosePic01()), stage::LoadPicture(media::RosePic02()),
        stage::LoadPicture(media::RosePic03()), stage::LoadPicture(media::RosePic04()),
        stage::LoadPicture(media::RosePic15()),
    };
    ScatterFlowers(1, Choose(choice, {pictures[0], pictures[1], pictures[2], pictures[3],
                                      pictures[4]}));
  }
  stage::ClearCanvas(kCanvas);  // back to the frozen frame
  SetInt(kCountdownTimer, stage::timer_property::kInterval, 1000);
}

namespace {

void StampAtRandom(stage::PictureValue picture) {
  const std::int32_t x = stage::RandomInt(0, Trunc(stage::ScreenWidth() - 110.0));
  const std::int32_t y = stage::RandomInt(0, Trunc(stage::ScreenHeight() - 110.0));
  stage::DrawPicture(kCanvas, picture, x, y, stage::kOmitted, stage::kOmitted,
                     stage::kTransparentWhite);
}

}  // namespace

// Mode 1: a wave of 11 rows of 9 pictures, half a second after each row. Mode 0: one picture.
void ScatterFlowers(std::int32_t mode, stage::PictureValue picture) {
  if (mode == 1) {
    for (std::int32_t row = 1; row <= 11; ++row) {
      for (std::int32_t column = 1; column <= 9; ++column) StampAtRandom(picture);
      stage::Delay(500);
    }
  } else if (mode == 0) {
    StampAtRandom(picture);
    stage::Delay(20);
  }
}

void OnCountdownTimer() {
  stage::WriteText(kCanvas, 10, 100, texts::Message());
  for (std::int32_t y = 200; y <= 500; y += 100) {
    stage::WriteText(kCanvas, 100, y, texts::MessageLine());
  }
  const std::int32_t r = stage::RandomInt(0, 255);
  const std::int32_t g = stage::RandomInt(0, 255);
  const std::int32_t b = stage::RandomInt(0, 255);
  SetInt(kCanvas, kTextColor, stage::MakeColor(r, g, b));

  for (std::int32_t i = 1; i <= 10; ++i) {
    stage::DrawPicture(kCanvas, stage::LoadPicture(media::RosePic06()), Trunc((i - 1) * 143.0),
                       Trunc(stage::ScreenHeight() - 200.0), stage::kOmitted, stage::kOmitted,
                       stage::kTransparentWhite);
  }

  if (g_countdown < 10) {
    {
      const stage::Text banner = texts::BannerStart() + stage::IntToText(g_countdown) +
                                 texts::BannerEnd();
      stage::SetProperty(kBanner, kCaption, banner);
    }
    stage::MoveControl(kBanner, 0, Trunc(stage::ScreenHeight() - 80.0), stage::ScreenWidth(), 80);
    SetInt(kBanner, stage::kVisible, 1);
    SetInt(kBanner, kBannerBackColor, 32896);
  }

  --g_countdown;
  if (g_countdown == -1) {
    stage::StopSound();
    stage::EndProgram(0);
  }
}

}  // namespace show
