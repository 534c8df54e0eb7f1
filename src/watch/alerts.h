#pragma once

// The alert of one product: a balloon tip, the optional halt of monitoring, the
// alert sound and the alert mail (at most one mail per monitoring run).

#include "config/program.h"
#include "text/text.h"

namespace qm {

enum class AlertKind { PriceAlert, StockAlert };

// Runs on the worker of the check that raised it and returns when all four steps are
// done. The sound and mail steps hold program.alertLock for their whole duration.
void raiseAlert(Program& program, AlertKind kind, int rowNumber, const Text& stockStateName);

// A local calendar time, as the balloon's time of day is read from it.
struct LocalClock {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

LocalClock localClockNow();

// year年month月day日 and the time part, whose parts are dropped from the right while
// they are zero: 9时5分7秒, 9时5分, 9时, or nothing at 0:00:00. GBK.
Text dateTimeText(const LocalClock& clock);
// The part of dateTimeText after its last "日".
Text timeOfDayText(const LocalClock& clock);

// raiseAlert at a given time of day; the one above reads the local clock.
void raiseAlert(Program& program, AlertKind kind, int rowNumber, const Text& stockStateName,
                const LocalClock& now);

}  // namespace qm
