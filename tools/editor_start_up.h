#pragma once

#include "test_programs_model.h"

// The editor as it stands after its start-up: defaults on all three programs, then the derived
// values computed once. Every command begins from this state, as the window does.
inline void StartEditor(TestProgramsModel& model) {
  model.InitializeEditor();
  model.SetEditorReady(true);
  for (int i = 0; i < kProgramCount; ++i) model.UpdateAverageCurrent(i);
}
