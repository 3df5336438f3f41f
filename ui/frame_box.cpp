#include "frame_box.h"

#include <qdrawutil.h>

#include <QPainter>
#include <QStyle>

namespace kavr {

QRect FrameBox::BorderRect() const {
  const int captionMiddle = fontMetrics().height() / 2;
  return rect().adjusted(0, captionMiddle, 0, 0);
}

void FrameBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // An etched line in the palette's shades, as group frames are drawn
  // wherever the style does not move them.
  qDrawShadeRect(&painter, BorderRect(), palette(), true, 1, 0);
  if (title().isEmpty()) return;

  // The caption sits on the border, one character in, with the border
  // cleared behind it.
  const QFontMetrics metrics = fontMetrics();
  const int gap = metrics.averageCharWidth() / 2;
  const QRect caption(metrics.averageCharWidth() - gap, 0, metrics.horizontalAdvance(title()) + 2 * gap,
                      metrics.height());
  painter.fillRect(caption, palette().window());
  style()->drawItemText(&painter, caption, Qt::AlignCenter | Qt::TextShowMnemonic, palette(), isEnabled(),
                        title(), QPalette::WindowText);
}

}  // namespace kavr
