#include "records/production_record.h"

#include <array>

namespace {
constexpr std::array kOutcomes{RunOutcome::Pass,          RunOutcome::Fail,
                               RunOutcome::BetweenLimits, RunOutcome::NoReading,
                               RunOutcome::Stopped,       RunOutcome::Error};
}  // namespace

RunOutcome OutcomeOf(Verdict verdict) {
  switch (verdict) {
    case Verdict::Pass:
      return RunOutcome::Pass;
    case Verdict::Fail:
      return RunOutcome::Fail;
    case Verdict::BetweenLimits:
      return RunOutcome::BetweenLimits;
    case Verdict::NoReading:
      break;
  }
  return RunOutcome::NoReading;
}

QString RunOutcomeName(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Pass:
      return VerdictName(Verdict::Pass);
    case RunOutcome::Fail:
      return VerdictName(Verdict::Fail);
    case RunOutcome::BetweenLimits:
      return VerdictName(Verdict::BetweenLimits);
    case RunOutcome::NoReading:
      return VerdictName(Verdict::NoReading);
    case RunOutcome::Stopped:
      return QStringLiteral("stopped");
    case RunOutcome::Error:
      break;
  }
  return QStringLiteral("error");
}

std::optional<RunOutcome> RunOutcomeFromName(const QString& name) {
  for (const RunOutcome outcome : kOutcomes)
    if (RunOutcomeName(outcome) == name) return outcome;
  return std::nullopt;
}
