#include "watch/alerts.h"

#include <ctime>
#include <mutex>

#include "platform/mail_sender.h"
#include "platform/sound_player.h"
#include "records/watch_columns.h"
#include "text/gbk.h"
#include "watch/watch_controls.h"

namespace qm {

namespace {

const Text& mailSubject(AlertKind kind) {
  return kind == AlertKind::PriceAlert ? QM_GBK("Vantroke，提醒你，价格变化啦！")
                                       : QM_GBK("Vantroke，提醒你，有货啦！");
}

// The MailAttempts value that ends the loop.
int32_t mailAttemptLimit(AlertKind kind) { return kind == AlertKind::PriceAlert ? 5 : 10; }

Text balloonText(AlertKind kind, const Text& timeOfDay, const Text& stockStateName) {
  if (kind == AlertKind::PriceAlert) return QM_GBK("【") + timeOfDay + QM_GBK("】价格变化了！") + "\r\n";
  return QM_GBK("【") + timeOfDay + QM_GBK("】") + stockStateName + "\r\n";
}

// AlertLock; a Program built without the start-up sequence still serialises its alerts.
std::mutex& alertLock(Program& program) {
  static std::mutex fallback;
  return program.alertLock ? *program.alertLock : fallback;
}

bool ticked(WindowToolkit& tk, ControlName box) { return tk.checkState(box) == 1; }

void haltStep(Program& program) {
  if (!ticked(program.tk, controls::HaltOnAlertBox)) return;
  program.tk.setTimerPeriod(controls::MonitorTimer, 0);
  program.monitor.running = 0;
}

void soundStep(Program& program) {
  std::lock_guard lock(alertLock(program));
  if (ticked(program.tk, controls::SoundAlertBox) && program.sound != nullptr)
    program.sound->play(program.runDir / "autio.mp3", 1);
}

void mailStep(Program& program, AlertKind kind, int rowNumber) {
  std::lock_guard lock(alertLock(program));
  if (!ticked(program.tk, controls::MailAlertBox) || program.mail == nullptr) return;
  WindowToolkit& tk = program.tk;
  MonitorState& state = program.monitor;
  MailSender& mail = *program.mail;
  const Text& subject = mailSubject(kind);
  while (state.mailDone == 0) {
    Text account = tk.text(controls::MailAccountBox);
    Text password = tk.text(controls::MailPasswordBox);
    mail.connect(program.endpoints.smtpServer, program.endpoints.smtpPort, account, password);
    Text productId = tk.cell(kWatchList, rowNumber - 1, WatchColumn::ProductId);
    Text body = subject + "\r\n" + productId + "\r\n" + program.endpoints.homePage;
    Text recipient = tk.text(controls::MailRecipientBox);
    account = tk.text(controls::MailAccountBox);
    if (mail.send(subject, body, recipient, account).empty()) {
      state.mailDone = 1;
      mail.disconnect();
    }
    tk.pauseWithEvents(1000);
    tk.handlePendingEvents();
    if (state.mailAttempts == mailAttemptLimit(kind))
      state.mailDone = 1;
    else
      state.mailAttempts += 1;
  }
}

}  // namespace

LocalClock localClockNow() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  return LocalClock{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                    parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

Text dateTimeText(const LocalClock& c) {
  Text t = integerToText(c.year) + QM_GBK("年") + integerToText(c.month) + QM_GBK("月") +
           integerToText(c.day) + QM_GBK("日");
  if (c.second != 0)
    t += integerToText(c.hour) + QM_GBK("时") + integerToText(c.minute) + QM_GBK("分") +
         integerToText(c.second) + QM_GBK("秒");
  else if (c.minute != 0)
    t += integerToText(c.hour) + QM_GBK("时") + integerToText(c.minute) + QM_GBK("分");
  else if (c.hour != 0)
    t += integerToText(c.hour) + QM_GBK("时");
  return t;
}

Text timeOfDayText(const LocalClock& clock) { return textAfterLast(dateTimeText(clock), QM_GBK("日")); }

void raiseAlert(Program& program, AlertKind kind, int rowNumber, const Text& stockStateName) {
  raiseAlert(program, kind, rowNumber, stockStateName, localClockNow());
}

void raiseAlert(Program& program, AlertKind kind, int rowNumber, const Text& stockStateName,
                const LocalClock& now) {
  WindowToolkit& tk = program.tk;
  int x = tk.screenWidth() - 10;
  int y = tk.screenHeight() - 30;
  Text timeOfDay = timeOfDayText(now);
  tk.showBalloon(controls::Balloon, x, y, balloonText(kind, timeOfDay, stockStateName), -1, true);
  haltStep(program);
  soundStep(program);
  mailStep(program, kind, rowNumber);
}

}  // namespace qm
