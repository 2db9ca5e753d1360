#include "ui_core/close_guard.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeySequence>
#include <QMdiSubWindow>
#include <QMenu>

namespace {

bool IsCloseAction(const QAction* action) {
  const QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Close);
  return !keys.isEmpty() && action->shortcuts() == keys;
}

void StripCloseFromMenu(QMenu* menu) {
  const QList<QAction*> actions = menu->actions();
  for (qsizetype i = 0; i < actions.size(); ++i) {
    if (!IsCloseAction(actions[i])) continue;
    menu->removeAction(actions[i]);
    if (i > 0 && actions[i - 1]->isSeparator()) menu->removeAction(actions[i - 1]);
    return;
  }
}

void StripFrame(QMdiSubWindow* frame) {
  Qt::WindowFlags flags = frame->windowFlags();
  // Without the customize hint the frame would show every default button again.
  if (!flags.testFlag(Qt::CustomizeWindowHint))
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint;
  // The MDI title bar draws its close button for the system-menu hint as well.
  flags &= ~(Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint);
  if (flags != frame->windowFlags()) {
    frame->setWindowFlags(flags);
    frame->update();
  }
  if (QMenu* menu = frame->systemMenu()) StripCloseFromMenu(menu);
}

}  // namespace

CloseGuard::CloseGuard(QWidget* form) : QObject(form), form_(form) {
  form_->installEventFilter(this);
  Follow();
}

QMdiSubWindow* CloseGuard::Frame() const {
  return qobject_cast<QMdiSubWindow*>(form_->parentWidget());
}

void CloseGuard::Follow() {
  QMdiSubWindow* frame = Frame();
  if (frame) {
    frame->installEventFilter(this);
    StripFrame(frame);
  }
  QWidget* holder = form_->window();
  if (holder != form_ && holder != frame) holder->installEventFilter(this);
}

bool CloseGuard::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::ParentChange:
    case QEvent::Show:
      if (watched == form_ || watched == Frame()) Follow();
      break;
    case QEvent::Close:
      return RefuseClose(watched, event);
    default:
      break;
  }
  return false;
}

bool CloseGuard::RefuseClose(QObject* watched, QEvent* event) {
  const QMdiSubWindow* frame = Frame();
  const QWidget* holder = form_->window();
  if (watched == holder && holder != form_ && holder != frame) {
    // The holder's own close handling runs after this filter and may close its children;
    // the permission lasts until the event loop turns, so a refused close re-arms the guard.
    holderClosing_ = true;
    QMetaObject::invokeMethod(
        this, [this] { holderClosing_ = false; }, Qt::QueuedConnection);
    return false;
  }
  const bool guarded = watched == form_ || (frame && watched == frame);
  if (!guarded || holderClosing_) return false;
  event->ignore();
  return true;
}
