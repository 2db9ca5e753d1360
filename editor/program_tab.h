#pragma once

#include <QWidget>

#include <array>

#include "programs/program_controls.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class TestProgramsModel;

// The controls of one program's tab, a view over program vIndex of the model. Operator actions
// go to the model's operations; the widgets show whatever the model's rules made of them and
// never decide anything themselves. A box whose text was refused, and both limit boxes of a
// program whose pass limit is not below its fail limit, are framed red with a tooltip saying why.
// Controls are named after the program's index
// ("cmbCurrent0", "hsPulseWidth2", ...).
class ProgramTab : public QWidget {
  Q_OBJECT

 public:
  ProgramTab(TestProgramsModel& model, int vIndex, QWidget* parent = nullptr);

  QPushButton* cmdReload() const { return cmdReload_; }

  // Shows the model's state; the widgets' own change signals stay quiet meanwhile.
  void Refresh();

 private:
  void AddSlider(ProgramSlider slider, const QString& name, int smallStep, int largeStep);
  void AddBox(ProgramBox box, const QString& name, bool typing);

  TestProgramsModel& model_;
  const int index_;
  std::array<QComboBox*, 2> lists_{};
  std::array<QScrollBar*, kSliderCount> sliders_{};
  std::array<QLineEdit*, kBoxCount> boxes_{};
  QRadioButton* optSingleMeasure_ = nullptr;
  QRadioButton* optDuration_ = nullptr;
  QPushButton* cmdReload_ = nullptr;
};
