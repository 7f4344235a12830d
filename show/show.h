#pragma once
// The show: its globals, its routines and its event handlers.

#include <cstdint>
#include <optional>
#include <vector>

#include "stage/core/stage.h"

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

// A family of flowers: a picture button and its clones, indexed from 1.
using Family = std::vector<stage::ControlRef>;

// The show's shared state; every value starts zero, empty or absent.
extern std::optional<stage::ByteSet> g_backdrop;
extern Family g_family1, g_family2, g_family3, g_family4;
extern std::int32_t g_stopFalling;
extern std::int32_t g_countdown;
extern std::int32_t g_burstTicks;

// Element `index` (from 1) of a family; an index below 1 or past the end is a fatal report.
stage::ControlRef& FamilyAt(Family& family, std::int32_t index);

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

}  // namespace show
