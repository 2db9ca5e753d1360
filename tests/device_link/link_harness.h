#pragma once

#include <QStringList>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "device_link/ctlVELD32UsbComm.h"
#include "device_link/permission_advising_driver.h"
#include "tests/support/qt_printers.h"
#include "tests/support/scripted_d2xx.h"

// A backend that says whether its last failure was a refused permission.
struct Refusing : DriverDiagnostics {
  bool refused = false;
  std::string LastErrorText() const override { return "usb_open() failed"; }
  bool PermissionRefused() const override { return refused; }
};

// A link over a scripted driver (behind the permission advice, recorded as "advice" when it
// names the udev rule), with the signals the scripts meet recorded as one line each
// ("UsbError(...)"; NULs as "\0"; a frame sent while the link is connecting is marked
// " connecting"), and a small language that drives both and records what a step looks at among
// the signals' lines.
struct LinkHarness {
  std::shared_ptr<ScriptedD2xx> driver = std::make_shared<ScriptedD2xx>();
  std::shared_ptr<Refusing> diagnostics = std::make_shared<Refusing>();
  QStringList events;
  ctlVELD32UsbComm link{
      std::make_shared<PermissionAdvisingDriver>(driver, diagnostics, [this](const std::string& a) {
        Add(a.find("packaging/60-veld32.rules") != std::string::npos ? "advice" : "other advice");
      })};

  LinkHarness() {
    using L = ctlVELD32UsbComm;
    QObject::connect(&link, &L::RXData, [this](const QString& d) { Add("RXData(" + d + ")"); });
    QObject::connect(&link, &L::RXIdle, [this] { Add("RXIdle"); });
    QObject::connect(&link, &L::RXFirmwareVersion,
                     [this](const QString& v) { Add("RXFirmwareVersion(" + v + ")"); });
    QObject::connect(&link, &L::TXData, [this](const QString& d) {
      const bool connecting = link.Status().state == LinkState::Connecting;
      Add("TXData(" + d + ")" + (connecting ? " connecting" : ""));
    });
    QObject::connect(&link, &L::UsbConnected,
                     [this](qint32 h) { Add(QStringLiteral("UsbConnected(%1)").arg(h)); });
    QObject::connect(&link, &L::UsbClosed, [this] { Add("UsbClosed"); });
    QObject::connect(&link, &L::UsbError, [this](const QString& e) { Add("UsbError(" + e + ")"); });
  }

  void Add(QString line) { events << line.replace(QChar(0), "\\0"); }
  QTimer* Timer(const char* name) { return link.findChild<QTimer*>(name); }

  // Steps split at blanks: "name" or "name=argument"; "^N" at the end runs a step N times.
  void Run(const std::string& script) {
    std::istringstream in(script);
    for (std::string token; in >> token;) {
      const auto hat = token.rfind('^');
      const int times = hat == std::string::npos ? 1 : std::stoi(token.substr(hat + 1));
      token = token.substr(0, hat);
      const auto eq = token.find('=');
      const auto step = Steps().find(token.substr(0, eq));
      ASSERT_NE(step, Steps().end()) << token;
      for (int i = 0; i < times; ++i)
        step->second(eq == std::string::npos ? "" : token.substr(eq + 1));
    }
  }

  // The link's state, " up" when Connected(), " busy" with an activity, then its message ("!"
  // before it: a failure).
  QString Summary() {
    const LinkStatus& s = link.Status();
    const char* states[] = {"Closed", "Connecting", "Connected", "Failed"};
    return states[static_cast<int>(s.state)] + QString(link.Connected() ? " up" : "") +
           (s.activity.isEmpty() ? "" : " busy") + ": " + (s.failure ? "!" : "") + s.message;
  }

