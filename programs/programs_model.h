#pragma once

#include <QLocale>
#include <QObject>
#include <QString>

#include <array>
#include <optional>
#include <utility>

#include "device_link/program_settings.h"
#include "programs/program_controls.h"

// The editing state of the three test programs and every rule that ties their controls
// together, without widgets. Each operation stands for one control event (an operator's change
// or a write by code; both raise the same notifications), and the rules run nested exactly as
// the controls would notify them:
//  - a slider refuses a value outside its range and keeps its value; narrowing the range moves
//    the value to the nearest bound; a value change is "moved"; while the operator drags the
//    thumb the value follows it with only "dragged", and "moved" comes when the thumb is let go;
//  - a box notifies only when its text really changes, a list on every pick, an option on every
//    click (also of the option already selected).
// Operations on a program index outside 0..2 change nothing. After every outermost operation
// ProgramChanged is emitted once for each program it touched, so a view refreshes from here.
class TestProgramsModel : public QObject {
  Q_OBJECT

 public:
  // `locale` gives the decimal separator of the derived values.
  explicit TestProgramsModel(QLocale locale = QLocale::system(), QObject* parent = nullptr);

  // Start-up: the defaults of all three programs (5 mA, 2 Hz, 200 us, Single Measure, 30 s,
  // 0 h, pass 150, fail 1000). Derived values stay untouched until EditorReady is raised.
  void InitializeEditor();
  void SetEditorReady(bool ready);
  // The editor's whole start-up: the defaults, then EditorReady and the derived values of
  // every program computed once.
  void StartUp();
  bool EditorReady() const { return editorReady_; }

  // Control events. A list position, list text or option that does not exist is refused.
  void PickListPosition(int vIndex, ProgramList list, int position);
  void SetListText(int vIndex, ProgramList list, const QString& text);
  void SetSliderValue(int vIndex, ProgramSlider slider, int value);
  void DragSlider(int vIndex, ProgramSlider slider, int value);
  void EndSliderDrag(int vIndex, ProgramSlider slider);
  // The pulse-width box always ends showing its slider's value: a text the slider refuses gives
  // way to it at once.
  // A text the box's slider refuses leaves the program at the value it had when the editing of
  // that box began (its first text since the box last showed the program's value), whatever
  // texts the slider took on the way: typing 5000 over 150 applies 5, 50 and 500, then 150.
  void SetBoxText(int vIndex, ProgramBox box, const QString& text);
  void SelectMode(int vIndex, ProgramMode mode);

  // The editor's named procedures.
  void CheckDurationMin(int vIndex);
  void UpdateAverageCurrent(int vIndex);
  void UpdatePulseCharge(int vIndex);
  void UpdateDurationControls(int vIndex);
  bool ValidatePassFailLimits() const;
  // The upload rule for one program: its pass limit lies strictly below its fail limit.
  bool PassBelowFail(int vIndex) const;
  // Empty while PassBelowFail holds; otherwise what the operator is told ("Pass 700 ohms is not
  // below Fail 14 ohms: an upload refuses this program").
  QString LimitsProblem(int vIndex) const;

  // A program-values reply written into the tab of its program number, step by step through
  // the controls; a step a control refuses is skipped. The boxes then show the program again.
  void ApplyReceivedProgram(const ProgramSettings& program);

  // Every box beside a slider shows its slider's value again: the operator left the box, or
  // code wrote the program. A refused text never outlives the editing that made it.
  void ShowProgramValues(int vIndex);
  // Empty while the box shows its program's value; otherwise what the operator is told: the
  // text that was not applied, the value the program keeps and the allowed range.
  QString BoxRefusal(int vIndex, ProgramBox box) const;

  // A setting written by code (a program file) applies whole or not at all. Accepts tells
  // whether program vIndex, as it stands, can take `value` for the setting; AllowedValues names
  // what it can take ("1 to 999 ohms"). ApplySetting writes an accepted value through the
  // controls, slider first, and the boxes show the program again.
  bool Accepts(int vIndex, ProgramSetting setting, qint64 value) const;
  QString AllowedValues(int vIndex, ProgramSetting setting) const;
  void ApplySetting(int vIndex, ProgramSetting setting, qint64 value);
  // Program vIndex as the sliders, lists and options hold it, never box texts: both duration
  // parts as their sliders stand, whatever the mode.
  ProgramSettings Settings(int vIndex) const;
  // What an upload sends for program vIndex: its settings in upload form (UploadForm).
  ProgramSettings UploadSettings(int vIndex) const;

  // Reading the controls.
  int ListPosition(int vIndex, ProgramList list) const;  // -1 while nothing is picked
  QString ListText(int vIndex, ProgramList list) const;
  static const QStringList& ListItems(ProgramList list);
  SliderState Slider(int vIndex, ProgramSlider slider) const;
  QString BoxText(int vIndex, ProgramBox box) const;
  bool BoxEnabled(int vIndex, ProgramBox box) const;
  ProgramMode Mode(int vIndex) const;

 signals:
  void ProgramChanged(int vIndex);

 private:
  struct SliderControl {
    SliderState state;
    bool dragPending = false;  // dragged to a new value since the last moved notification
  };
  struct BoxControl {
    QString text;
    bool enabled = true;
  };
  struct Program {
    std::array<int, 2> listPosition{-1, -1};
    std::array<SliderControl, kSliderCount> sliders;
    std::array<BoxControl, kBoxCount> boxes;
    ProgramMode mode = ProgramMode::None;
    // Per box beside a slider: the slider's value when the editing of the box began.
    std::array<std::optional<int>, kSliderCount> editStart;
  };
  class Operation;

  Program* At(int vIndex);
  const Program* At(int vIndex) const;
  SliderControl& SliderOf(int vIndex, ProgramSlider slider);
  BoxControl& BoxOf(int vIndex, ProgramBox box);

  // Writes as the controls take them; each raises its notification when the control changed.
  bool WriteSlider(int vIndex, ProgramSlider slider, int value);
  void WriteSliderRange(int vIndex, ProgramSlider slider, int minimum, int maximum);
  void WriteBox(int vIndex, ProgramBox box, const QString& text);
  void EnableDurationControls(int vIndex, bool enabled);
  // The box's text was refused: its slider goes back to the value the editing began with.
  void KeepValueBeforeEdit(int vIndex, ProgramBox box);
  // The lowest and highest value a slider-backed setting takes, whole.
  std::pair<qint64, qint64> SettingRange(int vIndex, ProgramSetting setting) const;

  // Notifications.
  void CurrentPicked(int vIndex);
  void SliderMoved(int vIndex, ProgramSlider slider);
  void SliderDragged(int vIndex, ProgramSlider slider);
  void BoxChanged(int vIndex, ProgramBox box);
  void ValidateNumberBox(int vIndex, ProgramBox box);

  QLocale locale_;
  bool editorReady_ = false;
  std::array<Program, kProgramCount> programs_;
  int operationDepth_ = 0;
  std::array<bool, kProgramCount> touched_{};
};
