#pragma once
// The show: its globals, its routines and its event handlers.

#include <cstdint>
#include <optional>
#include <vector>

#include "stage/core/stage.h"
#include "stage/draw/canvas.h"

namespace show {

// Identifiers of the main window and its controls.
inline constexpr std::uint32_t kMainWindowId = 0x52010001;
inline constexpr stage::ControlRef kMainWindow{kMainWindowId, stage::kWindowItself};
inline constexpr stage::ControlRef kBurstTimer{kMainWindowId, 0x160104BB};      // 时钟2
inline constexpr stage::ControlRef kBanner{kMainWindowId, 0x16010479};          // 标签1
inline constexpr stage::ControlRef kFlower5{kMainWindowId, 0x160101ED};         // 花5
inline constexpr stage::ControlRef kFlower4{kMainWindowId, 0x1601016C};         // 花4
inline constexpr stage::ControlRef kFlower1{kMainWindowId, 0x1601016D};         // 花1
inline constexpr stage::ControlRef kFlower3{kMainWindowId, 0x1601016E};         // 花3
inline constexpr stage::ControlRef kFlower2{kMainWindowId, 0x1601016F};         // 花2
inline constexpr stage::ControlRef kCountdownTimer{kMainWindowId, 0x16010062};  // 时钟1
inline constexpr stage::ControlRef kCanvas{kMainWindowId, 0x16010007};          // 画板1

// Kind-specific property numbers the show writes.
inline constexpr int kBackgroundPicture = 10;  // 画板1
inline constexpr int kTextColor = 20;          // 画板1
inline constexpr int kCaption = 8;             // 标签1
inline constexpr int kBannerBackColor = 17;    // 标签1

// A family of flowers: a picture button and its clones, indexed from 1.
using Family = std::vector<stage::ControlRef>;

// The show's shared state; every value starts zero, empty or absent.
extern std::optional<stage::ByteSet> g_backdrop;
extern Family g_family1, g_family2, g_family3, g_family4;
extern std::int32_t g_stopFalling;
extern std::int32_t g_countdown;
extern std::int32_t g_burstTicks;

// Element `index` (from 1) of an array; an index below 1 or past the end is a fatal report.
template <class T>
T& At(std::vector<T>& array, std::int32_t index) {
  if (index < 1) stage::ReportRuntimeError(4);
  if (index > static_cast<std::int32_t>(array.size())) stage::ReportRuntimeError(1);
  return array[index - 1];
}

// The `choice`-th of the listed values (from 1); any other choice is a fatal report.
template <class T>
const T& Choose(std::int32_t choice, std::initializer_list<T> values) {
  if (choice < 1 || choice > static_cast<std::int32_t>(values.size())) {
    stage::ReportRuntimeError(9);
  }
  return values.begin()[choice - 1];
}

// Every coordinate the show computes with fractions is computed in double precision and then
// truncated toward zero, whatever the rounding mode.
inline std::int32_t Trunc(double value) { return static_cast<std::int32_t>(value); }

// The stored window definitions of the program.
const std::vector<stage::WindowDefinition>& WindowDefinitions();
stage::WindowDefinition MainWindowDefinition();

// Lifecycle.
int ProgramStart();
void InitFlowerFamilies();
void ReleaseResources();

// Event handlers.
void OnMainWindowCreated();
void OnBurstTimer();
void OnCountdownTimer();

// Scenes.
void RunOpeningSequence();
void DrawHeartOutline(stage::ControlRef canvas, stage::PictureValue picture, std::int32_t pause);
void RunHeartParade();
void DrawBirthdayGreeting();
void StartFlowerRain();
void StackFlowerTiers(stage::ControlRef r1, stage::ControlRef r2, stage::ControlRef r3,
                      stage::ControlRef r4);
void FlowerFallWorker(std::int32_t column);
void RunFlowerBurst();
void ScatterFlowers(std::int32_t mode, stage::PictureValue picture);

// Property helpers for the show's most common reads and writes.
inline std::int32_t GetInt(stage::ControlRef ref, int number) {
  return stage::AsInt(stage::GetProperty(ref, number));
}
inline void SetInt(stage::ControlRef ref, int number, std::int32_t value) {
  stage::SetProperty(ref, number, value);
}

}  // namespace show
