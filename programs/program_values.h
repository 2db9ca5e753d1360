#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

// The value sets of a test program and the texts derived from its settings. Pure functions:
// nothing here knows about controls or notifications.

// The items of cmbCurrent (mA) and cmbFrequency (Hz), in list order; list position + 1 is the
// index that crosses the link.
const QStringList& CurrentListItems();
const QStringList& FrequencyListItems();

// Shortest and longest pulse (microseconds) allowed at a current level; none for a level that
// is not in the current list.
struct PulseWidthRange {
  int minimum = 0;
  int maximum = 0;
};
std::optional<PulseWidthRange> PulseWidthRangeFor(int milliamps);

// The minutes-and-seconds text of a duration's seconds part: 30 -> "00:30", 3599 -> "59:59".
QString DurationText(int seconds);

// How a box's text reads as a whole number: an optionally signed run of decimal digits with
// blanks around it. A number outside -32768..32767 reads, but has no 16-bit value.
struct WholeNumberText {
  bool isNumber = false;
  std::optional<qint16> value;
};
WholeNumberText ReadWholeNumber(const QString& text);

// Both take the settings as they stand in the lists and the slider, all of them positive.

// The average current in mA, "000.000": I x f x PW / 1000 microamperes rounded to whole
// microamperes, an exact half to the even neighbour.
QString AverageCurrentText(int milliamps, int hertz, int pulseWidthUs, const QLocale& locale);

// The charge of one pulse in microcoulombs, "00.0": I x PW / 1000, an exact half rounding up.
QString PulseChargeText(int milliamps, int pulseWidthUs, const QLocale& locale);
