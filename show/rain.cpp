// The flower rain: four picture buttons and four clones of each, stacked above the screen in
// tiers by family, fall in five columns moved by five workers.

#include "show/show.h"

namespace show {
namespace {

std::int32_t Flower1Height() { return GetInt(kFlower1, stage::kHeight); }

Family& FamilyOf(std::int32_t k) {
  return *Choose<Family*>(k, {&g_family1, &g_family2, &g_family3, &g_family4});
}

stage::ControlRef FlowerOf(std::int32_t k) {
  return Choose<stage::ControlRef>(k, {kFlower1, kFlower2, kFlower3, kFlower4});
}

}  // namespace

void StackFlowerTiers(stage::ControlRef r1, stage::ControlRef r2, stage::ControlRef r3,
                      stage::ControlRef r4) {
  SetInt(r1, stage::kTop, -Flower1Height() * 1);
  SetInt(r2, stage::kTop, -Flower1Height() * 4);
  SetInt(r3, stage::kTop, -Flower1Height() * 9);
  SetInt(r4, stage::kTop, -Flower1Height() * 16);
}

void StartFlowerRain() {
  StackFlowerTiers(kFlower1, kFlower2, kFlower3, kFlower4);
  for (std::int32_t k = 1; k <= 4; ++k) FamilyOf(k).push_back(FlowerOf(k));

  for (std::int32_t i = 1; i <= 4; ++i) {
    for (std::int32_t k = 1; k <= 4; ++k) FamilyOf(k).push_back(FlowerOf(k));
    // The clone takes the place of entry i, so the original always stays last.
    for (std::int32_t k = 1; k <= 4; ++k) {
      stage::CloneControl(stage::Kind::PicBtn, FlowerOf(k), stage::Kind::PicBtn,
                          At(FamilyOf(k), i));
    }
    for (std::int32_t k = 1; k <= 4; ++k) {
      SetInt(At(FamilyOf(k), i), stage::kLeft,
             Trunc(i * (GetInt(FlowerOf(k), stage::kWidth) + i + 130.0)));
    }
    StackFlowerTiers(At(g_family1, i), At(g_family2, i), At(g_family3, i), At(g_family4, i));
    for (std::int32_t k = 1; k <= 4; ++k) SetInt(At(FamilyOf(k), i), stage::kVisible, 1);
  }

  for (std::int32_t column = 1; column <= 5; ++column) {
    stage::StartThread(FlowerFallWorker, column);
  }

  SetInt(kCanvas, stage::kLeft, 0);
  SetInt(kCanvas, stage::kTop, 0);
  SetInt(kCanvas, stage::kWidth, stage::ScreenWidth());
  SetInt(kCanvas, stage::kHeight, stage::ScreenHeight());
}

// Moves column `column` down by 10 * column pixels about ten times a second; a flower whose top
// has reached the bottom edge goes back above the screen by a height that depends on its family.
void FlowerFallWorker(std::int32_t column) {
  for (;;) {
    const std::int32_t h = stage::ScreenHeight();
    for (std::int32_t k = 1; k <= 4; ++k) {
      const stage::ControlRef flower = At(FamilyOf(k), column);
      if (GetInt(flower, stage::kTop) >= h) {
        SetInt(flower, stage::kTop, Trunc(-Flower1Height() * static_cast<double>(k)));
      }
    }
    for (std::int32_t k = 1; k <= 4; ++k) {
      const stage::ControlRef flower = At(FamilyOf(k), column);
      SetInt(flower, stage::kTop, GetInt(flower, stage::kTop) + 10 * column);
    }
    if (g_stopFalling != 0) return;
    stage::Delay(100);
    stage::ProcessEvents();
    stage::RefreshWindow(kMainWindow);
  }
}

}  // namespace show
