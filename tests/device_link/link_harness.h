#pragma once

#include <QStringList>

#include <memory>

#include "device_link/ctlVELD32UsbComm.h"
#include "tests/support/qt_printers.h"
#include "tests/support/scripted_d2xx.h"

// A link over a scripted driver, with every signal recorded as one line ("UsbError(...)").
struct LinkHarness {
  std::shared_ptr<ScriptedD2xx> driver = std::make_shared<ScriptedD2xx>();
  ctlVELD32UsbComm link{driver};
  QStringList events;

  LinkHarness() {
    using L = ctlVELD32UsbComm;
    QObject::connect(&link, &L::RXData, [this](const QString& d) { Add("RXData(" + d + ")"); });
    QObject::connect(&link, &L::RXIdle, [this] { Add("RXIdle"); });
    QObject::connect(&link, &L::RXRunningTest, [this] { Add("RXRunningTest"); });
    QObject::connect(&link, &L::RXFirmwareVersion,
                     [this](const QString& v) { Add("RXFirmwareVersion(" + v + ")"); });
    QObject::connect(&link, &L::RXProgramValues,
                     [this](qint16 program, qint16, qint16, qint16, qint16, qint16, qint16, qint16,
                            qint16, qint16, qint16, qint16, double, qint16, const QString&) {
                       Add(QStringLiteral("RXProgramValues(%1)").arg(program));
                     });
    QObject::connect(&link, &L::TXData, [this](const QString& d) { Add("TXData(" + d + ")"); });
    QObject::connect(&link, &L::UsbConnected,
                     [this](qint32 h) { Add(QStringLiteral("UsbConnected(%1)").arg(h)); });
    QObject::connect(&link, &L::UsbClosed, [this] { Add("UsbClosed"); });
    QObject::connect(&link, &L::UsbError, [this](const QString& e) { Add("UsbError(" + e + ")"); });
  }

  // Opens the link and forgets the events of the open sequence.
  void Connect() {
    link.OpenDevice();
    events.clear();
  }

  void Add(const QString& line) { events << line; }
};
