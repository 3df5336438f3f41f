// A group frame drawn the way the window's twips positions assume: the
// border runs through the middle of the caption's line, with or without a
// caption, so that controls placed a caption's height below the frame's top
// sit inside it. Qt's styles draw the caption above the border instead (and
// a frame without caption higher up), which runs the border through the
// controls.
#pragma once

#include <QGroupBox>
#include <QRect>

namespace kavr {

class FrameBox : public QGroupBox {
  Q_OBJECT

 public:
  using QGroupBox::QGroupBox;

  // The border's outer edge, in the frame's own coordinates.
  QRect BorderRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace kavr