 private:
  using Arg = const std::string&;
  const std::map<std::string, std::function<void(Arg)>>& Steps() {
    if (!steps_.empty()) return steps_;
    ScriptedD2xx& d = *driver;
    const auto n = [](auto number) { return QString::number(number); };
    const auto q = [](Arg text) { return QString::fromStdString(text); };
    steps_ = {
        // Acting on the link: "up" opens it and forgets the open's events.
        {"up", [this](Arg) { link.OpenDevice(), events.clear(); }},
        {"open", [this](Arg) { EXPECT_EQ(link.OpenDevice(), 0); }},
        {"connect", [this](Arg) { link.Connect(); }},
        {"close", [this, &d](Arg) { link.CloseUSB(d.nextHandle); }},
        {"disconnect", [this](Arg) { link.Disconnect(); }},
        {"deactivate", [this](Arg) { link.Deactivate(); }},
        {"busy", [this](Arg) { link.ShowActivity("Running test 1"); }},
        {"tick", [this](Arg) { link.PollingTimer_Timer(); }},
        {"poll", [this](Arg) { Timer("PollingTimer")->start(); }},
        {"interval",
         [this](Arg a) { link.SetPollingTimerInterval(static_cast<qint16>(std::stoi(a))); }},
        {"refused", [this](Arg) { diagnostics->refused = true; }},
        // "soon=send=(?)": the step runs from the event loop, as inside a wait.
        {"soon", [this](Arg a) { QTimer::singleShot(0, &link, [this, a] { Run(a); }); }},
        // "clock=40": the waits run on a clock that moves 40 ms whenever DelayTimer looks; each
        // look is recorded ("wait", with ", polling" while polling runs). "atwait=2:poll" runs a
        // step at the second look.
        {"clock",
         [this](Arg a) {
           clockStep_ = std::stoi(a);
           link.SetClock([this] { return clock_; });
           QObject::connect(Timer("DelayTimer"), &QTimer::timeout, [this] {
             clock_ += clockStep_;
             Add(Timer("PollingTimer")->isActive() ? "wait, polling" : "wait");
             if (++waits_ == atWait_.first) Run(atWait_.second);
           });
         }},
        {"atwait", [this](Arg a) { atWait_ = std::pair(std::stoi(a), a.substr(a.find(':') + 1)); }},
        {"query", [this](Arg) { link.TXQuery(); }},
        {"data", [this](Arg) { link.TXRequestData(); }},
        {"cal", [this](Arg) { link.TXGetCalValues(); }},
        {"fw", [this](Arg) { link.TXGetFirmwareVersion(); }},
        {"sn", [this](Arg) { link.TXGetSerialNumber(); }},
        {"mp", [this](Arg a) { link.TXGetProgramValues(static_cast<qint16>(std::stoi(a))); }},
        // "send=(L)@20": a frame and the wait in milliseconds; records what the wait received.
        {"send",
         [this, q](Arg a) {
           const auto at = a.find('@');
           const int wait = at == std::string::npos ? 0 : std::stoi(a.substr(at + 1));
           Add("=" + link.SendDataAndPoll(q(a.substr(0, at)), wait));
         }},
        // Scripting the driver: "fail=FT_Read:4" fails the next call with that status.
        {"rx", [&d](Arg a) { d.rx += a; }},
        {"ack", [&d](Arg a) { d.replies["(*)"] = a; }},
        // "devices=FT232R,VELD32_": the devices' descriptions ("_" a blank); serial numbers alike.
        {"devices", [&d](Arg a) { d.descriptions = List(a, '_'); }},
        {"serials", [&d](Arg a) { d.serialNumbers = List(a, '_'); }},
        {"choose", [this, q](Arg a) { link.SetUsbSerialNumber(q(a)); }},
        {"fail",
         [&d](Arg a) {
           d.FailNext(a.substr(0, a.find(':')), std::stoi(a.substr(a.find(':') + 1)));
         }},
        {"partial", [&d](Arg a) { d.WriteOnlyNext(std::stoi(a)); }},
        {"forget", [&d](Arg) { d.calls.clear(), d.writes.clear(); }},
        // Recording.
        {"clear", [this](Arg) { events.clear(); }},
        {"|", [this](Arg) { Add("|"); }},
        {"probe",
         [this, &d](Arg) {
           Add(QString(link.Connected() ? "up" : "down") + (d.IsOpen() ? " held" : " released"));
         }},
        {"polling",
         [this](Arg) {
           QTimer* t = Timer("PollingTimer");
           Add((t->isActive() ? "polling " : "not polling ") + QString::number(t->interval()));
         }},
        {"closes", [this, &d, n](Arg) { Add("closes " + n(d.closedHandles.size())); }},
        // "calls=FT_Read": the calls of one function made; "calls", all.
        {"calls",
         [this, &d, n](Arg a) {
           Add("calls " + n(a.empty() ? std::ssize(d.calls) : std::ranges::count(d.calls, a)));
         }},
        {"first",
         [this, &d, q](Arg) { Add("first " + q(d.calls.empty() ? "" : d.calls.front())); }},
        {"opened",
         [this, &d, n](Arg) {
           Add("opened " + n(d.openedIndex) + " " + link.ConnectedUsbSerialNumber());
         }},
        {"wanted", [this, &d, n](Arg) { Add("wanted " + n(d.lastReadWanted)); }},
        {"writes",
         [this, &d, q](Arg) {
           for (Arg w : d.writes) Add("wrote " + q(w));
         }},
        // The last write's end, and whether it fit the link's buffer.
        {"tail",
         [this, &d, q](Arg) {
           const std::string& w = d.writes.back();
           Add((w.size() <= 1024 ? "fits, " : "overflows, ") +
               q(w.substr(w.size() - std::min<std::size_t>(w.size(), 5))));
         }},
        {"setup",
         [this, &d](Arg) {
           const auto [mask, mode] = d.bitMode.value_or(std::pair(9, 9));
           Add(QString::asprintf("%d ms, %u Bd, bits %d/%d", d.latency, d.baud, mask, mode));
         }},
    };
    return steps_;
  }

  static std::vector<std::string> List(std::string text, char blank) {
    std::ranges::replace(text, blank, ' ');
    std::vector<std::string> items;
    for (std::istringstream in(text); std::getline(in, items.emplace_back(), ',');) {
    }
    items.pop_back();
    return items;
  }

  std::map<std::string, std::function<void(Arg)>> steps_;
  std::int64_t clock_ = 0;
  std::int64_t clockStep_ = 0;
  int waits_ = 0;
  std::pair<int, std::string> atWait_;
};
