#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>

#include "device_link/link_status.h"

class QCheckBox;
class QLabel;
class ctlVELD32UsbComm;

// How the strip shows the link's status; `activity` is what the strip's own user has in
// progress, shown before the link's.
struct StripLook {
  QColor lamp;
  QString status;
  bool connectPressed = false;
  QString connectCaption;
  QColor connectFace;
  QString message;
  QColor messageColour;
  bool operator==(const StripLook&) const = default;
};
StripLook LookOf(const LinkStatus& link, const QString& activity);

// The link's status strip: status caption, lamp, connect button and error text, drawn from the
// link's status. The operator's presses of the button go to the link's chkConnect_Click; the
// strip's own repaints of the button do not.
class ctlVELD32UsbCommStrip : public QWidget {
  Q_OBJECT

 public:
  explicit ctlVELD32UsbCommStrip(ctlVELD32UsbComm& link, QWidget* parent = nullptr);

  // What the link's user has in progress ("Uploading…"); while not empty the status caption
  // shows it instead of the link's status.
  void SetActivity(const QString& text);
  // Asked when the operator releases the button of a connected link; false keeps the link up
  // and the button pressed in.
  void SetReleaseCheck(std::function<bool()> check) { releaseCheck_ = std::move(check); }
  // Asked when the operator presses the button of a link that is down; false leaves the link
  // down and the button released.
  void SetPressCheck(std::function<bool()> check) { pressCheck_ = std::move(check); }

 private:
  void Refresh();

  ctlVELD32UsbComm& link_;
  QWidget* shpBorder;
  QLabel* lblStatus;
  QWidget* shpStatus;
  QCheckBox* chkConnect;
  QLabel* lblErrorMessage;
  QString activity_;
  std::function<bool()> releaseCheck_;
  std::function<bool()> pressCheck_;
};
