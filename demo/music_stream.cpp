#include "demo/music_stream.h"

#include <algorithm>
#include <cstdio>

#include "demo/audio/music_output.h"

DataFileError ReadMusicFile(const std::string& path, MusicBlock& block, uint64_t* fileSize, std::string* reason) {
  const DataFile data = OpenDataFile(path, kMaxMusicFileBytes);
  if (fileSize != nullptr) *fileSize = data.size;
  if (reason != nullptr) *reason = data.reason;
  if (data.error != DataFileError::kNone) return data.error;
  if (data.size == 0) return DataFileError::kEmpty;
  const size_t length = static_cast<size_t>(data.size);
  block.data.reset(static_cast<uint8_t*>(std::malloc(length)));
  if (!block.data || std::fread(block.data.get(), length, 1, data.file.get()) != 1) {
    if (reason != nullptr) *reason = block.data ? "a read failed" : "not enough memory for it";
    block.data.reset();
    return DataFileError::kUnreadable;
  }
  block.size = length;
  return DataFileError::kNone;
}

MusicStream::MusicStream() : output_(MakeMusicOutput()) {}
MusicStream::~MusicStream() { Close(); }
bool MusicStream::Init() { return output_->Init(); }
bool MusicStream::Silent() const { return output_->Silent(); }
bool MusicStream::Open(const MusicBlock& block) { return output_->Open(block); }
// The music starts at 0 when Play returns; the output's reports carry it on from there.
bool MusicStream::Play() {
  if (!output_->Play()) return false;
  heard_.Report({0.0, false, SteadyMilliseconds()});
  playing_ = true;
  return true;
}
void MusicStream::Close() {
  output_->Close();
  playing_ = false;
}
const std::string& MusicStream::Error() const { return output_->Error(); }

int32_t MusicStream::MusicTime() {
  if (paused_) return pausedAt_;
  if (const std::optional<MusicSample> sample = output_->Sample(); sample && sample->atMs >= restartedAt_)
    heard_.Report(*sample);
  return heard_.At(SteadyMilliseconds());
}

bool MusicStream::CanSeek() const { return playing_ && output_->CanSeek(); }

// The clock stands where it was read last: a reading never goes back on the one before.
void MusicStream::Pause() {
  if (paused_ || !CanSeek()) return;
  const int32_t at = MusicTime();
  if (!output_->Pause(true)) return;
  pausedAt_ = at;
  paused_ = true;
}

// The output counts on from where it was held, which may be up to one of its steps past the
// reading the clock stood at: the clock then catches up by that much once.
void MusicStream::Resume() {
  if (!paused_) return;
  const double now = SteadyMilliseconds();
  if (!output_->Pause(false)) return;
  paused_ = false;
  restartedAt_ = now;
  heard_.Restart(pausedAt_, restartedAt_);
}

bool MusicStream::Seek(int32_t ms) {
  if (!CanSeek()) return false;
  ms = std::max(ms, 0);
  const double now = SteadyMilliseconds();
  if (!output_->Seek(ms)) return false;
  // Without a fresh start the smoothing would hold a seek backwards at the old position.
  restartedAt_ = now;
  heard_.Restart(ms, restartedAt_);
  pausedAt_ = ms;
  return true;
}
