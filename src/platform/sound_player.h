#pragma once

// Plays MP3 files in the background (libmpg123 decodes, libout123 plays).

#include <filesystem>
#include <memory>
#include <string>

namespace qm {

class SoundPlayer {
 public:
  // driver/device as libout123 names them; empty chooses the system's default
  // output. Tests use the "wav" driver with a file as device, or "test".
  explicit SoundPlayer(std::string driver = {}, std::string device = {});
  ~SoundPlayer();
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;

  // Ends what plays, starts the file in the background, plays it `times` times and
  // returns at once. A missing or unplayable file, or no sound device, plays nothing.
  void play(const std::filesystem::path& file, int times);
  // Ends the sound that plays, if any.
  void stop();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace qm
