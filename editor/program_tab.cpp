#include "editor/program_tab.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "programs/programs_model.h"

namespace {

constexpr int kBoxWidth = 56;
constexpr int kListWidth = 72;
// A box whose text the program did not take.
const QString kRefusedBoxStyle = QStringLiteral("QLineEdit { border: 1px solid red; }");
constexpr const char* kOwnToolTip = "ownToolTip";

int Ordinal(auto control) { return static_cast<int>(control); }

}  // namespace

ProgramTab::ProgramTab(TestProgramsModel& model, int vIndex, QWidget* parent)
    : QWidget(parent), model_(model), index_(vIndex) {
  const QString suffix = QString::number(vIndex);
  setObjectName(QStringLiteral("tabProgram") + suffix);

  for (const ProgramList list : {ProgramList::Current, ProgramList::Frequency}) {
    auto* combo = new QComboBox(this);
    combo->setObjectName((list == ProgramList::Current ? QStringLiteral("cmbCurrent")
                                                       : QStringLiteral("cmbFrequency")) +
                         suffix);
    combo->addItems(TestProgramsModel::ListItems(list));
    combo->setFixedWidth(kListWidth);
    connect(combo, &QComboBox::activated, this,
            [this, list](int position) { model_.PickListPosition(index_, list, position); });
    lists_[Ordinal(list)] = combo;
  }

  AddSlider(ProgramSlider::PulseWidth, QStringLiteral("hsPulseWidth"), 10, 10);
  AddSlider(ProgramSlider::Duration, QStringLiteral("hsDuration"), 1, 10);
  AddSlider(ProgramSlider::DurationHr, QStringLiteral("hsDurationHr"), 1, 1);
  AddSlider(ProgramSlider::PassOhms, QStringLiteral("hsPassOhms"), 1, 10);
  AddSlider(ProgramSlider::FailOhms, QStringLiteral("hsFailOhms"), 1, 10);
  AddBox(ProgramBox::PulseWidth, QStringLiteral("txtPulseWidth"), false);
  AddBox(ProgramBox::Duration, QStringLiteral("txtDuration"), false);
  AddBox(ProgramBox::DurationHr, QStringLiteral("txtDurationHr"), false);
  AddBox(ProgramBox::PassOhms, QStringLiteral("txtPassOhms"), true);
  AddBox(ProgramBox::FailOhms, QStringLiteral("txtFailOhms"), true);
  AddBox(ProgramBox::PulseCharge, QStringLiteral("txtPulseCharge"), false);
  AddBox(ProgramBox::AverageCurrent, QStringLiteral("txtAverageCurrent"), false);
  // Boxes set by their slider or worked out from other values take no typing, and look it.
  for (QLineEdit* shown : boxes_) {
    if (!shown->isReadOnly()) continue;
    QPalette palette = shown->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    shown->setPalette(palette);
  }

  // The model keeps the pair exclusive; the buttons only report clicks, also on the selected one.
  optSingleMeasure_ = new QRadioButton(QStringLiteral("Single Measure"), this);
  optSingleMeasure_->setObjectName(QStringLiteral("optSingleMeasure") + suffix);
  optDuration_ = new QRadioButton(QStringLiteral("Duration"), this);
  optDuration_->setObjectName(QStringLiteral("optDuration") + suffix);
  for (auto [button, mode] : {std::pair{optSingleMeasure_, ProgramMode::SingleMeasure},
                              std::pair{optDuration_, ProgramMode::Duration}}) {
    button->setAutoExclusive(false);
    connect(button, &QRadioButton::clicked, this,
            [this, mode = mode] { model_.SelectMode(index_, mode); });
  }

  cmdReload_ = new QPushButton(QStringLiteral("Download from VELD32"), this);
  cmdReload_->setObjectName(QStringLiteral("cmdReload") + suffix);

  auto* rows = new QGridLayout;
  const auto addRow = [&](int row, const QString& caption, QWidget* control, QWidget* box) {
    rows->addWidget(new QLabel(caption, this), row, 0);
    rows->addWidget(control, row, 1, 1, box == nullptr ? 2 : 1);
    if (box != nullptr) rows->addWidget(box, row, 2);
  };
  const auto slider = [&](ProgramSlider s) { return sliders_[Ordinal(s)]; };
  const auto box = [&](ProgramBox b) { return boxes_[Ordinal(b)]; };
  rows->setHorizontalSpacing(6);
  addRow(0, QStringLiteral("Current (mA)"), lists_[Ordinal(ProgramList::Current)], nullptr);
  addRow(1, QStringLiteral("Frequency (Hz)"), lists_[Ordinal(ProgramList::Frequency)], nullptr);
  addRow(2, QStringLiteral("Pulse Width (uSec)"), slider(ProgramSlider::PulseWidth),
         box(ProgramBox::PulseWidth));
  auto* modes = new QWidget(this);
  auto* modeLayout = new QVBoxLayout(modes);
  modeLayout->setContentsMargins(0, 0, 0, 0);
  modeLayout->addWidget(optSingleMeasure_);
  modeLayout->addWidget(optDuration_);
  addRow(3, QStringLiteral("Mode"), modes, nullptr);
  addRow(4, QStringLiteral("Duration (Hr)"), slider(ProgramSlider::DurationHr),
         box(ProgramBox::DurationHr));
  addRow(5, QStringLiteral("(min:sec)"), slider(ProgramSlider::Duration),
         box(ProgramBox::Duration));
  addRow(6, QStringLiteral("Pass (ohms)"), slider(ProgramSlider::PassOhms),
         box(ProgramBox::PassOhms));
  addRow(7, QStringLiteral("Fail (ohms)"), slider(ProgramSlider::FailOhms),
         box(ProgramBox::FailOhms));
  rows->setColumnStretch(1, 1);

  auto* frame = new QGroupBox(QStringLiteral("Pulse Properties"), this);
  frame->setObjectName(QStringLiteral("fraPulseProperties") + suffix);
  auto* frameLayout = new QGridLayout(frame);
  frameLayout->addWidget(new QLabel(QStringLiteral("Pulse Charge (uC)"), frame), 0, 0);
  frameLayout->addWidget(box(ProgramBox::PulseCharge), 0, 1);
  frameLayout->addWidget(new QLabel(QStringLiteral("Average Current (mA)"), frame), 1, 0);
  frameLayout->addWidget(box(ProgramBox::AverageCurrent), 1, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addLayout(rows);
  layout->addWidget(frame);
  layout->addWidget(cmdReload_, 0, Qt::AlignHCenter);

  connect(&model_, &TestProgramsModel::ProgramChanged, this, [this](int changed) {
    if (changed == index_) Refresh();
  });
  Refresh();
}

void ProgramTab::AddSlider(ProgramSlider slider, const QString& name, int smallStep,
                           int largeStep) {
  auto* bar = new QScrollBar(Qt::Horizontal, this);
  bar->setObjectName(name + QString::number(index_));
  bar->setSingleStep(smallStep);
  bar->setPageStep(largeStep);
  // Without tracking the value changes only when the thumb is let go, as the model expects:
  // the drag reports positions, the release settles the value.
  bar->setTracking(false);
  connect(bar, &QScrollBar::valueChanged, this,
          [this, slider](int value) { model_.SetSliderValue(index_, slider, value); });
  connect(bar, &QScrollBar::sliderMoved, this,
          [this, slider](int position) { model_.DragSlider(index_, slider, position); });
  // A click that jumps the thumb moves it without a drag notification; the position is taken
  // as the last drag before the release settles it, or the redraw would put the thumb back.
  connect(bar, &QScrollBar::sliderReleased, this, [this, slider, bar] {
    model_.DragSlider(index_, slider, bar->sliderPosition());
    model_.EndSliderDrag(index_, slider);
  });
  sliders_[Ordinal(slider)] = bar;
}

void ProgramTab::AddBox(ProgramBox box, const QString& name, bool typing) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(name + QString::number(index_));
  edit->setFixedWidth(kBoxWidth);
  edit->setReadOnly(!typing);
  if (typing) {
    // Every keystroke is a text change, so the slider follows the typing at once.
    connect(edit, &QLineEdit::textEdited, this,
            [this, box](const QString& text) { model_.SetBoxText(index_, box, text); });
    // Leaving the box (focus out, Enter) shows what the program holds again.
    connect(edit, &QLineEdit::editingFinished, this, [this] { model_.ShowProgramValues(index_); });
  }
  boxes_[Ordinal(box)] = edit;
}

