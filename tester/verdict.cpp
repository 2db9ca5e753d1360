#include "tester/verdict.h"

#include <cmath>

Verdict JudgeImpedance(double ohms, qint16 passOhms, qint16 failOhms) {
  if (!std::isfinite(ohms) || ohms < 0) return Verdict::NoReading;
  if (ohms >= failOhms) return Verdict::Fail;
  if (ohms < passOhms) return Verdict::Pass;
  return Verdict::BetweenLimits;
}

QString VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::Pass:
      return QStringLiteral("pass");
    case Verdict::Fail:
      return QStringLiteral("fail");
    case Verdict::BetweenLimits:
      return QStringLiteral("between limits");
    case Verdict::NoReading:
      break;
  }
  return QStringLiteral("no reading");
}

QString OhmsText(double ohms) {
  QString text = QString::number(ohms, 'f', 2);
  while (text.endsWith(u'0')) text.chop(1);
  if (text.endsWith(u'.')) text.chop(1);
  return text;
}

QString RunningCaption(int program) { return QStringLiteral("Running test %1…").arg(program); }

QString RunningCaption(int program, qint64 elapsedSeconds, qint64 expectedSeconds) {
  const auto minutes = [](qint64 seconds) {
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
  };
  QString caption = RunningCaption(program) + u' ' + minutes(elapsedSeconds);
  if (expectedSeconds > 0) caption += QStringLiteral(" of ") + minutes(expectedSeconds);
  return caption;
}

QString ResultLine(const TestResult& result) {
  const QString prefix = QStringLiteral("Test program %1: ").arg(result.program);
  const QString ohms = OhmsText(result.impedanceOhms) + QStringLiteral(" ohms, ");
  switch (result.verdict) {
    case Verdict::Pass:
      return prefix + ohms + QStringLiteral("below the pass limit %1").arg(result.passOhms);
    case Verdict::Fail:
      return prefix + ohms + QStringLiteral("at or above the fail limit %1").arg(result.failOhms);
    case Verdict::BetweenLimits:
      return prefix + ohms +
             QStringLiteral("between the pass limit %1 and the fail limit %2")
                 .arg(result.passOhms)
                 .arg(result.failOhms);
    case Verdict::NoReading:
      break;
  }
  return prefix + QStringLiteral("no reading");
}
