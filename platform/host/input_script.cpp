#include "platform/host/input_script.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/host/headless_host.h"

namespace host {

namespace {

struct KeyName {
  const char* name;
  int code;
};
constexpr KeyName kKeyNames[] = {
    {"Return", key::Return},   {"Escape", key::Escape},     {"Backspace", key::Backspace},
    {"Tab", key::Tab},         {"Space", key::Space},       {"Insert", key::Insert},
    {"Home", key::Home},       {"PageUp", key::PageUp},     {"Delete", key::Delete},
    {"End", key::End},         {"PageDown", key::PageDown}, {"Right", key::Right},
    {"Left", key::Left},       {"Down", key::Down},         {"Up", key::Up},
    {"KpEnter", key::KpEnter}, {"LCtrl", key::LCtrl},       {"LShift", key::LShift},
    {"LAlt", key::LAlt},       {"RCtrl", key::RCtrl},       {"RShift", key::RShift},
    {"RAlt", key::RAlt},
};
constexpr int kMaxScancode = 511;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number of at most `max`; false for anything else.
bool ReadNumber(std::string_view s, uint64_t max, uint64_t& out) {
  if (s.empty()) return false;
  uint64_t v = 0;
  for (char c : s) {
    if (!IsDigit(c)) return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
    if (v > max) return false;
  }
  out = v;
  return true;
}

int KeyCode(std::string_view name) {
  if (name.size() == 1 && name[0] >= 'A' && name[0] <= 'Z') return key::A + (name[0] - 'A');
  if (name.size() == 1 && name[0] >= '1' && name[0] <= '9') return key::N1 + (name[0] - '1');
  if (name == "0") return key::N0;
  if (name.size() >= 2 && name[0] == 'F' && name.size() <= 3) {
    uint64_t n = 0;
    if (ReadNumber(name.substr(1), 12, n) && n >= 1) return key::F1 + static_cast<int>(n) - 1;
  }
  for (const KeyName& k : kKeyNames)
    if (name == k.name) return k.code;
  uint64_t code = 0;
  if (ReadNumber(name, kMaxScancode, code) && code >= 1) return static_cast<int>(code);
  return 0;
}

bool ValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<uint8_t>(s[i]);
    size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    uint32_t cp = n == 1 ? b : b & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
      const auto c = static_cast<uint8_t>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    // No overlong forms, surrogates or code points past Unicode.
    static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[n] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return false;
    i += n;
  }
  return true;
}

// The next word of `rest` (split at blanks), removed from it.
std::string_view Word(std::string_view& rest) {
  size_t start = rest.find_first_not_of(" \t");
  if (start == std::string_view::npos) {
    rest = {};
    return {};
  }
  size_t end = rest.find_first_of(" \t", start);
  std::string_view w = rest.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
  rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
  return w;
}

}  // namespace

bool ParseInputScript(std::string_view text, std::vector<ScriptedEvent>& out, std::string& error) {
  std::vector<ScriptedEvent> events;
  uint64_t previous = 0;
  size_t line_no = 0;
  auto fail = [&](const std::string& what) {
    error = "line " + std::to_string(line_no) + ": " + what;
    return false;
  };
  while (!text.empty()) {
    ++line_no;
    size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string_view rest = line;
    std::string_view frame_word = Word(rest);
    if (frame_word.empty() || frame_word[0] == '#') continue;

    uint64_t frame = 0;
    const bool relative = frame_word[0] == '+';
    if (!ReadNumber(relative ? frame_word.substr(1) : frame_word, kMaxScriptFrame, frame))
      return fail("a frame number was expected");
    if (relative) {
      frame += previous;
      if (frame > kMaxScriptFrame) return fail("the frame is too far");
    }
    previous = frame;

    std::string_view action = Word(rest);
    Event e;
    if (action == "press" || action == "down" || action == "up") {
      std::string_view name = Word(rest);
      int code = KeyCode(name);
      if (!code) return fail("unknown key \"" + std::string(name) + "\"");
      if (!Word(rest).empty()) return fail("one key a line");
      e.type = action == "up" ? EventType::KeyUp : EventType::KeyDown;
      e.scancode = code;
      events.push_back({frame, e});
      if (action == "press") {
        e.type = EventType::KeyUp;
        events.push_back({frame + 1, e});
      }
    } else if (action == "text") {
      size_t start = rest.find_first_not_of(" \t");
      std::string_view typed = start == std::string_view::npos ? std::string_view{} : rest.substr(start);
      if (typed.empty()) return fail("text needs characters");
      if (!ValidUtf8(typed)) return fail("text is not UTF-8");
      e.type = EventType::Text;
      e.text = std::string(typed);
      events.push_back({frame, e});
    } else if (action == "close") {
      if (!Word(rest).empty()) return fail("close takes nothing");
      e.type = EventType::Close;
      events.push_back({frame, e});
    } else {
      return fail("unknown action \"" + std::string(action) + "\"");
    }
  }
  out.insert(out.end(), std::make_move_iterator(events.begin()), std::make_move_iterator(events.end()));
  return true;
}

bool LoadInputScript(HeadlessHost& host, const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<ScriptedEvent> events;
  if (!ParseInputScript(text, events, error)) {
    error = path + ": " + error;
    return false;
  }
  for (ScriptedEvent& s : events) host.push(s.frame, std::move(s.event));
  return true;
}

}  // namespace host
