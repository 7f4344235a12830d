#pragma once
// Setting up the drawing module: the compositor and the control kinds that paint.

#include "stage/core/backend.h"

namespace stage {

// Installs the compositor as the screen's observer and the behaviours of the canvas, the
// label and the picture button. The program's entry calls it once, after BootStage and before
// the first window is loaded.
void InitDrawing(Backend& backend);

}  // namespace stage
