#pragma once

#include <QMdiSubWindow>

// The control after (or before) `from` in the tab order of `from`'s window, whichever child
// window holds it; null when there is none. Frames that only hold controls are no stops.
QWidget* NextTabStop(QWidget& from, bool next);

// A child window of the main window's frame whose Tab and Shift+Tab go on to the controls of the
// other child windows instead of wrapping round inside this one (Qt's own subwindows keep the
// keyboard inside themselves), so that Tab reaches every control of the frame and comes back.
class TabChainSubWindow : public QMdiSubWindow {
 public:
  using QMdiSubWindow::QMdiSubWindow;

 protected:
  bool focusNextPrevChild(bool next) override;
};
