#include "platform/sound_player.h"

#include <mpg123.h>
#include <out123.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace qm {

namespace {

void initialiseDecoder() {
  static std::once_flag once;
  std::call_once(once, [] { mpg123_init(); });
}

struct Decoder {
  mpg123_handle* mh = nullptr;
  ~Decoder() {
    if (mh != nullptr) {
      mpg123_close(mh);
      mpg123_delete(mh);
    }
  }
};

struct Output {
  out123_handle* ao = nullptr;
  ~Output() {
    if (ao != nullptr) out123_del(ao);
  }
};

// Decodes the file and plays it `times` times; returns early once `stop` is set.
// Every failure simply ends the playback: nothing to report, nothing left open.
void playFile(const std::filesystem::path& file, int times, const std::string& driver,
              const std::string& device, const std::atomic<bool>& stop) {
  Decoder decoder;
  int error = MPG123_OK;
  decoder.mh = mpg123_new(nullptr, &error);
  if (decoder.mh == nullptr) return;
  mpg123_handle* mh = decoder.mh;
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
  // One sample format that every output takes: signed 16 bit, at the file's rate.
  mpg123_format_none(mh);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i)
    mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
#ifdef _WIN32
  std::u8string name = file.u8string();  // mpg123 takes UTF-8 names on Windows
  if (mpg123_open(mh, reinterpret_cast<const char*>(name.c_str())) != MPG123_OK) return;
#else
  if (mpg123_open(mh, file.c_str()) != MPG123_OK) return;
#endif
  long rate = 0;
  int channels = 0, encoding = 0;
  if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 || channels <= 0) return;

  Output output;
  output.ao = out123_new();
  if (output.ao == nullptr) return;
  out123_handle* ao = output.ao;
  out123_param_int(ao, OUT123_FLAGS, OUT123_QUIET);
  if (out123_open(ao, driver.empty() ? nullptr : driver.c_str(), device.empty() ? nullptr : device.c_str()) !=
      0)
    return;
  if (out123_start(ao, rate, channels, encoding) != 0) return;

  std::vector<unsigned char> buffer(mpg123_outblock(mh));
  for (int round = 0; round < times && !stop; ++round) {
    if (round > 0 && mpg123_seek(mh, 0, SEEK_SET) < 0) break;
    for (;;) {
      if (stop) break;
      size_t got = 0;
      int rc = mpg123_read(mh, buffer.data(), buffer.size(), &got);
      if (got > 0 && out123_play(ao, buffer.data(), got) < got) {
        round = times;  // the device gave up
        break;
      }
      if (rc == MPG123_DONE || (rc != MPG123_OK && rc != MPG123_NEW_FORMAT)) break;
    }
  }
  if (stop)
    out123_drop(ao);
  else
    out123_drain(ao);
  out123_close(ao);
}

}  // namespace

namespace {

// One playback on its own detached thread. The thread owns its handles and keeps
// this state alive, so nothing it touches goes away if it outlives the player.
struct Playback {
  std::atomic<bool> stopRequested{false};
  std::mutex lock;
  std::condition_variable ended;
  bool done = false;
};

// How long a stop waits for the playback to end. A well-behaved output ends within
// milliseconds; some outputs without a device (OpenAL's fallback) never hand their
// buffers back, and such a playback is left to end on its own rather than freeze
// the window (stop runs on the GUI thread) or hold up later alerts.
constexpr std::chrono::milliseconds kStopWait{500};

}  // namespace

struct SoundPlayer::State {
  std::string driver;
  std::string device;
  std::mutex lock;  // serialises play and stop, which may come from different threads
  std::shared_ptr<Playback> current;

  void stopLocked() {
    if (!current) return;
    current->stopRequested = true;
    {
      std::unique_lock<std::mutex> wait(current->lock);
      current->ended.wait_for(wait, kStopWait, [&] { return current->done; });
    }
    current.reset();
  }
};

SoundPlayer::SoundPlayer(std::string driver, std::string device) : state_(std::make_unique<State>()) {
  state_->driver = std::move(driver);
  state_->device = std::move(device);
  initialiseDecoder();
}

SoundPlayer::~SoundPlayer() { stop(); }

void SoundPlayer::play(const std::filesystem::path& file, int times) {
  State& s = *state_;
  std::lock_guard<std::mutex> guard(s.lock);
  s.stopLocked();
  if (times <= 0) return;
  auto playback = std::make_shared<Playback>();
  try {
    std::thread([playback, file, times, driver = s.driver, device = s.device] {
      playFile(file, times, driver, device, playback->stopRequested);
      {
        std::lock_guard<std::mutex> done(playback->lock);
        playback->done = true;
      }
      playback->ended.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return;  // no thread to play on: nothing plays
  }
  s.current = std::move(playback);
}

void SoundPlayer::stop() {
  State& s = *state_;
  std::lock_guard<std::mutex> guard(s.lock);
  s.stopLocked();
}

}  // namespace qm
