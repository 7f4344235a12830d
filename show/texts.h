#pragma once
// The texts the show writes. They are kept as GBK bytes, like every text of the program.

#include "stage/core/text.h"
#include "stage/core/types.h"

namespace show::texts {

inline const stage::Text& Message() {  // the sender replaces it with a message of their own
  static const stage::Text text = stage::Utf8ToGbk("这里自己写");
  return text;
}
inline const stage::Text& MessageLine() {
  static const stage::Text text = stage::Utf8ToGbk("、、、、、");
  return text;
}
inline const stage::Text& BannerStart() {
  static const stage::Text text = stage::Utf8ToGbk("距离程序运行结束还有");
  return text;
}
inline const stage::Text& BannerEnd() {
  static const stage::Text text = stage::Utf8ToGbk("秒！");
  return text;
}

}  // namespace show::texts
