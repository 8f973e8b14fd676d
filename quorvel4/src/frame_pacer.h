// Keeps the show in step with its music over a slow link. Bytes a program writes to a
// terminal can wait in buffers on the way (the pseudo-terminal alone holds over half a
// megabyte, seconds of a slow SSH connection), so the picture can fall behind the music
// without the program ever being held up. The terminal's answer to a question sent after a
// frame tells when it has drawn that frame: while the oldest unanswered frame is older than
// a short lag beyond the link's own round trip, new frames are not sent; the newest is sent
// once the terminal has caught up.
//
// Only a terminal that has shown it answers is paced. One that stops answering for long is
// no longer paced (the writes' own blocking bounds the lag again, as for a terminal that
// never answered) until it answers again.
//
// Pure: times in, a decision out; the back end asks and reads the answers.
#pragma once

#include <cstdint>
#include <deque>

class FramePacer {
 public:
  // How far the terminal may fall behind, beyond the least round trip seen.
  static constexpr int64_t kLagMs = 200;
  // At most this many frames unanswered, however quickly they came: a second of frames.
  static constexpr int kMostUnanswered = 60;
  // No answer for this long: the terminal no longer answers (or never will).
  static constexpr int64_t kGiveUpMs = 10000;

  // The terminal answered a question: it can be paced from now on.
  void Start() { mOn = true; }
  bool On() const { return mOn; }

  // Whether a frame may be sent at `nowMs`.
  bool MaySend(int64_t nowMs);
  // A question went out after a frame, at `nowMs`.
  void Asked(int64_t nowMs);
  // The terminal answered the oldest question still open, at `nowMs`.
  void Answered(int64_t nowMs);

  int Unanswered() const { return static_cast<int>(mAsked.size()); }

 private:
  bool mOn = false;
  std::deque<int64_t> mAsked;  // when each unanswered question went out, oldest first
  int64_t mLeastRoundTripMs = -1;
};
