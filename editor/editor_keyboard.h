#pragma once

class QTabWidget;
class QWidget;

// How the editor is worked from the keyboard and what its controls tell a mouse that rests on
// them. Both go by the controls' names, so the tabs need not know about it.

// On one program's tab (named "tabProgram" and its index): every slider takes the focus (its
// arrow and Page keys are its small and large steps), read-only boxes are no tab stops, and
// every control has a tooltip with its unit and range.
void PrepareProgramTab(QWidget& tab);

// The window's tab order: each tab's rows top to bottom, its download button, then the upload
// button, the link's strip and the tab bar. Ctrl+PgUp/PgDn and Ctrl+1..3 switch tabs from any
// window of the application.
void PrepareEditorKeys(QWidget& window, QTabWidget& tabs);
