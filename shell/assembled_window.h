#pragma once

#include <QString>

#include <memory>

#include "backends/backend_options.h"
#include "shell/ParentMDIForm.h"

class OperatorPrompts;

// The main window exactly as the utility opens it, for the utility and its tests alike: the
// backend's driver behind the wrapper that adds the udev advice to the log, the desktop look,
// the window's child windows shown (they appear with the main window) and the log's first line
// on what to do. It asks who operates the bench this session, and chooses the tester Connect
// opens: `device` (--device=SELECTOR) for the session when given and attached, else the
// operator's choice on a bench of several. `backend` holds a driver. The caller fits the window
// to its screen and shows it.
std::unique_ptr<ParentMDIForm> AssembleMainWindow(const Backend& backend, OperatorPrompts& prompts,
                                                  const QString& backendDescription,
                                                  const QString& device = {});
