#pragma once

#include <QLocale>

#include <gtest/gtest.h>

#include "test_programs_model.h"

// A model after the editor's start-up: defaults on all three programs, derived values shown.
class StartedModelTest : public ::testing::Test {
 protected:
  explicit StartedModelTest(QLocale locale = QLocale::c()) : model(std::move(locale)) {
    model.StartUp();
  }

  int Value(int i, ProgramSlider slider) const { return model.Slider(i, slider).value; }
  QString Box(int i, ProgramBox box) const { return model.BoxText(i, box); }
  void PickCurrent(int i, const char* milliamps) {
    model.SetListText(i, ProgramList::Current, milliamps);
  }

  // Program i in Duration mode at the given hours and seconds.
  void SetDuration(int i, int hours, int seconds) {
    model.SelectMode(i, ProgramMode::Duration);
    model.SetSliderValue(i, ProgramSlider::DurationHr, hours);
    model.SetSliderValue(i, ProgramSlider::Duration, seconds);
  }

  TestProgramsModel model;
};
