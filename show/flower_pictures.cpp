// The pictures of the five picture buttons: the same bytes as five roses of the catalogue.

#include "media/catalogue.h"
#include "show/show.h"

namespace show {

stage::ByteSetView FlowerPicture(int flower) {
  switch (flower) {
    case 1:
      return media::RosePic04();
    case 2:
      return media::RosePic02();
    case 3:
      return media::RosePic03();
    case 4:
      return media::RosePic01();
    case 5:
      return media::RosePic05();
    default:
      return {};
  }
}

}  // namespace show
