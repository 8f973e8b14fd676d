// quorvel4-tracker's command line, its export, and the editor itself: the terminal (ncursesw),
// the document, the protocol server, the recovery file, and the loop that joins them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "demo/sync_client.h"
#include "quorvel4/options.h"

struct TrackerOptions {
  std::string listen = "127.0.0.1:1338";
  long long rowsPerBeat = 0;  // 0: the project's, else 4
  std::string exportDir;
  std::string base = "sync";
  std::string project;  // empty: a new, untitled project
};

OptionTable TrackerTable(TrackerOptions& options);

// "HOST:PORT", "[HOST]:PORT" (IPv6) or "PORT" (on 127.0.0.1); port 0 lets the system choose.
std::optional<SyncAddress> ParseListenAddress(const std::string& text);
// Whether only this machine can reach the address.
bool IsLoopback(const std::string& host);

// --export: the project's track files into the folder; the exit status.
int ExportTracks(const TrackerOptions& options, const OptionTable& table);

// The editor in this terminal until it quits; the exit status.
int RunTracker(const TrackerOptions& options, const OptionTable& table);