void ProgramTab::Refresh() {
  for (const ProgramList list : {ProgramList::Current, ProgramList::Frequency}) {
    QComboBox* combo = lists_[Ordinal(list)];
    const QSignalBlocker quiet(combo);
    combo->setCurrentIndex(model_.ListPosition(index_, list));
  }
  for (int s = 0; s < kSliderCount; ++s) {
    QScrollBar* bar = sliders_[s];
    const SliderState state = model_.Slider(index_, static_cast<ProgramSlider>(s));
    const QSignalBlocker quiet(bar);
    bar->setRange(state.minimum, state.maximum);
    bar->setEnabled(state.enabled);
    // The thumb stays under the operator's mouse until it is let go.
    if (!bar->isSliderDown()) bar->setValue(state.value);
  }
  for (int b = 0; b < kBoxCount; ++b) {
    QLineEdit* edit = boxes_[b];
    const auto box = static_cast<ProgramBox>(b);
    edit->setEnabled(model_.BoxEnabled(index_, box));
    // Rewriting an unchanged text would throw the operator's cursor to the end.
    if (edit->text() != model_.BoxText(index_, box)) edit->setText(model_.BoxText(index_, box));
    // A refused text's tooltip says why, over the box's own tip, which comes back with the value;
    // so do the limits of a program whose pass limit is not below its fail limit.
    QString refusal = model_.BoxRefusal(index_, box);
    if (refusal.isEmpty() && (box == ProgramBox::PassOhms || box == ProgramBox::FailOhms))
      refusal = model_.LimitsProblem(index_);
    const QVariant ownTip = edit->property(kOwnToolTip);
    if (!refusal.isEmpty() && edit->toolTip() != refusal) {
      if (!ownTip.isValid()) edit->setProperty(kOwnToolTip, edit->toolTip());
      edit->setToolTip(refusal);
      edit->setStyleSheet(kRefusedBoxStyle);
    } else if (refusal.isEmpty() && ownTip.isValid()) {
      edit->setToolTip(ownTip.toString());
      edit->setProperty(kOwnToolTip, QVariant());
      edit->setStyleSheet(QString());
    }
  }
  const ProgramMode mode = model_.Mode(index_);
  optSingleMeasure_->setChecked(mode == ProgramMode::SingleMeasure);
  optDuration_->setChecked(mode == ProgramMode::Duration);
}
