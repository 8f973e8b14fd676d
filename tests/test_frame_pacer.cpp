// Pacing frames by the terminal's answers: a terminal that falls behind gets no new frame
// until it catches up, one that never answers (or stops answering) is not held at all.
#include <gtest/gtest.h>

#include <deque>

#include "frame_pacer.h"

namespace {

// Sends a frame (and its question) whenever the pacer lets it, every `stepMs` from `fromMs`
// to `toMs`; how many went out.
int SendWhileAllowed(FramePacer& pacer, int64_t fromMs, int64_t toMs, int64_t stepMs) {
  int sent = 0;
  for (int64_t t = fromMs; t < toMs; t += stepMs) {
    if (!pacer.MaySend(t)) continue;
    pacer.Asked(t);
    ++sent;
  }
  return sent;
}

TEST(FramePacer, ATerminalThatNeverAnsweredIsNeverHeld) {
  FramePacer pacer;
  EXPECT_EQ(SendWhileAllowed(pacer, 0, 30000, 16), (30000 + 15) / 16);
  EXPECT_EQ(pacer.Unanswered(), 0) << "questions are counted only once pacing is on";
}

TEST(FramePacer, HoldsOnceTheOldestUnansweredFrameIsTooOldAndGoesOnWhenAnswered) {
  FramePacer pacer;
  pacer.Start();
  pacer.Asked(0);
  pacer.Answered(0);  // a quick terminal at first: no round trip to allow for
  // Then one that draws nothing for a second: frames go out for the allowed lag, then none.
  const int sent = SendWhileAllowed(pacer, 0, 1000, 10);
  EXPECT_GE(sent, FramePacer::kLagMs / 10);
  EXPECT_LE(sent, FramePacer::kLagMs / 10 + 1);
  EXPECT_FALSE(pacer.MaySend(1000));
  // It draws the first frame: the next one goes out at once, and is the only one until the
  // terminal draws more.
  pacer.Answered(1000);
  EXPECT_FALSE(pacer.MaySend(1000)) << "the second frame is as old as the first was";
  for (int k = 0; k < sent - 1; ++k) pacer.Answered(1000);
  EXPECT_TRUE(pacer.MaySend(1000)) << "all answered";
}

TEST(FramePacer, ALinkWithALongRoundTripStillGetsEveryFrame) {
  // Every answer comes 400 ms after its question: far more than the lag allowed, but it is
  // the link's round trip, not a terminal falling behind.
  FramePacer pacer;
  pacer.Start();
  std::deque<int64_t> asked;
  int sent = 0;
  for (int64_t t = 0; t < 5000; t += 10) {
    while (!asked.empty() && asked.front() + 400 <= t) {
      pacer.Answered(t);
      asked.pop_front();
    }
    if (!pacer.MaySend(t)) continue;
    pacer.Asked(t);
    asked.push_back(t);
    ++sent;
  }
  // Held only until the first answer told the round trip.
  EXPECT_GE(sent, 500 - 400 / 10);
}

TEST(FramePacer, NeverMoreThanItsMostUnansweredFramesHoweverQuick) {
  FramePacer pacer;
  pacer.Start();
  EXPECT_EQ(SendWhileAllowed(pacer, 0, 1000, 1), FramePacer::kMostUnanswered)
      << "a frame every millisecond, none answered";
}

TEST(FramePacer, GivesUpOnATerminalThatStopsAnsweringAndStartsAgainWhenItAnswers) {
  FramePacer pacer;
  pacer.Start();
  pacer.Asked(0);
  EXPECT_FALSE(pacer.MaySend(FramePacer::kGiveUpMs - 1));
  EXPECT_TRUE(pacer.MaySend(FramePacer::kGiveUpMs));
  EXPECT_FALSE(pacer.On());
  EXPECT_EQ(SendWhileAllowed(pacer, FramePacer::kGiveUpMs, 2 * FramePacer::kGiveUpMs, 10), FramePacer::kGiveUpMs / 10);
  // The late answer to the old question matches nothing, and pacing starts again.
  pacer.Answered(2 * FramePacer::kGiveUpMs);
  pacer.Start();
  EXPECT_EQ(pacer.Unanswered(), 0);
  pacer.Asked(2 * FramePacer::kGiveUpMs);
  EXPECT_FALSE(pacer.MaySend(2 * FramePacer::kGiveUpMs + FramePacer::kLagMs + 1));
}

}  // namespace
