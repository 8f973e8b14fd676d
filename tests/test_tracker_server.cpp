// The tracker serving a show over real loopback connections: a show of the test's own that
// writes the protocol's bytes by hand, and the live show's own client. Every wait has a
// deadline and pumps the tracker (and the client) meanwhile; none sleeps for a fixed time.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "demo/sync_client.h"
#include "scripted_editor.h"
#include "tracker/tracker_server.h"

namespace {

using I = TrackInterpolation;
using Kind = TrackerServer::Event::Kind;

// Until `done` holds, pumping; at most `seconds`.
bool Until(const std::function<void()>& pump, const std::function<bool()>& done, double seconds = 10) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (done()) return true;
    pump();
    poll(nullptr, 0, 1);
  }
  return done();
}

// A show that speaks by hand.
class RawShow {
 public:
  explicit RawShow(uint16_t port, int receiveBuffer = 0) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0) setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // Loopback connects as soon as the listener's queue holds it, accepted or not.
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawShow() { Close(); }
  bool Connected() const { return connected_; }
  bool Send(const std::string& bytes) { return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size()); }
  // Exactly `count` bytes, or what came by the deadline.
  std::string Read(size_t count, const std::function<void()>& pump) {
    std::string got;
    Until(pump, [&] {
      char buffer[4096];
      const ssize_t n = recv(fd_, buffer, std::min(sizeof buffer, count - got.size()), MSG_DONTWAIT);
      if (n > 0) got.append(buffer, size_t(n));
      return got.size() >= count;
    });
    return got;
  }
  bool SeesClose(const std::function<void()>& pump) {
    return Until(pump, [&] {
      char buffer[4096];
      const ssize_t n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
      return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    });
  }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

struct Served {
  TrackerDocument doc;
  TrackerServer server{doc};
  std::vector<TrackerServer::Event> events;
  bool paused = true;
  uint32_t cursor = 7;

  explicit Served(SyncProject project = {}) : doc(std::move(project)) {
    TcpAddress address;
    std::string error;
    EXPECT_TRUE(LookUpTcpAddress("127.0.0.1", 0, address, error)) << error;
    EXPECT_TRUE(server.Listen(address, error)) << error;
    EXPECT_NE(server.Port(), 0);
  }
  std::function<void()> Pump() {
    return [this] {
      for (auto& event : server.Poll(paused, cursor)) events.push_back(std::move(event));
    };
  }
  // The event of `kind` last seen, after pumping for it.
  const TrackerServer::Event* Seen(Kind kind) {
    const auto find = [&]() -> const TrackerServer::Event* {
      for (auto event = events.rbegin(); event != events.rend(); ++event)
        if (event->kind == kind) return &*event;
      return nullptr;
    };
    Until(Pump(), [&] { return find() != nullptr; });
    return find();
  }
};

SyncProject OneTrack() {
  SyncProject project;
  SyncTrack a("cam:x");
  a.SetKeys({{0, 1.5f, I::kLinear}, {16, 3.5f, I::kStep}});
  project.tracks.push_back(a);
  return project;
}

}  // namespace

TEST(TrackerServer, AnswersTracksByHandThenPassesEditsRowsAndPlayOn) {
  Served served(OneTrack());
  RawShow show(served.server.Port());
  ASSERT_TRUE(show.Connected());
  ASSERT_TRUE(show.Send("hello, synctracker!" + GetTrack("cam:x") + GetTrack("new")));
  const std::string first = "hello, demo!" + SetKey(0, 0, 1.5f, 1) + SetKey(0, 16, 3.5f, 0) + Pause(true) + SetRow(7);
  EXPECT_EQ(show.Read(first.size(), served.Pump()), first);
  ASSERT_TRUE(served.server.Connected());
  EXPECT_EQ(served.doc.FindTrack("new"), 1u);
  ASSERT_NE(served.Seen(Kind::kConnected), nullptr);
  EXPECT_EQ(served.server.Status().rfind("show 127.0.0.1:", 0), 0u) << served.server.Status();

  // An edit goes out on the connection's numbers; a track the show never asked for does not.
  served.doc.AddTrack("unasked");
  served.server.SendChanges(served.doc.SetValue(2, 1, 9.0f));
  served.server.SendChanges(served.doc.SetValue(1, 3, 2.5f));
  served.server.SendChanges(served.doc.DeleteBlock({0, 0, 16, 16}));
  served.server.SendRow(40);
  served.server.SendPause(false);
  served.server.SendSaveTracks();
  const std::string then = SetKey(1, 3, 2.5f, 0) + DeleteKey(0, 16) + SetRow(40) + Pause(false) + kSaveTracks;
  EXPECT_EQ(show.Read(then.size(), served.Pump()), then);

  ASSERT_TRUE(show.Send(SetRow(12)));
  const TrackerServer::Event* row = served.Seen(Kind::kRow);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->row, 12u);
}

