#include <QtWidgets>

#include <gtest/gtest.h>

#include "editor/ctlVELD32UsbCommStrip.h"
#include "tests/device_link/link_harness.h"

namespace {

// The looks of the idle, connected, closed and failed link are those the strip shows below.
TEST(StatusStrip, EachLinkStatusHasItsLook) {
  const QColor grey(192, 192, 192);
  const QColor red(255, 0, 0);
  const QColor green(0, 255, 0);
  const QColor black(Qt::black);
  const QString closed = "USB Port Closed";
  const QString running = "Running test 2…";
  using S = LinkState;
  // name, the link's status, the strip's own user's activity, the look
  // clang-format off
  const std::tuple<const char*, LinkStatus, QString, StripLook> cases[] = {
      // name                        link: state, pressed, activity, message, failure
      {"pressed, before the open",   {S::Closed, true, "", "", false}, "",
       {grey, "VELD32", true, "Connect", grey, "", black}},
      {"opening after a close",      {S::Connecting, false, "", closed, false}, "",
       {red, "VELD32", false, "Connect", red, closed, black}},
      {"connected, testing",         {S::Connected, true, running, "", false}, "",
       {green, running, true, "Disconnect", green, "", black}},
      {"the strip's user first",     {S::Connected, true, running, "", false}, "Uploading…",
       {green, "Uploading…", true, "Disconnect", green, "", black}},
      {"failed, testing",            {S::Failed, false, running, "", false}, "",
       {red, running, false, "Connect", red, "", black}},
  };
  // clang-format on
  for (const auto& [name, link, activity, look] : cases)
    EXPECT_EQ(LookOf(link, activity), look) << name;
}

// The strip draws the link's status, and the link hears the operator's presses only.
TEST(StatusStrip, OperatorClicksOpenAndCloseButTheLinksOwnChangesDoNot) {
  LinkHarness h;
  ctlVELD32UsbCommStrip strip(h.link);
  auto* button = strip.findChild<QCheckBox*>("chkConnect");
  auto* status = strip.findChild<QLabel*>("lblStatus");
  auto* error = strip.findChild<QLabel*>("lblErrorMessage");
  auto* lamp = strip.findChild<QWidget*>("shpStatus");
  ASSERT_TRUE(button && status && error && lamp && strip.findChild<QWidget*>("shpBorder"));
  // The caption, the lamp and the button side by side, none over another.
  EXPECT_FALSE(status->geometry().intersects(lamp->geometry()));
  EXPECT_FALSE(lamp->geometry().intersects(button->geometry()));

  // What the operator sees: the lamp's fill (the button's face has the same colour), the
  // caption, the button and the message with its colour.
  const auto seen = [&] {
    const QImage image = lamp->grab().toImage();
    const QString fill = image.pixelColor(image.rect().center()).name();
    EXPECT_TRUE(button->styleSheet().contains(fill)) << button->styleSheet();
    return QStringList{fill,           status->text(),
                       button->text(), button->isChecked() ? "pressed" : "released",
                       error->text(),  error->styleSheet().contains("255, 0, 0") ? "red" : "plain"};
  };
  const auto opens = [&] {
    return std::count(h.driver->calls.begin(), h.driver->calls.end(), "FT_Open");
  };
  EXPECT_EQ(seen(), QStringList({"#c0c0c0", "VELD32", "Connect", "released", "", "plain"}));

  button->click();
  EXPECT_TRUE(h.link.Connected());
  EXPECT_EQ(seen(),
            QStringList({"#00ff00", "VELD32 Connected", "Disconnect", "pressed", "", "plain"}));
  // The link pressed the button in itself: that must not have started a second open.
  EXPECT_EQ(opens(), 1);

  // The operator's own close is no failure: the idle look, the message not in red.
  button->click();
  EXPECT_FALSE(h.link.Connected());
  EXPECT_EQ(h.events.last(), "UsbClosed");
  EXPECT_EQ(seen(),
            QStringList({"#c0c0c0", "VELD32", "Connect", "released", "USB Port Closed", "plain"}));
  EXPECT_EQ(opens(), 1);

  // A link lost to a driver failure shows down, in red, before UsbError is raised (a question
  // asked then must not sit beside a green lamp).
  button->click();
  h.link.ShowActivity("Running test 1…");
  QStringList atError;
  QObject::connect(&h.link, &ctlVELD32UsbComm::UsbError, [&] { atError = seen(); });
  h.driver->FailNext("FT_GetQueueStatus", FT_IO_ERROR);
  h.link.PollingTimer_Timer();
  EXPECT_EQ(atError, QStringList({"#ff0000", "VELD32", "Connect", "released",
                                  "FT_GetQueueStatus - General IO Error", "red"}));
}

}  // namespace
