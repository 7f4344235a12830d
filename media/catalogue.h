#pragma once
// The show's embedded pictures and clips, each a read-only byte set built into the program
// (no file is read at run time). Every view stays valid for the whole run.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "stage/core/byteset.h"

namespace media {

stage::ByteSetView OpeningClip();   // WAV, 8-bit mono, 8000 Hz, 66.1 s
stage::ByteSetView RosePic01();     // pale pink rose
stage::ByteSetView RosePic02();     // red rose head with a leaf
stage::ByteSetView RosePic03();     // red rose on a long stem
stage::ByteSetView RosePic04();     // red rosebud on a stem
stage::ByteSetView RosePic05();     // pink-red rose head
stage::ByteSetView RosePic06();     // pink rose with stem
stage::ByteSetView RosePic07();     // red rose
stage::ByteSetView RosePic08();     // pink rose
stage::ByteSetView RosePic09();     // two pink-red roses
stage::ByteSetView RosePic10();     // red rosebud with leaves
stage::ByteSetView RosePic11();     // close-up of a red rose filling the frame
stage::ByteSetView RosePic12();     // two red roses on thin stems
stage::ByteSetView RosePic13();     // yellow rose
stage::ByteSetView RosePic14();     // yellow rose
stage::ByteSetView RosePic15();     // pink rose
stage::ByteSetView FinaleClip();    // MP3, stereo, 44100 Hz, 100.95 s
stage::ByteSetView GreetingPic1();  // 生 in rainbow colours
stage::ByteSetView GreetingPic2();  // 日, teal, its rim changing colour (animated)
stage::ByteSetView GreetingPic3();  // 快, green
stage::ByteSetView GreetingPic4();  // 乐, black
stage::ByteSetView CakePic();       // birthday cake

// The program's icon, a red rose: a Windows icon file with 48, 32 and 16 pixel images, 8 bits
// per pixel with 256-entry palettes and 1-bit masks. The show never loads it; it is not one of
// the items below.
stage::ByteSetView AppIcon();

struct Item {
  std::string_view name;    // as above, e.g. "RosePic01"
  std::string_view format;  // "GIF", "WAV" or "MP3"
  stage::ByteSetView view;
};

// All twenty-two items in the order the show first uses them.
std::span<const Item> Items();

// The name of the item whose bytes these are, or "" when they are none of them. A view of an
// item itself is recognised by its address; a copy (a stage's own, a picture button's) by its
// length, which differs for every item, and then its content.
std::string NameOf(stage::ByteSetView bytes);
std::string NameOf(std::span<const std::uint8_t> bytes);

}  // namespace media
