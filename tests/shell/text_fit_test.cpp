// No clipped text: every caption, button text and box text of the main window fits its control
// under the look the utility uses on Linux, in each state the strip can show. The suite runs
// this at the scales 1, 1.5 and 2 (QT_SCALE_FACTOR).
#include "programs/programs_model.h"
#include "tests/shell/window_fixture.h"

namespace {

// How many pixels `widget` lacks to show its whole text; 0 when it fits.
int Shortfall(const QWidget& widget) {
  const QFontMetrics metrics(widget.font());
  if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
    if (label->text().isEmpty() || label->wordWrap()) return 0;
    return std::max(metrics.horizontalAdvance(label->text()) - label->contentsRect().width(),
                    metrics.height() - label->contentsRect().height());
  }
  if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
    if (button->text().isEmpty()) return 0;
    const QSize needed = button->sizeHint();
    return std::max(needed.width() - button->width(), needed.height() - button->height());
  }
  if (const auto* box = qobject_cast<const QLineEdit*>(&widget)) {
    const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
    constexpr int kTextMargin = 2;  // QLineEdit's own margin on each side
    return metrics.horizontalAdvance(box->text()) - (box->width() - 2 * (frame + kTextMargin));
  }
  if (const auto* list = qobject_cast<const QComboBox*>(&widget)) {
    return list->sizeHint().width() - list->width();
  }
  if (const auto* frame = qobject_cast<const QGroupBox*>(&widget)) {
    return metrics.horizontalAdvance(frame->title()) + 16 - frame->width();
  }
  if (const auto* bar = qobject_cast<const QTabBar*>(&widget)) {
    int worst = 0;
    // A tab's text fits its tab, and the tab lies inside the bar (not behind its scroll buttons).
    for (int i = 0; i < bar->count(); ++i) {
      worst =
          std::max({worst, metrics.horizontalAdvance(bar->tabText(i)) + 8 - bar->tabRect(i).width(),
                    bar->tabRect(i).right() + 1 - bar->width()});
    }
    return worst;
  }
  return 0;
}

class TextFit : public WindowTest {};

TEST_F(TextFit, EveryTextFitsItsControlInEveryStripState) {
  Open(QStringLiteral("veld32 /kovda"));  // the log's filters shown too
  Show();
  ParentMDIForm& window = *window_;
  ctlVELD32UsbComm& link = Link();
  auto tester = tester_;
  auto* connect = window.findChild<QCheckBox*>(QStringLiteral("chkConnect"));
  auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("SSTab1"));

  const std::pair<const char*, std::function<bool()>> states[] = {
      {"at start", [] { return true; }},
      {"connected",
       [&] {
         connect->click();
         return WaitUntil(
             [&] { return modMain::StatusLogText.contains("Program data load complete."); });
       }},
      {"closed",
       [&] {
         connect->click();
         return WaitUntil([&] { return !link.Connected(); });
       }},
      {"no tester",
       [&] {
         tester->Unplug();
         connect->click();
         return WaitUntil([&] { return link.Status().message == "No devices found"; });
       }},
      {"every tab edited",
       [&] {
         for (int program = 0; program < tabs->count(); ++program)
           Model().SetBoxText(program, ProgramBox::PassOhms, QStringLiteral("20"));
         return tabs->tabText(tabs->count() - 1).endsWith(u'*');
       }},
  };
  for (const auto& [state, reach] : states) {
    ASSERT_TRUE(reach()) << state;
    for (int tab = 0; tab < tabs->count(); ++tab) {
      tabs->setCurrentIndex(tab);
      QCoreApplication::processEvents();
      for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window)) continue;
        EXPECT_LE(Shortfall(*widget), 0)
            << state << ": " << widget->objectName().toStdString() << " ("
            << widget->metaObject()->className() << ") is " << widget->width() << " x "
            << widget->height() << " at scale " << qgetenv("QT_SCALE_FACTOR").toStdString();
      }
    }
  }
}

// Log lines wrap inside the box (the newest in view is the log's own test); the results table shows
// every header and cell whole, on one line.
TEST_F(TextFit, TheLogWrapsAndTheResultsTableShowsWholeCells) {
  Show();
  QPlainTextEdit& log = *window_->StatusWindow().txtComm;
  for (int line = 0; line < 40; ++line)
    modMain::AddStatusMessage(QStringLiteral("Line %1: ").arg(line) + QString(30, u'x') +
                              QStringLiteral(" and a tail beyond the box's right edge"));
  ASSERT_TRUE(WaitUntil([&] { return log.toPlainText().contains("Line 39:"); }));
  QCoreApplication::processEvents();
  EXPECT_EQ(log.horizontalScrollBar()->maximum(), 0) << "long lines run past the box";

  TestResultsForm& results = window_->Tester().Results();
  for (const RunOutcome outcome : {RunOutcome::Fail, RunOutcome::BetweenLimits}) {
    RunRecord run;
    run.started = run.ended = QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58));
    run.dut = QStringLiteral("E-0001");
    run.operatorName = QStringLiteral("Anna K.");
    run.station = QStringLiteral("Bench 7");
    run.tester.testerSerial = QStringLiteral("00001");
    run.impedanceOhms = 1000;
    run.outcome = outcome;
    ASSERT_EQ(window_->Records()->AddRun(run).outcome, StoreOutcome::Stored);
  }
  results.show();
  auto* table = results.findChild<QTableWidget*>(QStringLiteral("tblResults"));
  ASSERT_TRUE(WaitUntil([&] { return table->rowCount() == 2; }));
  QCoreApplication::processEvents();
  const QFontMetrics header(table->horizontalHeader()->font());
  const QFontMetrics cells(table->font());
  constexpr int kMargins = 8;  // the section's and the cell's padding, both sides
  for (int column = 0; column < table->columnCount(); ++column) {
    const QString caption = table->horizontalHeaderItem(column)->text();
    EXPECT_LE(header.horizontalAdvance(caption) + kMargins, table->columnWidth(column))
        << caption.toStdString() << " clipped";
    for (int row = 0; row < table->rowCount(); ++row) {
      const QString text = table->item(row, column)->text();
      EXPECT_LE(cells.horizontalAdvance(text) + kMargins, table->columnWidth(column))
          << text.toStdString() << " does not fit on one line";
    }
  }
  const int columns = table->horizontalHeader()->length();
  EXPECT_LE(columns, table->viewport()->width()) << "the table needs a horizontal scroll bar";
}

}  // namespace