TEST(TrackerServer, OneShowAtATimeAndOneThatComesBackIsAnsweredAgain) {
  Served served(OneTrack());
  const std::string answer = "hello, demo!" + SetKey(0, 0, 1.5f, 1) + SetKey(0, 16, 3.5f, 0) + Pause(true) + SetRow(7);
  auto show = std::make_unique<RawShow>(served.server.Port());
  ASSERT_TRUE(show->Send("hello, synctracker!" + GetTrack("cam:x")));
  ASSERT_EQ(show->Read(answer.size(), served.Pump()), answer);

  RawShow second(served.server.Port());
  EXPECT_TRUE(second.SeesClose(served.Pump()));
  ASSERT_NE(served.Seen(Kind::kTurnedAway), nullptr);
  EXPECT_TRUE(served.server.Connected());

  show.reset();
  const TrackerServer::Event* gone = served.Seen(Kind::kDisconnected);
  ASSERT_NE(gone, nullptr);
  EXPECT_EQ(gone->text, "the show closed the connection");
  EXPECT_NE(served.server.Status().find("listening on 127.0.0.1:"), std::string::npos) << served.server.Status();

  served.cursor = 3;
  served.paused = false;
  RawShow back(served.server.Port());
  ASSERT_TRUE(back.Send("hello, synctracker!" + GetTrack("cam:x")));
  const std::string again = "hello, demo!" + SetKey(0, 0, 1.5f, 1) + SetKey(0, 16, 3.5f, 0) + Pause(false) + SetRow(3);
  EXPECT_EQ(back.Read(again.size(), served.Pump()), again);
  EXPECT_EQ(served.doc.TrackCount(), 1u);
}

TEST(TrackerServer, BadShowsAreDroppedSayingWhyAndTheServerKeepsListening) {
  Served served(OneTrack());
  const std::string hello = "hello, synctracker!";
  struct Bad {
    std::string bytes;
    std::string why;
  };
  const Bad bad[] = {
      {"hello, synctrackers", "greeting"},
      {hello + "\x09", "unknown command byte 9"},
      {hello + '\x02' + U32(0xFFFFFFFF), "name length 4294967295"},
      {hello + SetKey(0, 0, 1.0f, 0), "SET_KEY: a command from the wrong side"},
      {hello + kSaveTracks, "SAVE_TRACKS: a command from the wrong side"},
      {hello + GetTrack("\xFF"), "not UTF-8"},
  };
  for (const Bad& peer : bad) {
    SCOPED_TRACE(peer.why);
    served.events.clear();
    RawShow show(served.server.Port());
    ASSERT_TRUE(show.Send(peer.bytes));
    EXPECT_TRUE(show.SeesClose(served.Pump()));
    const TrackerServer::Event* gone = served.Seen(Kind::kDisconnected);
    ASSERT_NE(gone, nullptr);
    EXPECT_NE(gone->text.find(peer.why), std::string::npos) << gone->text;
  }
  // One that stops in the middle of a message.
  {
    served.events.clear();
    RawShow show(served.server.Port());
    ASSERT_TRUE(show.Send(hello + '\x02' + U32(5) + "ca"));
    // Read, so that the close is an end (a FIN), not a reset for unread bytes.
    ASSERT_EQ(show.Read(12, served.Pump()), "hello, demo!");
    show.Close();
    const TrackerServer::Event* gone = served.Seen(Kind::kDisconnected);
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(gone->text, "the show closed the connection in the middle of a message");
  }
  EXPECT_EQ(served.doc.TrackCount(), 1u);

  RawShow good(served.server.Port());
  ASSERT_TRUE(good.Send(hello + GetTrack("cam:x")));
  EXPECT_EQ(good.Read(12, served.Pump()), "hello, demo!");
  EXPECT_TRUE(served.server.Connected());
}

