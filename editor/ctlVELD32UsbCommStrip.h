#pragma once

#include <QString>
#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class ctlVELD32UsbComm;

// The link's status strip: status caption, lamp, connect button and red error text. It only
// draws the link's state; a change of the button's value goes to the link's chkConnect_Click,
// which ignores the changes the link makes itself.
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
};
