#pragma once

#include <QString>

class QWidget;

// State the windows share for the whole process, and the routines around it. Everything runs
// on the user-interface thread.
namespace modMain {

inline QString StatusLogText;            // the whole communication log, lines ended by CR LF
inline bool StatusWindowLoaded = false;  // the log window exists and takes lines
inline bool ShowVerbose = false;         // log every frame sent and received
inline bool ShowRXBuffer = false;        // log the raw receive buffer
inline bool StatusPaused = false;        // the log window takes no new lines

// Gives the shared state its start values; diagnostic mode turns on both frame filters.
void InitSharedFlags();

// True when an argument of the process (not its own path) holds the diagnostic switch.
bool IsDiagnosticMode();
// The command line that IsDiagnosticMode reads, the program's path first and then the
// arguments: the process's own unless replaced (tests); a null text goes back to the process's
// own. Only the arguments are searched for the switch.
void SetCommandLine(const QString& commandLine);

// Keeps the operator from closing a child window on its own: its MDI frame loses the close
// button and the Close item, and a close request is refused, whether the form is inside its
// QMdiSubWindow already or is put there later. While the window that holds the form is itself
// closing, the form may close with it. True when it took effect (false for no form).
bool DisableCloseButton(QWidget* form);

// Appends one line to the log and, unless paused, to the log window. Never fails towards the
// caller: should the window's update fail, the line is at least in StatusLogText.
void AddStatusMessage(const QString& line);

// The log window while it is loaded; AddStatusMessage hands it every line it is to show.
class StatusLogView {
 public:
  virtual void ShowStatusLine(const QString& line) = 0;

 protected:
  ~StatusLogView() = default;
};
// The log window registers itself on load and passes nullptr on unload.
void SetStatusLogView(StatusLogView* view);

// The current user's desktop folder, the start folder of every file dialog; empty if unknown.
QString GetDesktopFolder();

}  // namespace modMain
