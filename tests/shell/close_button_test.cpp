#include <gtest/gtest.h>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionTitleBar>

#include "modMain.h"

namespace {

// A main window that closes its children with itself, as an MDI frame may.
class ClosingMainWindow : public QMainWindow {
 public:
  ClosingMainWindow() { setCentralWidget(area); }
  QMdiArea* area = new QMdiArea(this);
  bool refuse = false;

 protected:
  void closeEvent(QCloseEvent* event) override {
    area->closeAllSubWindows();
    if (refuse) event->ignore();
  }
};

// The title bar as the frame's style lays it out, with the frame's flags.
bool TitleBarHasCloseButton(QMdiSubWindow* frame) {
  QStyleOptionTitleBar option;
  option.initFrom(frame);
  option.rect = QRect(0, 0, frame->width(), 24);
  option.subControls = QStyle::SC_All;
  option.titleBarFlags = frame->windowFlags();
  return frame->style()
      ->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarCloseButton, frame)
      .isValid();
}

bool OffersClose(QMdiSubWindow* frame) {
  if (TitleBarHasCloseButton(frame)) return true;
  for (const QAction* action : frame->systemMenu()->actions())
    if (action->shortcut() == QKeySequence(QKeySequence::Close)) return true;
  return false;
}

enum class Wrapped { Before, After, BeforeIntoDecoratedFrame };

void PrintTo(Wrapped wrapped, std::ostream* os) {
  switch (wrapped) {
    case Wrapped::Before:
      *os << "guarded before wrapping";
      return;
    case Wrapped::After:
      *os << "guarded after wrapping";
      return;
    case Wrapped::BeforeIntoDecoratedFrame:
      *os << "guarded before wrapping into a frame with a close button";
      return;
  }
}

class DisableCloseButton : public ::testing::TestWithParam<Wrapped> {
 protected:
  // The form inside its frame, guarded before or after it was wrapped.
  QMdiSubWindow* Guarded(QWidget* form) {
    const Qt::WindowFlags decorated = Qt::SubWindow | Qt::CustomizeWindowHint |
                                      Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                      Qt::WindowCloseButtonHint;
    switch (GetParam()) {
      case Wrapped::Before:
        modMain::DisableCloseButton(form);
        return main_.area->addSubWindow(form);
      case Wrapped::After: {
        QMdiSubWindow* frame = main_.area->addSubWindow(form);
        modMain::DisableCloseButton(form);
        return frame;
      }
      case Wrapped::BeforeIntoDecoratedFrame:
        modMain::DisableCloseButton(form);
        return main_.area->addSubWindow(form, decorated);
    }
    return nullptr;
  }
  ClosingMainWindow main_;
};

TEST_P(DisableCloseButton, FrameOffersNoCloseAndRefusesIt) {
  QPointer<QWidget> form = new QWidget;
  QMdiSubWindow* frame = Guarded(form);
  main_.show();
  EXPECT_FALSE(OffersClose(frame));
  EXPECT_FALSE(frame->close());
  EXPECT_FALSE(form->close());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_FALSE(form.isNull());
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(main_.area->subWindowList().size(), 1);
}

TEST_P(DisableCloseButton, MainWindowStillClosesWithItsChildren) {
  QPointer<QWidget> form = new QWidget;
  Guarded(form);
  main_.show();
  EXPECT_TRUE(main_.close());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(form.isNull());
}

TEST_P(DisableCloseButton, RefusedMainWindowCloseLeavesTheGuardArmed) {
  QPointer<QWidget> form = new QWidget;
  QMdiSubWindow* frame = Guarded(form);
  main_.show();
  main_.refuse = true;
  frame->setAttribute(Qt::WA_DeleteOnClose, false);
  EXPECT_FALSE(main_.close());
  QCoreApplication::sendPostedEvents();
  frame->show();
  form->show();
  EXPECT_FALSE(frame->close());
  EXPECT_TRUE(form->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Forms, DisableCloseButton,
                         ::testing::Values(Wrapped::Before, Wrapped::After,
                                           Wrapped::BeforeIntoDecoratedFrame));

TEST(DisableCloseButtonOnce, NoFormNoEffect) { EXPECT_FALSE(modMain::DisableCloseButton(nullptr)); }

TEST(DisableCloseButtonOnce, FormOnItsOwnRefusesToClose) {
  QWidget form;
  EXPECT_TRUE(modMain::DisableCloseButton(&form));
  EXPECT_TRUE(modMain::DisableCloseButton(&form));
  form.show();
  EXPECT_FALSE(form.close());
  EXPECT_TRUE(form.isVisible());
}

}  // namespace
