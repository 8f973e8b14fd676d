// The frames as an H.264 video with the show's music as AAC, in MP4, made by the ffmpeg
// program: the frames go to it as raw 4:2:0 video through a pipe, written by a thread of
// their own so the show renders ahead while ffmpeg encodes.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "child_process.h"
#include "frame_queue.h"
#include "frame_writer.h"
#include "indexed_picture.h"
#include "output_file.h"

struct VideoSettings {
  std::string music;    // the MP3 whose part from firstTime goes with the pictures
  int32_t firstTime;    // show time of the first frame, ms
  size_t frames;        // frames planned (the show may end sooner)
  int fps;
  int scale;
};

// The ffmpeg program on PATH, if it has the H.264 (libx264) and AAC encoders; otherwise
// a message that says what is missing.
std::optional<std::string> FindVideoEncoder(std::string* ffmpeg);

class VideoWriter : public FrameWriter {
 public:
  VideoWriter(const std::string& path, const std::string& ffmpeg, const VideoSettings& settings);
  ~VideoWriter() override;
  bool Write(int32_t time, const Cell* cells) override;
  bool Finish() override;

 private:
  void FeedEncoder();  // the writer thread
  // Ends the feeding and waits for ffmpeg; false, with `error` set, if anything failed.
  bool Complete();

  VideoSettings settings_;
  OutputFile output_;
  ChildProcess ffmpeg_;
  FrameQueue<IndexedPicture> queue_{8};
  std::thread feeder_;
  std::atomic<bool> feedFailed_{false};
  std::string feedError_;  // why the pipe took no more, written by the feeder before feedFailed_
  bool completed_ = false;
};
