#pragma once
// The control kinds of the drawing module, for its own files.

#include <memory>

#include "stage/core/controls.h"
#include "stage/draw/compositor.h"

namespace stage::draw {

std::unique_ptr<ControlBehavior> MakeCanvas(const PropertyBlock& stored);
std::unique_ptr<ControlBehavior> MakeLabel(const PropertyBlock& stored);
std::unique_ptr<ControlBehavior> MakePictureButton(const PropertyBlock& stored);

void SetCurrentCompositor(Compositor* compositor);

// A property value as a colour; anything but an integer is DefaultColor.
inline Color ColorOf(const PropertyValue& value) {
  if (const auto* i = std::get_if<std::int32_t>(&value)) return *i;
  return kDefaultColor;
}

// Picture bytes of a property value (empty for anything else).
inline ByteSet BytesOf(const PropertyValue& value) {
  if (const auto* b = std::get_if<ByteSet>(&value)) return *b;
  return ByteSet();
}

// Decodes picture bytes for the screen; an empty bitmap when they do not decode.
ScreenBitmap DecodeForScreen(ByteSetView bytes);

}  // namespace stage::draw
