// The message box behind every report: Qt's box, made to show a report
// whole and to hand it on. It is at least as wide as its title needs under a
// window manager and never wider than the screen; an overlong word wraps;
// the text can be selected, and Ctrl+C copies the selection or, with none,
// the whole report.
#pragma once

#include <QFont>
#include <QMessageBox>
#include <QString>

class QFontMetrics;
class QLabel;

namespace kavr {

// The width a title bar needs to show `title` whole: the title in `font`
// made bold (window managers tend to draw titles bold) and room for the
// window icon and three title-bar buttons, each about one and a half lines
// wide, and a margin at each end.
int TitleBarWidth(const QString& title, QFont font);

// `text` with a break opportunity (a zero-width space) after every character
// of each run of non-space characters wider than `width`, so that a wrapping
// label can break a run that would not fit on any line.
QString BreakableText(const QString& text, const QFontMetrics& metrics, int width);

class ReportBox : public QMessageBox {
  Q_OBJECT

 public:
  ReportBox(Icon icon, const QString& title, const QString& text, QWidget* parent);

  // The report as Ctrl+C copies it: the title, then the text's lines.
  QString WholeReport() const;

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Qt sizes the box to its text each time it lays it out; this widens it
  // to the title and keeps it on the screen afterwards.
  void FitTitleAndScreen();
  void Copy();

  const QString text_;  // as given, without break opportunities
  QLabel* label_ = nullptr;
};

}  // namespace kavr
