// mp3gen FOLDER: writes the MP3 files that the sound tests stream. Each holds
// three seconds of the demo game's tunes (battle on the left, cave on the
// right) with half a second of silence in the middle, so that a variable
// bitrate drops and climbs again. LAME encodes them at a constant, variable and
// average bitrate and at each MPEG-1 sample rate, with the LAME tag frame
// first; one is wrapped in ID3v2 and ID3v1 tags as tagging programs leave them.
#include <lame/lame.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/datagen/sounds.h"

namespace {

enum class Rate { Cbr, Vbr, Abr };

struct Spec {
  const char* name;
  Rate mode;
  int kbps;     // CBR and ABR
  int quality;  // VBR: 0 best .. 9
  int hz;
  bool mono;
  bool tagged;
};

const Spec kFiles[] = {
    {"cbr128_44100.mp3", Rate::Cbr, 128, 0, 44100, false, false},
    {"vbr_44100.mp3", Rate::Vbr, 0, 2, 44100, false, false},
    {"abr112_48000.mp3", Rate::Abr, 112, 0, 48000, false, false},
    {"vbr_32000_mono.mp3", Rate::Vbr, 0, 5, 32000, true, false},
    {"cbr64_32000.mp3", Rate::Cbr, 64, 0, 32000, false, false},
    {"tagged_vbr_48000.mp3", Rate::Vbr, 0, 4, 48000, false, true},
};

// 1.2 s of tune, 0.5 s of silence, 1.3 s of tune, at the generator's rate.
std::vector<int16_t> Piece(const std::string& tune) {
  const int r = datagen::kSampleRate;
  std::vector<int16_t> t = datagen::RenderTune(tune);
  std::vector<int16_t> out(t.begin(), t.begin() + r * 12 / 10);
  out.resize(out.size() + r / 2, 0);
  out.insert(out.end(), t.begin() + r * 2, t.begin() + r * 2 + r * 13 / 10);
  return out;
}

std::vector<unsigned char> Encode(const Spec& s, std::vector<int16_t> left, std::vector<int16_t> right) {
  lame_global_flags* g = lame_init();
  if (!g) return {};
  lame_set_in_samplerate(g, datagen::kSampleRate);
  lame_set_out_samplerate(g, s.hz);
  lame_set_num_channels(g, 2);
  lame_set_mode(g, s.mono ? MONO : JOINT_STEREO);
  lame_set_bWriteVbrTag(g, 1);
  lame_set_quality(g, 5);
  switch (s.mode) {
    case Rate::Cbr: lame_set_VBR(g, vbr_off), lame_set_brate(g, s.kbps); break;
    case Rate::Vbr: lame_set_VBR(g, vbr_default), lame_set_VBR_quality(g, static_cast<float>(s.quality)); break;
    case Rate::Abr: lame_set_VBR(g, vbr_abr), lame_set_VBR_mean_bitrate_kbps(g, s.kbps); break;
  }
  std::vector<unsigned char> out;
  if (lame_init_params(g) < 0) {
    lame_close(g);
    return out;
  }
  const int n = static_cast<int>(left.size());
  out.resize(static_cast<size_t>(n) * 5 / 4 + 7200 + 7200);
  int used = lame_encode_buffer(g, left.data(), right.data(), n, out.data(), static_cast<int>(out.size()));
  int tail = used < 0 ? -1 : lame_encode_flush(g, out.data() + used, static_cast<int>(out.size()) - used);
  if (used < 0 || tail < 0) {
    lame_close(g);
    return {};
  }
  out.resize(static_cast<size_t>(used + tail));
  // The tag frame is written as a placeholder first and filled in at the end.
  unsigned char tag[2880];
  size_t tag_bytes = lame_get_lametag_frame(g, tag, sizeof tag);
  if (tag_bytes > 0 && tag_bytes <= out.size()) std::memcpy(out.data(), tag, tag_bytes);
  lame_close(g);
  return out;
}

std::vector<unsigned char> Tagged(std::vector<unsigned char> mp3) {
  // ID3v2.3 with one title frame and padding; its size is synchsafe.
  std::string frame = std::string("TIT2") + std::string("\0\0\0\x0A\0\0\0", 7) + "mp3gen!!!";
  std::string body = frame + std::string(600, '\0');
  size_t n = body.size();
  std::string head = std::string("ID3\x03\0\0", 6);
  for (int shift : {21, 14, 7, 0}) head += static_cast<char>((n >> shift) & 0x7F);
  std::string v1 = "TAG" + std::string(30, ' ') + std::string(30, ' ') + std::string(30, ' ') + "2026" +
                   std::string(30, ' ') + std::string(1, '\xFF');
  std::vector<unsigned char> out(head.begin(), head.end());
  out.insert(out.end(), body.begin(), body.end());
  out.insert(out.end(), mp3.begin(), mp3.end());
  out.insert(out.end(), v1.begin(), v1.end());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: mp3gen FOLDER\n");
    return 2;
  }
  std::filesystem::create_directories(argv[1]);
  std::vector<int16_t> left = Piece("battle"), right = Piece("cave");
  for (const Spec& s : kFiles) {
    std::vector<unsigned char> mp3 = Encode(s, left, right);
    if (mp3.empty()) {
      std::fprintf(stderr, "mp3gen: cannot encode %s\n", s.name);
      return 1;
    }
    if (s.tagged) mp3 = Tagged(std::move(mp3));
    std::filesystem::path path = std::filesystem::path(argv[1]) / s.name;
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(mp3.data()), static_cast<std::streamsize>(mp3.size()));
    if (!f) {
      std::fprintf(stderr, "mp3gen: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
