#pragma once

// The real peers of the alerts: an SMTP server (aiosmtpd) with the mail sender
// pointed at it and the mail boxes filled in, and a sound player writing through
// libout123's wav output into the run directory, with the alert sound in place.

#include <mpg123.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "config/program.h"
#include "platform/embedded_assets.h"
#include "platform/mail_sender.h"
#include "platform/sound_player.h"
#include "support/run_dir.h"
#include "support/smtp_server.h"
#include "watch_fixture.h"

namespace qm::test {

enum class SmtpMode { Accept, RequireLogin, RejectRecipients };

inline SmtpServerOptions smtpOptions(SmtpMode mode, const std::string& user, const std::string& password) {
  SmtpServerOptions o;
  if (mode == SmtpMode::RejectRecipients) o.mode = SmtpServerOptions::Mode::RejectRecipient;
  if (mode == SmtpMode::RequireLogin) {
    o.user = user;
    o.password = password;
  }
  return o;
}

class AlertPeers {
 public:
  AlertPeers(Program& program, const RunDir& runDir, SmtpMode mode = SmtpMode::Accept)
      : program_(program),
        smtp(smtpOptions(mode, account, password)),
        wavPath_(runDir.path() / "played.wav"),
        player_("wav", wavPath_.string()) {
    Bytes sound = embeddedAsset("autio.mp3");
    std::ofstream(runDir.path() / "autio.mp3", std::ios::binary)
        .write(sound.data(), std::streamsize(sound.size()));
    program.endpoints.smtpServer = smtp.host();
    program.endpoints.smtpPort = smtp.port();
    program.mail = &mailer_;
    program.sound = &player_;
    program.tk.setText("编辑框发邮件账号", account);
    program.tk.setText("编辑框发邮件密码", password);
    program.tk.setText("编辑框收邮件地址", recipient);
  }
  ~AlertPeers() {
    // Checks still running may be in their alerts: they end before the peers go.
    waitForCheckWorkers();
    program_.mail = nullptr;
    program_.sound = nullptr;
  }
  AlertPeers(const AlertPeers&) = delete;
  AlertPeers& operator=(const AlertPeers&) = delete;

  // MAIL FROM commands the server has seen: one per attempt that reached it.
  int mailTransactions() const {
    int n = 0;
    for (const auto& c : smtp.commands()) n += c.verb == "MAIL";
    return n;
  }

  // Something was played into the wav file.
  bool soundPlayed() const { return std::filesystem::exists(wavPath_); }
  // Waits until a play has ended and its wav file is complete (sizes in its header).
  bool waitForSound(int timeoutMs = 30000) const {
    return pumpUntil([this] { return wavComplete(); }, timeoutMs);
  }
  // Removes the wav file of a finished play, so that the next play shows.
  void forgetSound() { std::filesystem::remove(wavPath_); }

  // Sample frames in the wav file (per channel).
  int64_t playedFrames() const {
    std::string w = wav();
    if (w.size() < 44) return -1;
    int channels = le16(w, 22);
    int bits = le16(w, 34);
    return int64_t(le32(w, 40)) / (channels * bits / 8);
  }
  // Sample frames the alert sound decodes to (per channel), as libmpg123 counts them.
  int64_t alertSoundFrames() const {
    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    if (h == nullptr) return -1;
    off_t length = -1;
    std::string path = (wavPath_.parent_path() / "autio.mp3").string();
    if (mpg123_open(h, path.c_str()) == MPG123_OK) {
      mpg123_scan(h);
      length = mpg123_length(h);
      mpg123_close(h);
    }
    mpg123_delete(h);
    return length;
  }

  const std::string account = "watcher@example.test";
  const std::string password = "secret-word";
  const std::string recipient = "user@example.test";

 private:
  std::string wav() const {
    std::ifstream in(wavPath_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static uint32_t le32(const std::string& s, size_t at) {
    return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
           uint32_t(uint8_t(s[at + 3])) << 24;
  }
  static int le16(const std::string& s, size_t at) {
    return int(uint8_t(s[at])) | int(uint8_t(s[at + 1])) << 8;
  }
  bool wavComplete() const {
    std::string w = wav();
    return w.size() > 44 && w.compare(0, 4, "RIFF") == 0 && le32(w, 4) == w.size() - 8 &&
           le32(w, 40) == w.size() - 44;
  }

  Program& program_;

 public:
  SmtpServer smtp;

 private:
  std::filesystem::path wavPath_;
  MailSender mailer_;
  SoundPlayer player_;
};

}  // namespace qm::test
