// Window layouts are given in twips (1440 to the inch); a widget turns them
// into pixels through its screen's logical DPI so proportions hold anywhere.
#pragma once

#include <QRect>
#include <QWidget>
#include <cmath>

namespace kavr {

inline int TwipsToPixelsX(const QWidget& widget, int twips) {
  return static_cast<int>(std::lround(twips * widget.logicalDpiX() / 1440.0));
}

inline int TwipsToPixelsY(const QWidget& widget, int twips) {
  return static_cast<int>(std::lround(twips * widget.logicalDpiY() / 1440.0));
}

inline QRect TwipsRect(const QWidget& widget, int left, int top, int width, int height) {
  return QRect(TwipsToPixelsX(widget, left), TwipsToPixelsY(widget, top), TwipsToPixelsX(widget, width),
               TwipsToPixelsY(widget, height));
}

}  // namespace kavr
