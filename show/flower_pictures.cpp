// The pictures of the five picture buttons: the same bytes as five roses of the catalogue.

#include "show/show.h"

namespace show {

// Until the media catalogue is built in, the buttons have no picture.
stage::ByteSetView FlowerPicture(int /*flower*/) { return {}; }

}  // namespace show
