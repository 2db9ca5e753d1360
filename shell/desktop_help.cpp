#include "shell/desktop_help.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "backends/backend_options.h"
#include "resources/version.h"

namespace {
const QString kRuleName = QStringLiteral("60-veld32.rules");

// Where the package puts the rule, for a system that has none: the source tree's copy is not
// where an installed utility's user would look.
QString PackagedRule() { return QStringLiteral("/usr/lib/udev/rules.d/") + kRuleName; }
}  // namespace

QStringList UdevRuleCandidates() {
  return {QStringLiteral("/etc/udev/rules.d/") + kRuleName,
          QStringLiteral("/usr/lib/udev/rules.d/") + kRuleName,
          QStringLiteral("/lib/udev/rules.d/") + kRuleName,
          // An installation under another prefix keeps the rule beside its bin folder.
          QDir::cleanPath(QCoreApplication::applicationDirPath() +
                          QStringLiteral("/../lib/udev/rules.d/") + kRuleName)};
}

QString InstalledUdevRule(const QStringList& candidates) {
  for (const QString& candidate : candidates) {
    if (QFileInfo(candidate).isFile()) return candidate;
  }
  return {};
}

QString BackendDescription(const BackendOptions& options) {
  switch (options.kind) {
    case BackendKind::Simulated:
      return QStringLiteral("the simulated tester (--simulate)");
    case BackendKind::Libftdi:
      return QStringLiteral("libftdi1");
    case BackendKind::D2xxLibrary:
      break;
  }
  return options.libraryPath.empty() ? QStringLiteral("FTDI's D2XX library")
                                     : QStringLiteral("FTDI's D2XX library from %1")
                                           .arg(QString::fromStdString(options.libraryPath));
}

QString NoTesterHint(const QString& installedRule) {
  const QString rule =
      installedRule.isEmpty()
          ? QStringLiteral("the udev rule is not installed (the veld32 package installs it as %1)")
                .arg(PackagedRule())
          : QStringLiteral("the udev rule %1 is installed").arg(installedRule);
  return QStringLiteral(
             "No VELD32 tester found. Check the USB cable and replug the tester; %1. Or start "
             "veld32 --simulate to try the utility without a tester.")
      .arg(rule);
}

QString StartHint(bool simulated) {
  return simulated ? QStringLiteral(
                         "Press Connect to connect to the simulated VELD32 tester (--simulate): no "
                         "hardware is used.")
                   : QStringLiteral("Press Connect to connect to the VELD32 tester.");
}

QString AboutText(const QString& backend, const QString& installedRule) {
  const QString rule = installedRule.isEmpty()
                           ? QStringLiteral("not installed (the veld32 package installs it as %1)")
                                 .arg(PackagedRule())
                           : installedRule;
  return QStringLiteral("%1 Configurator %2\n%3\n\nQt %4, libftdi1 %5\nDriver: %6\nudev rule: %7")
      .arg(QStringLiteral(VELD32_PRODUCT_NAME), QStringLiteral(VELD32_VERSION_TEXT),
           QStringLiteral(VELD32_FILE_DESCRIPTION), QString::fromLatin1(qVersion()),
           QString::fromLatin1(LibftdiVersionText()), backend, rule);
}
