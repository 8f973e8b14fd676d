// Which SDL2_mixer the show can play with.
#pragma once

struct MixerVersion {
  int major;
  int minor;
  int patch;
};

// The oldest SDL2_mixer that opens an MP3 from memory with an explicit type through libmpg123.
inline constexpr MixerVersion kMinimumMixerVersion = {2, 0, 2};

constexpr bool MixerVersionAtLeast(const MixerVersion& linked, const MixerVersion& minimum) {
  if (linked.major != minimum.major) return linked.major > minimum.major;
  if (linked.minor != minimum.minor) return linked.minor > minimum.minor;
  return linked.patch >= minimum.patch;
}
