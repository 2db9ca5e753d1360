#pragma once

#include <QString>
#include <QStringList>

struct BackendOptions;

// What the utility tells a newcomer about itself and about reaching the tester.

// The places a udev rule for the tester is installed, the administrator's first, then the
// system's and the installation prefix's. Needs the application to exist.
QStringList UdevRuleCandidates();
// The first of `candidates` that exists; empty when the rule is nowhere.
QString InstalledUdevRule(const QStringList& candidates = UdevRuleCandidates());

// The driver backend in the operator's words.
QString BackendDescription(const BackendOptions& options);

// The log line added when Connect finds no tester: what to check, where the rule is (or that
// it is missing and how to install it), and --simulate to try the utility without a tester.
QString NoTesterHint(const QString& installedRule);

// The log's first line: what to do first, and whether the tester is the simulated one.
QString StartHint(bool simulated);

// The text of "About VELD32 Configurator": version, Qt and libftdi versions, the backend in
// use and where the udev rule is.
QString AboutText(const QString& backend, const QString& installedRule);
