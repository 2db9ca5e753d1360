#include <gtest/gtest.h>

#include <QtWidgets>

#include "ui_core/modMain.h"

#include <algorithm>
#include <utility>

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

// A close button in the title bar as the frame's style lays it out, or a Close item in its
// system menu.
bool OffersClose(QMdiSubWindow* frame) {
  QStyleOptionTitleBar option;
  option.initFrom(frame);
  option.rect = QRect(0, 0, frame->width(), 24);
  option.subControls = QStyle::SC_All;
  option.titleBarFlags = frame->windowFlags();
  const QList<QAction*> items = frame->systemMenu()->actions();
  return frame->style()
             ->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarCloseButton, frame)
             .isValid() ||
         std::ranges::any_of(items, [](const QAction* item) {
           return item->shortcut() == QKeySequence(QKeySequence::Close);
         });
}

// The form is guarded before it is wrapped into its frame, after, or before it is wrapped into
// a frame asked for with a close button.
TEST(DisableCloseButton, ChildRefusesToCloseOnItsOwnButClosesWithItsHolder) {
  EXPECT_FALSE(modMain::DisableCloseButton(nullptr));
  const Qt::WindowFlags decorated = Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                    Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  for (const auto& [after, flags] :
       {std::pair{false, Qt::WindowFlags()}, {true, Qt::WindowFlags()}, {false, decorated}}) {
    SCOPED_TRACE(testing::Message() << (after ? "after" : "before") << " " << flags.toInt());
    ClosingMainWindow main;
    auto* form = new QWidget;
    if (!after) modMain::DisableCloseButton(form);
    QMdiSubWindow* frame = main.area->addSubWindow(form, flags);
    if (after) modMain::DisableCloseButton(form);
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    main.show();
    EXPECT_FALSE(OffersClose(frame));
    EXPECT_FALSE(frame->systemMenu()->actions().constLast()->isSeparator());  // nor its rule
    EXPECT_FALSE(frame->close());
    EXPECT_FALSE(form->close());

    // A refused close of the holder leaves the guard armed.
    main.refuse = true;
    EXPECT_FALSE(main.close());
    QCoreApplication::sendPostedEvents();
    frame->show();
    form->show();
    EXPECT_FALSE(frame->close());

    main.refuse = false;
    EXPECT_TRUE(main.close());
    EXPECT_TRUE(frame->isHidden());
  }
}

}  // namespace
