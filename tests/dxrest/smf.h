// Standard MIDI Files for the player's tests and fuzz seeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SmfEvent {
  uint32_t tick;
  std::vector<uint8_t> bytes;  // a channel message, or FF/F0 with its body
};

inline void SmfVar(std::string& s, uint32_t v) {
  uint8_t b[4];
  int n = 0;
  do {
    b[n++] = v & 0x7F;
    v >>= 7;
  } while (v);
  while (n--) s += static_cast<char>(b[n] | (n ? 0x80 : 0));
}

inline void SmfBe(std::string& s, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) s += static_cast<char>(v >> (8 * i));
}

// One file of the given tracks (events in tick order within each), division in
// ticks per quarter note; each track ends with an end-of-track meta event.
inline std::string SmfFile(const std::vector<std::vector<SmfEvent>>& tracks, int division = 480) {
  std::string s = "MThd";
  SmfBe(s, 6, 4);
  SmfBe(s, 1, 2);
  SmfBe(s, static_cast<uint32_t>(tracks.size()), 2);
  SmfBe(s, static_cast<uint32_t>(division), 2);
  for (const auto& t : tracks) {
    std::string body;
    uint32_t last = 0;
    for (const SmfEvent& e : t) {
      SmfVar(body, e.tick - last);
      last = e.tick;
      body.append(e.bytes.begin(), e.bytes.end());
    }
    SmfVar(body, 0);
    body += "\xFF\x2F";
    body += '\0';
    s += "MTrk";
    SmfBe(s, static_cast<uint32_t>(body.size()), 4);
    s += body;
  }
  return s;
}

inline SmfEvent NoteOn(uint32_t tick, int ch, int note, int vel = 100) {
  return {tick, {static_cast<uint8_t>(0x90 | ch), static_cast<uint8_t>(note), static_cast<uint8_t>(vel)}};
}
inline SmfEvent NoteOff(uint32_t tick, int ch, int note) {
  return {tick, {static_cast<uint8_t>(0x80 | ch), static_cast<uint8_t>(note), 0}};
}
inline SmfEvent Control(uint32_t tick, int ch, int number, int value) {
  return {tick, {static_cast<uint8_t>(0xB0 | ch), static_cast<uint8_t>(number), static_cast<uint8_t>(value)}};
}
inline SmfEvent Program(uint32_t tick, int ch, int program) {
  return {tick, {static_cast<uint8_t>(0xC0 | ch), static_cast<uint8_t>(program)}};
}
inline SmfEvent Tempo(uint32_t tick, uint32_t us) {
  return {tick, {0xFF, 0x51, 3, static_cast<uint8_t>(us >> 16), static_cast<uint8_t>(us >> 8), static_cast<uint8_t>(us)}};
}
inline SmfEvent Sysex(uint32_t tick, std::vector<uint8_t> body) {
  SmfEvent e{tick, {0xF0, static_cast<uint8_t>(body.size())}};
  e.bytes.insert(e.bytes.end(), body.begin(), body.end());
  return e;
}