TEST(TrackerServer, AShowThatReadsNothingIsDroppedOnceMegabytesWait) {
  Served served(OneTrack());
  RawShow show(served.server.Port(), 4096);
  ASSERT_TRUE(show.Send("hello, synctracker!" + GetTrack("cam:x")));
  ASSERT_TRUE(Until(served.Pump(), [&] { return served.server.Connected(); }));
  // Every key of a large block set and deleted again, over and over, and never read.
  KeyChanges many;
  for (int32_t row = 0; row < 100000; ++row) many.push_back({0, row, TrackKey{row, 1.0f, I::kStep}});
  for (int i = 0; i < 100 && served.server.Connected(); ++i) {
    served.server.SendChanges(many);
    served.Pump()();
  }
  EXPECT_FALSE(served.server.Connected());
  const TrackerServer::Event* gone = served.Seen(Kind::kDisconnected);
  ASSERT_NE(gone, nullptr);
  EXPECT_EQ(gone->text, "the show reads nothing of what the tracker sends");
}

// The live show's own client against the tracker: the first burst of a large project, the
// edits that follow it (one made while the burst is still on its way), rows and play both ways,
// and a connection made again after the tracker let the show go.
TEST(TrackerServer, TheShowsOwnClientGetsTheDocumentsKeysAndFollowsItsEdits) {
  SyncProject project = OneTrack();
  SyncTrack big("big");
  std::vector<TrackKey> keys;
  for (int32_t row = 0; row < 150000; ++row) keys.push_back({row, static_cast<float>(row) / 8, I::kLinear});
  big.SetKeys(keys);
  project.tracks.push_back(big);
  Served served(project);

  TcpAddress address;
  std::string error;
  ASSERT_TRUE(LookUpTcpAddress("127.0.0.1", served.server.Port(), address, error)) << error;
  int64_t now = 0;
  SyncClient client(address, [&] { return now; });
  std::vector<SyncTrack> tracks{SyncTrack("cam:x"), SyncTrack("big"), SyncTrack("fresh")};
  SyncClient::Asked asked;
  const auto clientOnly = [&] {
    const SyncClient::Asked got = client.Poll(tracks);
    if (got.pause) asked.pause = got.pause;
    if (got.row) asked.row = got.row;
  };
  const auto both = [&] {
    served.Pump()();
    clientOnly();
  };

  // The tracker answers while the client has not read all yet: an edit at the end of the big
  // track then comes with the rest of its keys.
  ASSERT_TRUE(Until(both, [&] { return client.Connected() && tracks[1].Keys().size() > 0; }));
  served.server.SendChanges(served.doc.SetValue(1, 149999, -4.0f));
  ASSERT_TRUE(Until(both, [&] { return asked.row.has_value(); }));
  EXPECT_EQ(tracks[0].Keys(), served.doc.Track(0).Keys());
  EXPECT_EQ(tracks[1].Keys(), served.doc.Track(1).Keys());
  EXPECT_EQ(tracks[1].Keys().back().value, -4.0f);
  EXPECT_EQ(served.doc.FindTrack("fresh"), 2u);
  EXPECT_EQ(asked.pause, true);
  EXPECT_EQ(asked.row, 7u);

  served.server.SendChanges(served.doc.SetValue(0, 8, 2.0f));
  ASSERT_TRUE(Until(both, [&] { return tracks[0].KeyAt(8) != nullptr; }));
  served.server.SendChanges(served.doc.Undo());
  ASSERT_TRUE(Until(both, [&] { return tracks[0].KeyAt(8) == nullptr; }));
  EXPECT_EQ(tracks[0].Keys(), served.doc.Track(0).Keys());

  served.server.SendRow(33);
  served.server.SendPause(false);
  ASSERT_TRUE(Until(both, [&] { return asked.row == 33u && asked.pause == false; }));
  client.Playing(34);
  const TrackerServer::Event* row = served.Seen(Kind::kRow);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->row, 34u);

  served.server.Disconnect("the project was loaded again");
  EXPECT_FALSE(served.server.Connected());
  ASSERT_TRUE(Until(both, [&] { return !client.Connected(); }));
  served.doc.SetValue(0, 20, 5.0f);
  now += SyncClient::kRetryEveryMs;
  ASSERT_TRUE(Until(both, [&] { return tracks[0].KeyAt(20) != nullptr; }));
  EXPECT_EQ(tracks[0].Keys(), served.doc.Track(0).Keys());
}
