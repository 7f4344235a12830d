#include "stage/draw/drawing.h"

#include "stage/draw/kinds.h"

namespace stage {

void InitDrawing(Backend& backend) {
  static draw::Compositor* compositor = nullptr;
  if (compositor == nullptr) compositor = new draw::Compositor(backend);  // lives with the process
  draw::SetCurrentCompositor(compositor);
  Layer::SetObserver(compositor);
  SetBehaviorFactory(Kind::DrawPanel,
                     [](Kind, const PropertyBlock& stored) { return draw::MakeCanvas(stored); });
  SetBehaviorFactory(Kind::Label,
                     [](Kind, const PropertyBlock& stored) { return draw::MakeLabel(stored); });
  SetBehaviorFactory(Kind::PicBtn, [](Kind, const PropertyBlock& stored) {
    return draw::MakePictureButton(stored);
  });
}

namespace draw {

ScreenBitmap DecodeForScreen(ByteSetView bytes) {
  if (bytes.empty()) return {};
  auto picture = DecodePicture(bytes.data(), bytes.length());
  if (!picture) return {};
  ScreenBitmap bitmap = MakeScreenBitmap(*picture);
  if (bitmap.pixels.size() != std::size_t(bitmap.width) * std::size_t(bitmap.height)) return {};
  return bitmap;
}

}  // namespace draw
}  // namespace stage
