#pragma once

#include <QString>

#include <vector>

#include "device_link/device_listing.h"

// Which tester a selector names on a bench of several, for veld32ctl's and the window's
// --device=SELECTOR: the tester with that USB serial number, or else the device at that index
// of the listing (plain digits, as veld32ctl list prints it). The link opens a tester by the USB
// serial number of its bridge; the first tester needs none.
struct TesterSelection {
  enum class Outcome { Found, NoSuchTester, NotATester, NoOwnSerial };
  Outcome outcome = Outcome::NoSuchTester;
  QString usbSerialNumber;  // Found: what to open it by; empty: the first tester, as by default
  QString problem;          // otherwise: why no tester was found, in the operator's words
};

TesterSelection SelectTester(const std::vector<ListedDevice>& devices, const QString& selector);

// A tester can be opened by its USB serial number when no other tester shares it.
bool OpenableBySerial(const std::vector<ListedDevice>& devices, const ListedDevice& device);

// Whether a listed device is described as a tester.
bool IsListedTester(const ListedDevice& device);
