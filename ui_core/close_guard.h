#pragma once

#include <QObject>

class QMdiSubWindow;
class QWidget;

// Keeps a form from being closed on its own. It lives as a child of the form and follows it
// into its MDI frame, now or whenever the form is wrapped later: the frame loses its close
// button and Close item, and close requests to the form or the frame are refused. While the
// window that holds them is itself closing, they may close with it.
class CloseGuard : public QObject {
  Q_OBJECT
 public:
  explicit CloseGuard(QWidget* form);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QMdiSubWindow* Frame() const;
  void Follow();
  bool RefuseClose(QObject* watched, QEvent* event);
  QWidget* form_;
  bool holderClosing_ = false;
};
