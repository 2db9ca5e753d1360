#pragma once

#include <QString>

#include <memory>

class D2xx;
class OperatorPrompts;
class ctlVELD32UsbComm;

// Which tester Connect opens on a bench of several. One named at start (--device) is the one for
// the session. Otherwise, with more than one tester attached, Connect offers them (USB serial
// number, and the tester serial number each last reported), the one chosen last in front, and
// remembers the choice; a tester alone on the bench is opened without a question.
class TesterPicker {
 public:
  TesterPicker(std::shared_ptr<D2xx> driver, ctlVELD32UsbComm& link, OperatorPrompts& prompts);

  // --device=SELECTOR: the tester for the session. Returns why none was chosen, or empty.
  QString Fix(const QString& selector);
  // Before Connect: false when the operator cancelled the choice (the link stays down).
  bool BeforeConnect();

 private:
  std::shared_ptr<D2xx> driver_;
  ctlVELD32UsbComm& link_;
  OperatorPrompts& prompts_;
  bool fixed_ = false;
};
