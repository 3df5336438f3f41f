#include "report_box.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QTextBoundaryFinder>
#include <algorithm>

namespace kavr {
namespace {

constexpr QChar kBreakOpportunity(0x200B);  // zero-width space

// Where Qt's box starts wrapping its text: half the screen, at most 500 px.
// A word wider than that cannot be shown whole on a wrapped line.
int WrapWidth(const QScreen& screen) { return std::min(screen.availableGeometry().width() / 2, 500); }

// A grapheme at a time, so that no character is split from its marks.
void AppendBreakable(const QString& run, QString& out) {
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, run);
  qsizetype from = 0;
  while (graphemes.toNextBoundary() != -1) {
    out += run.mid(from, graphemes.position() - from);
    out += kBreakOpportunity;
    from = graphemes.position();
  }
}

QString AsCopied(QString selection) {
  selection.remove(kBreakOpportunity);
  // A label's selection ends its paragraphs in U+2029, which other programs
  // do not read as a line break.
  selection.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  selection.replace(QChar::LineSeparator, QLatin1Char('\n'));
  return selection;
}

}  // namespace

int TitleBarWidth(const QString& title, QFont font) {
  font.setBold(true);
  const QFontMetrics metrics(font);
  const int line = metrics.height();
  constexpr int kIconAndButtons = 4;
  return metrics.horizontalAdvance(title) + kIconAndButtons * line * 3 / 2 + 2 * line;
}

QString BreakableText(const QString& text, const QFontMetrics& metrics, int width) {
  QString out;
  out.reserve(text.size());
  qsizetype runStart = 0;
  for (qsizetype i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !text.at(i).isSpace()) continue;
    const QString run = text.mid(runStart, i - runStart);
    if (metrics.horizontalAdvance(run) > width) {
      AppendBreakable(run, out);
    } else {
      out += run;
    }
    if (i < text.size()) out += text.at(i);
    runStart = i + 1;
  }
  return out;
}

ReportBox::ReportBox(Icon icon, const QString& title, const QString& text, QWidget* parent)
    : QMessageBox(icon, title, QString(), QMessageBox::Ok, parent), text_(text) {
  // A library's text is never taken as markup.
  setTextFormat(Qt::PlainText);
  setText(BreakableText(text, fontMetrics(), WrapWidth(*screen())));
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  // Enter dismisses the box wherever the focus is.
  setDefaultButton(QMessageBox::Ok);
  label_ = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (label_ != nullptr) {
    // Tab reaches the text too, for selecting it without a mouse.
    label_->setFocusPolicy(Qt::StrongFocus);
    label_->installEventFilter(this);
  }
}

QString ReportBox::WholeReport() const {
  QString report = windowTitle() + QLatin1Char('\n') + text_;
  if (!report.endsWith(QLatin1Char('\n'))) report += QLatin1Char('\n');
  return report;
}

bool ReportBox::event(QEvent* event) {
  const bool handled = QMessageBox::event(event);
  if (event->type() == QEvent::LayoutRequest) FitTitleAndScreen();
  return handled;
}

void ReportBox::showEvent(QShowEvent* event) {
  // Sizes the box to its text and centres it over its parent.
  QMessageBox::showEvent(event);
  const QRect screen = this->screen()->availableGeometry();
  // A parent not yet shown (the dialog while it loads) has no place to
  // centre on; the screen has.
  const bool parentShown = parentWidget() != nullptr && parentWidget()->isVisible();
  const QPoint centre = parentShown ? geometry().center() : screen.center();
  FitTitleAndScreen();
  // Still centred, and on the screen.
  QRect fitted(QPoint(), size());
  fitted.moveCenter(centre);
  const auto inside = [](int at, int first, int length, int span) {
    return std::clamp(at, first, std::max(first, first + span - length));
  };
  move(inside(fitted.left(), screen.left(), width(), screen.width()),
       inside(fitted.top(), screen.top(), height(), screen.height()));
  if (QAbstractButton* ok = button(QMessageBox::Ok)) ok->setFocus();
}

void ReportBox::FitTitleAndScreen() {
  if (!isVisible() || layout() == nullptr) return;
  // The window manager's frame, once known, has to fit on the screen too.
  const int frame = std::max(0, frameGeometry().width() - geometry().width());
  const int widest = screen()->availableGeometry().width() - frame;
  const int titled = TitleBarWidth(windowTitle(), QApplication::font("QMdiSubWindowTitleBar"));
  const int fitted = std::min(std::max(width(), titled), widest);
  if (fitted == width()) return;
  layout()->activate();
  const int height = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(fitted)
                                                   : layout()->totalMinimumSize().height();
  setFixedSize(fitted, height);
  // As Qt does after sizing the box: the resize must not lay it out again.
  QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
}

void ReportBox::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    Copy();
    return;
  }
  QMessageBox::keyPressEvent(event);
}

bool ReportBox::eventFilter(QObject* watched, QEvent* event) {
  // The label itself would copy a selection only, and nothing without one.
  if (watched == label_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    Copy();
    return true;
  }
  return QMessageBox::eventFilter(watched, event);
}

void ReportBox::Copy() {
  const QString selection = label_ != nullptr ? label_->selectedText() : QString();
  QGuiApplication::clipboard()->setText(selection.isEmpty() ? WholeReport() : AsCopied(selection));
}

}  // namespace kavr
