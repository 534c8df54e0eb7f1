#include "platform/sound_player.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/embedded_assets.h"
#include "platform/file_access.h"
#include "support/run_dir.h"

namespace fs = std::filesystem;
using qm::SoundPlayer;
using qm::test::RunDir;

namespace {

constexpr int64_t samplesPerPlay = 1021 * 1152;  // frames of the alert sound times samples per frame

// Samples per channel in a WAV file the "wav" output wrote; -1 when it is not one.
// The output fills in the sizes when it closes the file, so 0 means still playing.
int64_t wavSamples(const fs::path& wav) {
  auto bytes = qm::readWholeFile(wav);
  if (!bytes || bytes->size() < 44 || bytes->compare(0, 4, "RIFF") != 0 || bytes->compare(8, 4, "WAVE") != 0)
    return -1;
  const std::string& b = *bytes;
  auto le = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | uint8_t(b[at + size_t(i)]);
    return v;
  };
  int channels = 0, bits = 0;
  for (size_t at = 12; at + 8 <= b.size();) {
    std::string id = b.substr(at, 4);
    uint32_t size = le(at + 4, 4);
    if (id == "fmt ") {
      channels = int(le(at + 10, 2));
      bits = int(le(at + 22, 2));
    } else if (id == "data") {
      if (channels != 2 || bits != 16) return -1;
      return std::min<int64_t>(size, int64_t(b.size() - at - 8)) / (channels * bits / 8);
    }
    at += 8 + size + (size & 1);
  }
  return -1;
}

class ThreadsSoundPlayerOutput : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(qm::writeWholeFile(sound, qm::embeddedAsset("autio.mp3"))); }
  // Waits until the output has closed the file, at the natural end of the play.
  static int64_t samplesWhenDone(const fs::path& out) {
    for (int i = 0; i < 1200; ++i) {
      if (int64_t n = wavSamples(out); n > 0) return n;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
  }
  RunDir run;
  fs::path sound = run / "autio.mp3";
  fs::path wav = run / "out.wav";
};

}  // namespace

TEST_F(ThreadsSoundPlayerOutput, PlaysTheAlertSoundAsOftenAsAsked) {
  for (int times : {1, 2}) {
    fs::path out = run / ("out" + std::to_string(times) + ".wav");
    SoundPlayer player("wav", out.string());
    player.play(sound, times);
    int64_t samples = samplesWhenDone(out);
    // mpg123 may leave out up to one frame of decoder delay at the start of a play
    EXPECT_LE(samples, times * samplesPerPlay) << times;
    EXPECT_GE(samples, times * (samplesPerPlay - 1152)) << times;
  }
}

TEST_F(ThreadsSoundPlayerOutput, StopEndsThePlayEarly) {
  SoundPlayer player("wav", wav.string());
  player.play(sound, 20);
  auto written = [&] {
    std::error_code ec;
    auto n = fs::file_size(wav, ec);
    return ec ? 0 : n;
  };
  for (int i = 0; i < 6000 && written() < 100000; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  player.stop();
  int64_t samples = wavSamples(wav);
  EXPECT_GT(samples, 0) << "stop closes the output";
  EXPECT_LT(samples, 10 * samplesPerPlay);
  auto size = fs::file_size(wav);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(fs::file_size(wav), size) << "nothing plays after stop";
}

TEST_F(ThreadsSoundPlayerOutput, PlayReplacesWhatPlays) {
  fs::path second = run / "second.mp3";
  ASSERT_TRUE(qm::writeWholeFile(second, qm::embeddedAsset("autio.mp3")));
  SoundPlayer player("test", "");
  player.play(sound, 1000);
  player.play(second, 1);
  player.stop();
  player.stop();  // stopping twice, or with nothing playing, is fine
}

TEST_F(ThreadsSoundPlayerOutput, WhatCannotBePlayedPlaysNothing) {
  ASSERT_TRUE(qm::writeWholeFile(run / "text.mp3", std::string(5000, 'a') + "not a sound\n"));
  ASSERT_TRUE(qm::writeWholeFile(run / "zeros.mp3", std::string(5000, '\0')));
  ASSERT_TRUE(qm::writeWholeFile(run / "empty.mp3", ""));
  fs::create_directory(run / "dir.mp3");
  for (const char* name : {"missing.mp3", "text.mp3", "zeros.mp3", "empty.mp3", "dir.mp3"}) {
    fs::path out = run / (std::string(name) + ".wav");
    {
      SoundPlayer player("wav", out.string());
      player.play(run / name, 1);
    }
    EXPECT_LE(wavSamples(out), 0) << name;
  }
}

TEST_F(ThreadsSoundPlayerOutput, NoSoundDevicePlaysNothing) {
  SoundPlayer noDriver("no-such-driver", "");
  noDriver.play(sound, 1);
  noDriver.stop();
  SoundPlayer unwritable("wav", (run / "missing dir" / "out.wav").string());
  unwritable.play(sound, 1);
  unwritable.stop();
  EXPECT_FALSE(fs::exists(run / "missing dir"));
}

TEST_F(ThreadsSoundPlayerOutput, ZeroTimesPlaysNothing) {
  {
    SoundPlayer player("wav", wav.string());
    player.play(sound, 0);
  }
  EXPECT_LE(wavSamples(wav), 0);
}

TEST(ThreadsSoundPlayer, PlayAndStopFromManyThreadsAtOnce) {
  RunDir run;
  fs::path sound = run / "autio.mp3";
  ASSERT_TRUE(qm::writeWholeFile(sound, qm::embeddedAsset("autio.mp3")));
  SoundPlayer player("test", "");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20; ++i) {
        if ((i + t) % 3 == 0)
          player.stop();
        else
          player.play(sound, 1 + i % 2);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  for (auto& th : threads) th.join();
  player.play(sound, 100);
}

// An output that never comes back (here: a pipe nobody reads, on which the output's
// open blocks) must not hold up a stop on the GUI thread, nor the next play.
TEST_F(ThreadsSoundPlayerOutput, AnOutputThatNeverReturnsHoldsUpNeitherStopNorPlay) {
  const fs::path pipe = run / "stuck.wav";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  {
    SoundPlayer player("wav", pipe.string());
    player.play(sound, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the playback is stuck in its open
    const auto before = std::chrono::steady_clock::now();
    player.play(sound, 1);  // a second alert replaces the first
    player.stop();          // the stop click
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  }
  // Let the stuck playbacks go: read the pipe until both have ended and closed it.
  const int fd = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  char buffer[4096];
  for (int idle = 0; idle < 400;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) continue;
    ++idle;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::close(fd);
}
