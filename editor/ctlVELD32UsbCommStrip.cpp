#include "editor/ctlVELD32UsbCommStrip.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>

#include "device_link/ctlVELD32UsbComm.h"

namespace {
constexpr int kTwipsPerPixel = 15;
constexpr int Px(int twips) { return twips / kTwipsPerPixel; }

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kGrey(192, 192, 192);

// The lamp's and the button's colour: grey while closed (the look before the first open, and
// after the operator's own close), green while connected, red otherwise.
QColor StateColour(LinkState state) {
  switch (state) {
    case LinkState::Connected:
      return kGreen;
    case LinkState::Connecting:
    case LinkState::Failed:
      return kRed;
    case LinkState::Closed:
      break;
  }
  return kGrey;
}

// A filled circle: the status lamp.
class Lamp : public QWidget {
 public:
  using QWidget::QWidget;
  void SetColour(const QColor& colour) {
    colour_ = colour;
    update();
  }
  QColor Colour() const { return colour_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::black);
    painter.setBrush(colour_);
    painter.drawEllipse(rect().adjusted(1, 1, -1, -1));
  }

 private:
  QColor colour_{192, 192, 192};
};

// The rectangle around the strip.
class Border : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
};
}  // namespace

StripLook LookOf(const LinkStatus& link, const QString& activity) {
  const bool up = link.state == LinkState::Connected;
  StripLook look;
  look.lamp = StateColour(link.state);
  if (!activity.isEmpty()) {
    look.status = activity;
  } else if (!link.activity.isEmpty()) {
    look.status = link.activity;
  } else {
    look.status = up ? QStringLiteral("VELD32 Connected") : QStringLiteral("VELD32");
  }
  look.connectPressed = link.connectPressed;
  look.connectCaption = up ? QStringLiteral("Disconnect") : QStringLiteral("Connect");
  look.connectFace = look.lamp;
  look.message = link.message;
  look.messageColour = link.failure ? kRed : QColor(Qt::black);
  return look;
}

ctlVELD32UsbCommStrip::ctlVELD32UsbCommStrip(ctlVELD32UsbComm& link, QWidget* parent)
    : QWidget(parent),
      link_(link),
      shpBorder(new Border(this)),
      lblStatus(new QLabel(this)),
      shpStatus(new Lamp(this)),
      chkConnect(new QCheckBox(this)),
      lblErrorMessage(new QLabel(this)) {
  setObjectName(QStringLiteral("ctlVELD32UsbCommStrip"));
  shpBorder->setObjectName(QStringLiteral("shpBorder"));
  lblStatus->setObjectName(QStringLiteral("lblStatus"));
  shpStatus->setObjectName(QStringLiteral("shpStatus"));
  chkConnect->setObjectName(QStringLiteral("chkConnect"));
  lblErrorMessage->setObjectName(QStringLiteral("lblErrorMessage"));

  // The twips layout was drawn for an 8-point face; the status text and the button get a
  // little more room for the wider faces of other desktops.
  QFont small = font();
  small.setPointSize(8);
  setFont(small);
  constexpr int kExtra = 16;
  shpBorder->setGeometry(0, 0, Px(3315) + 2 * kExtra, Px(615));
  lblStatus->setGeometry(Px(120), Px(60), Px(1515) + kExtra, Px(195) + 2);
  shpStatus->setGeometry(Px(1980) + kExtra, Px(60), Px(225), Px(225));
  // A check box drawn as a push button that stays pressed in while connected.
  chkConnect->setGeometry(Px(2160) + kExtra + 4, Px(60) - 2, Px(1065) + kExtra, Px(255) + 4);
  lblErrorMessage->setGeometry(Px(120), Px(300), Px(3135) + kExtra, Px(255));
  lblStatus->setStyleSheet(QStringLiteral("color: black;"));
  chkConnect->setToolTip(QStringLiteral("Connect to the VELD32 tester, or disconnect from it"));
  shpStatus->setToolTip(QStringLiteral("Green while connected, red otherwise"));
  // The control's own size follows its border.
  setFixedSize(shpBorder->size());

  connect(chkConnect, &QCheckBox::toggled, this, [this](bool pressed) {
    if (!pressed && link_.Connected() && releaseCheck_) {
      // While the check runs, a repaint presses the button in again as the link still has it;
      // that is no click of the operator's.
      const QSignalBlocker quiet(chkConnect);
      const bool release = releaseCheck_();
      chkConnect->setChecked(!release);
      if (!release) return;
    }
    if (pressed && !link_.Connected() && pressCheck_) {
      const QSignalBlocker quiet(chkConnect);
      if (!pressCheck_()) {
        chkConnect->setChecked(false);
        return;
      }
    }
    link_.chkConnect_Click(pressed);
  });
  connect(&link_, &ctlVELD32UsbComm::StatusChanged, this, &ctlVELD32UsbCommStrip::Refresh);
  Refresh();
}

void ctlVELD32UsbCommStrip::SetActivity(const QString& text) {
  activity_ = text;
  Refresh();
}

void ctlVELD32UsbCommStrip::Refresh() {
  const StripLook look = LookOf(link_.Status(), activity_);
  lblStatus->setText(look.status);
  static_cast<Lamp*>(shpStatus)->SetColour(look.lamp);
  {
    // Showing the link's value is no click of the operator's.
    const QSignalBlocker quiet(chkConnect);
    chkConnect->setChecked(look.connectPressed);
  }
  chkConnect->setText(look.connectCaption);
  // Black text on the specified colours whatever the desktop's palette, and a plain ring when
  // the button has the focus.
  chkConnect->setStyleSheet(
      QStringLiteral("QCheckBox::indicator { width: 0; height: 0; }"
                     "QCheckBox { border: 1px solid gray; border-radius: 2px; padding-left: 6px;"
                     " background-color: %1; color: black; }"
                     "QCheckBox:checked { border-style: inset; }"
                     "QCheckBox:focus { border: 2px solid rgb(0, 84, 227); }")
          .arg(look.connectFace.name()));
  lblErrorMessage->setText(look.message);
  lblErrorMessage->setStyleSheet(QStringLiteral("color: rgb(%1, %2, %3);")
                                     .arg(look.messageColour.red())
                                     .arg(look.messageColour.green())
                                     .arg(look.messageColour.blue()));
}
