#include "shell/tab_chain_subwindow.h"

#include <QApplication>
#include <QMdiArea>
#include <QScrollArea>

namespace {

// A control the operator tabs to: frames that only hold controls, and widgets that pass the
// focus on to another, are no stops of their own.
bool IsTabStop(const QWidget& widget) {
  return widget.isVisible() && widget.isEnabled() && (widget.focusPolicy() & Qt::TabFocus) &&
         widget.focusProxy() == nullptr && !qobject_cast<const QMdiSubWindow*>(&widget) &&
         !qobject_cast<const QMdiArea*>(&widget) && !qobject_cast<const QScrollArea*>(&widget);
}

}  // namespace

QWidget* NextTabStop(QWidget& from, bool next) {
  // The window's focus chain holds every control of every child window, in the tab order set.
  QWidget* const frame = from.window();
  for (QWidget* candidate = &from;;) {
    candidate = next ? candidate->nextInFocusChain() : candidate->previousInFocusChain();
    if (candidate == &from) return nullptr;
    if (frame->isAncestorOf(candidate) && IsTabStop(*candidate)) return candidate;
  }
}

bool TabChainSubWindow::focusNextPrevChild(bool next) {
  QWidget* const current = QApplication::focusWidget();
  if (current == nullptr || !window()->isAncestorOf(current))
    return QMdiSubWindow::focusNextPrevChild(next);
  QWidget* const stop = NextTabStop(*current, next);
  if (stop == nullptr) return false;
  stop->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  return true;
}
