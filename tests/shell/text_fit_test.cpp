// No clipped text: every caption, button text and box text of the main window fits its control
// under the look the utility uses on Linux, in each state the strip can show. The suite runs
// this at the scales 1, 1.5 and 2 (QT_SCALE_FACTOR).
#include "tests/records/sample_records.h"
#include "tests/shell/window_fixture.h"

namespace {

// How many pixels `widget` lacks to show its whole text; 0 when it fits. Log lines wrap inside
// their box; a table shows every header and cell whole, on one line, without a scroll bar.
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
  if (const auto* list = qobject_cast<const QComboBox*>(&widget))
    return list->sizeHint().width() - list->width();
  if (const auto* frame = qobject_cast<const QGroupBox*>(&widget))
    return metrics.horizontalAdvance(frame->title()) + 16 - frame->width();
  if (const auto* log = qobject_cast<const QPlainTextEdit*>(&widget))
    return log->horizontalScrollBar()->maximum();
  int worst = 0;
  // A tab's text fits its tab, and the tab lies inside the bar (not behind its scroll buttons).
  if (const auto* bar = qobject_cast<const QTabBar*>(&widget)) {
    for (int i = 0; i < bar->count(); ++i) {
      worst =
          std::max({worst, metrics.horizontalAdvance(bar->tabText(i)) + 8 - bar->tabRect(i).width(),
                    bar->tabRect(i).right() + 1 - bar->width()});
    }
  }
  if (const auto* table = qobject_cast<const QTableWidget*>(&widget)) {
    constexpr int kMargins = 8;  // the section's and the cell's padding, both sides
    const QFontMetrics header(table->horizontalHeader()->font());
    for (int column = 0; column < table->columnCount(); ++column) {
      const int width = table->columnWidth(column) - kMargins;
      worst = std::max(
          worst, header.horizontalAdvance(table->horizontalHeaderItem(column)->text()) - width);
      for (int row = 0; row < table->rowCount(); ++row)
        worst =
            std::max(worst, metrics.horizontalAdvance(table->item(row, column)->text()) - width);
    }
    worst = std::max(worst, table->horizontalHeader()->length() - table->viewport()->width());
  }
  return worst;
}

class TextFit : public WindowTest {};

TEST_F(TextFit, EveryTextFitsItsControlInEveryStripState) {
  Show();  // with the diagnostic switch, which shows the log's filters too
  auto* tabs = Find<QTabWidget>(QStringLiteral("SSTab1"));
  TestResultsForm& results = window_->Tester().Results();
  const std::pair<const char*, std::function<bool()>> states[] = {
      {"at start", [] { return true; }},
      {"connected",
       [&] {
         ConnectButton().click();
         return Logged("Program data load complete.");
       }},
      {"closed",
       [&] {
         ConnectButton().click();
         return WaitUntil([&] { return !Link().Connected(); });
       }},
      {"no tester",
       [&] {
         tester_->Unplug();
         ConnectButton().click();
         return WaitUntil([&] { return Link().Status().message == "No devices found"; });
       }},
      {"every tab edited, long log lines and results",
       [&] {
         for (int program = 0; program < tabs->count(); ++program)
           Model().SetBoxText(program, ProgramBox::PassOhms, QStringLiteral("20"));
         for (int line = 0; line < 40; ++line)
           modMain::AddStatusMessage(QStringLiteral("Line %1: ").arg(line) + QString(30, u'x') +
                                     QStringLiteral(" and a tail beyond the box's right edge"));
         for (const RunOutcome outcome : {RunOutcome::Fail, RunOutcome::BetweenLimits}) {
           RunRecord run = SampleRun(QStringLiteral("E-0001"), 1, 1000, outcome,
                                     QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58)));
           run.operatorName = QStringLiteral("Anna K.");
           window_->Records()->AddRun(run);
         }
         results.show();
         auto* table = results.findChild<QTableWidget*>(QStringLiteral("tblResults"));
         return tabs->tabText(tabs->count() - 1).endsWith(u'*') && WaitUntil([&] {
                  return table->rowCount() == 2 &&
                         window_->StatusWindow().txtComm->toPlainText().contains("Line 39:");
                });
       }},
  };
  for (const auto& [state, reach] : states) {
    ASSERT_TRUE(reach()) << state;
    for (int tab = 0; tab < tabs->count(); ++tab) {
      tabs->setCurrentIndex(tab);
      QCoreApplication::processEvents();
      for (const QWidget* widget : window_->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(window_.get())) continue;
        EXPECT_LE(Shortfall(*widget), 0)
            << state << ": " << widget->objectName() << " (" << widget->metaObject()->className()
            << ") is " << widget->width() << " x " << widget->height() << " at scale "
            << qgetenv("QT_SCALE_FACTOR").toStdString();
      }
    }
  }
}

}  // namespace
