#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/dsound/dsound.h"
#include "platform/host/headless_host.h"

namespace {

constexpr DWORD kFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY | DSBCAPS_GLOBALFOCUS;

WAVEFORMATEX Pcm(DWORD rate, WORD bits, WORD channels) {
  WORD align = static_cast<WORD>(channels * bits / 8);
  return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

class Mixer : public ::testing::Test {
 protected:
  void SetUp() override {
    host::set(&h_);
    ASSERT_EQ(DirectSoundCreate(nullptr, &ds_, nullptr), DS_OK);
    ASSERT_EQ(ds_->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
  }
  void TearDown() override {
    for (auto* b : buffers_) b->Release();
    ds_->Release();
    EXPECT_FALSE(h_.audio_open());
    host::set(nullptr);
  }
  // A buffer holding `samples` (interleaved 16-bit).
  IDirectSoundBuffer* Make(const std::vector<int16_t>& samples, WORD channels = 1, DWORD rate = 44100,
                           DWORD flags = kFlags) {
    WAVEFORMATEX f = Pcm(rate, 16, channels);
    DSBUFFERDESC d{sizeof(DSBUFFERDESC), flags, static_cast<DWORD>(samples.size() * 2), 0, &f};
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
    void *p1, *p2;
    DWORD n1, n2;
    EXPECT_EQ(b->Lock(0, d.dwBufferBytes, &p1, &n1, &p2, &n2, 0), DS_OK);
    std::memcpy(p1, samples.data(), n1);
    EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
    buffers_.push_back(b);
    return b;
  }
  host::HeadlessHost h_;
  IDirectSound* ds_ = nullptr;
  std::vector<IDirectSoundBuffer*> buffers_;
};

TEST_F(Mixer, OneShotPlaysItsSamplesThenStopsAndRewinds) {
  auto* b = Make({100, -200, 300, -400});
  EXPECT_EQ(h_.pull_audio(2), (std::vector<int16_t>{0, 0, 0, 0}));  // not playing yet
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  DWORD status = 0;
  b->GetStatus(&status);
  EXPECT_EQ(status, DSBSTATUS_PLAYING);
  // Mono goes to both sides.
  EXPECT_EQ(h_.pull_audio(3), (std::vector<int16_t>{100, 100, -200, -200, 300, 300}));
  DWORD play = 9, write = 9;
  b->GetCurrentPosition(&play, &write);
  EXPECT_EQ(play, 6u);
  EXPECT_EQ(h_.pull_audio(3), (std::vector<int16_t>{-400, -400, 0, 0, 0, 0}));
  b->GetStatus(&status);
  EXPECT_EQ(status, 0u);
  b->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 0u);
}

TEST_F(Mixer, LoopingWrapsAndStopKeepsThePosition) {
  auto* b = Make({1, 2, -3, 4, 5, -6}, 2);  // three stereo frames
  b->Play(0, 0, DSBPLAY_LOOPING);
  DWORD status = 0;
  b->GetStatus(&status);
  EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
  EXPECT_EQ(h_.pull_audio(4), (std::vector<int16_t>{1, 2, -3, 4, 5, -6, 1, 2}));
  b->Stop();
  EXPECT_EQ(h_.pull_audio(1), (std::vector<int16_t>{0, 0}));
  b->Play(0, 0, DSBPLAY_LOOPING);
  EXPECT_EQ(h_.pull_audio(1), (std::vector<int16_t>{-3, 4}));
}

TEST_F(Mixer, BuffersSumAndClip) {
  auto* a = Make({30000, -30000, 10});
  auto* b = Make({30000, -30000, -25});
  a->Play(0, 0, 0);
  b->Play(0, 0, 0);
  EXPECT_EQ(h_.pull_audio(3), (std::vector<int16_t>{32767, 32767, -32768, -32768, -15, -15}));
}

TEST_F(Mixer, VolumeAndPanAreHundredthsOfADecibel) {
  auto* b = Make({10000, 10000});
  ASSERT_EQ(b->SetVolume(-600), DS_OK);
  ASSERT_EQ(b->SetPan(2000), DS_OK);  // right: the left side drops by 20 dB
  LONG v = 0, p = 0;
  b->GetVolume(&v);
  b->GetPan(&p);
  EXPECT_EQ(v, -600);
  EXPECT_EQ(p, 2000);
  b->Play(0, 0, 0);
  auto out = h_.pull_audio(1);
  double g = std::pow(10.0, -6.0 / 20.0);
  EXPECT_EQ(out[0], std::lrint(10000 * g * 0.1));
  EXPECT_EQ(out[1], std::lrint(10000 * g));
  // The primary buffer's volume scales the device's whole output.
  IDirectSoundBuffer* primary = nullptr;
  DSBUFFERDESC pd{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME, 0, 0, nullptr};
  ASSERT_EQ(ds_->CreateSoundBuffer(&pd, &primary, nullptr), DS_OK);
  primary->SetVolume(-2000);
  b->SetPan(-10000);  // hard left: the right side is silent
  out = h_.pull_audio(1);
  EXPECT_EQ(out[0], std::lrint(10000 * g * 0.1));
  EXPECT_EQ(out[1], 0);
  primary->Release();
  // Out of range and missing controls are refused.
  EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetPan(-10001), DSERR_INVALIDPARAM);
  auto* plain = Make({0, 0}, 1, 44100, 0);
  EXPECT_EQ(plain->SetVolume(-100), DSERR_CONTROLUNAVAIL);
}

// The mixer asks the host whose device pulls it for the focus, never the
// current one: at exit the current host is let go while the device may still run.
TEST_F(Mixer, FocusComesFromTheHostThatPlays) {
  auto* b = Make({1000, 1000}, 1, 44100, DSBCAPS_CTRLVOLUME);  // muted without the focus
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  host::Event lost, e;
  lost.type = host::EventType::FocusLost;
  host::HeadlessHost other;
  other.push(0, lost);
  other.poll_event(e);
  host::set(&other);
  std::vector<int16_t> out = h_.pull_audio(1);
  host::set(&h_);
  EXPECT_EQ(out, (std::vector<int16_t>{1000, 1000}));
  h_.push(0, lost);
  h_.poll_event(e);
  EXPECT_EQ(h_.pull_audio(1), (std::vector<int16_t>{0, 0}));
}

TEST_F(Mixer, FrequencyResamplesLinearly) {
  auto* b = Make({0, 1000, 2000, 3000}, 1, 22050);
  DWORD hz = 0;
  b->GetFrequency(&hz);
  EXPECT_EQ(hz, 22050u);
  b->Play(0, 0, 0);
  auto out = h_.pull_audio(8);
  // Each source frame lasts two output frames; the midpoints are interpolated,
  // and the last one holds its value.
  std::vector<int16_t> left;
  for (size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
  EXPECT_EQ(left, (std::vector<int16_t>{0, 500, 1000, 1500, 2000, 2500, 3000, 3000}));
  EXPECT_EQ(b->SetFrequency(99), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetFrequency(88200), DS_OK);
  EXPECT_EQ(b->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
  b->GetFrequency(&hz);
  EXPECT_EQ(hz, 22050u);
}

TEST_F(Mixer, LockWrapsAroundTheEnd) {
  auto* b = Make({0, 0, 0, 0});  // 8 bytes
  void *p1, *p2;
  DWORD n1, n2;
  ASSERT_EQ(b->Lock(6, 4, &p1, &n1, &p2, &n2, 0), DS_OK);
  EXPECT_EQ(n1, 2u);
  EXPECT_EQ(n2, 2u);
  int16_t a = 7, c = 9;
  std::memcpy(p1, &a, 2);
  std::memcpy(p2, &c, 2);
  // A second lock before the unlock is refused.
  void* q;
  DWORD m;
  EXPECT_EQ(b->Lock(0, 2, &q, &m, nullptr, nullptr, 0), DSERR_INVALIDCALL);
  ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
  b->Play(0, 0, 0);
  auto out = h_.pull_audio(4);
  EXPECT_EQ(out[0], 9);
  EXPECT_EQ(out[6], 7);
  EXPECT_EQ(b->Lock(8, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Lock(0, 9, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  ASSERT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
  EXPECT_EQ(n1, 8u);
  EXPECT_EQ(p2, nullptr);
  EXPECT_EQ(b->Unlock(p1, 0, nullptr, 0), DS_OK);  // nothing written back
}

TEST_F(Mixer, EightBitSilenceAndDuplicates) {
  WAVEFORMATEX f = Pcm(44100, 8, 1);
  DSBUFFERDESC d{sizeof(DSBUFFERDESC), kFlags, 4, 0, &f};
  IDirectSoundBuffer* b = nullptr;
  ASSERT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
  buffers_.push_back(b);
  void *p1, *p2;
  DWORD n1, n2;
  ASSERT_EQ(b->Lock(0, 4, &p1, &n1, &p2, &n2, 0), DS_OK);
  EXPECT_EQ(static_cast<uint8_t*>(p1)[3], 0x80);  // a new 8-bit buffer is silent
  static_cast<uint8_t*>(p1)[0] = 0xA0;
  b->Unlock(p1, n1, p2, n2);
  IDirectSoundBuffer* dup = nullptr;
  ASSERT_EQ(ds_->DuplicateSoundBuffer(b, &dup), DS_OK);
  buffers_.push_back(dup);
  b->Play(0, 0, 0);
  dup->Play(0, 0, 0);
  auto out = h_.pull_audio(2);
  EXPECT_EQ(out[0], 2 * 0x20 * 256);  // both share the data
  EXPECT_EQ(out[2], 0);
}

TEST(DirectSound, BadSetUpIsRefused) {
  host::HeadlessHost h;
  host::set(&h);
  IDirectSound* ds = DirectSoundNew();
  DSBUFFERDESC pd{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr};
  IDirectSoundBuffer* b = nullptr;
  EXPECT_EQ(ds->CreateSoundBuffer(&pd, &b, nullptr), DSERR_UNINITIALIZED);
  GUID other{1, 2, 3, {}};
  EXPECT_EQ(ds->Initialize(&other), DSERR_NODRIVER);
  ASSERT_EQ(ds->Initialize(nullptr), DS_OK);
  EXPECT_TRUE(h.audio_open());
  EXPECT_EQ(ds->Initialize(nullptr), DSERR_ALREADYINITIALIZED);
  EXPECT_EQ(ds->CreateSoundBuffer(&pd, &b, nullptr), DSERR_PRIOLEVELNEEDED);
  ds->SetCooperativeLevel(nullptr, DSSCL_NORMAL);
  ASSERT_EQ(ds->CreateSoundBuffer(&pd, &b, nullptr), DS_OK);
  WAVEFORMATEX f = Pcm(44100, 16, 2);
  EXPECT_EQ(b->SetFormat(&f), DSERR_PRIOLEVELNEEDED);
  ds->SetCooperativeLevel(nullptr, DSSCL_PRIORITY);
  EXPECT_EQ(b->SetFormat(&f), DS_OK);
  f.nBlockAlign = 3;
  EXPECT_EQ(b->SetFormat(&f), DSERR_BADFORMAT);
  DSBUFFERDESC sd{sizeof(DSBUFFERDESC), 0, 2, 0, &f};
  IDirectSoundBuffer* s = nullptr;
  EXPECT_EQ(ds->CreateSoundBuffer(&sd, &s, nullptr), DSERR_BADFORMAT);
  f = Pcm(44100, 16, 2);
  EXPECT_EQ(ds->CreateSoundBuffer(&sd, &s, nullptr), DSERR_INVALIDPARAM);  // below the smallest size
  sd.dwBufferBytes = 8;
  ASSERT_EQ(ds->CreateSoundBuffer(&sd, &s, nullptr), DS_OK);
  EXPECT_EQ(platform::dsound_buffer_count(), 1);
  // Releasing the device silences its buffers; they still release.
  EXPECT_EQ(ds->Release(), 0u);
  EXPECT_FALSE(h.audio_open());
  EXPECT_EQ(s->Play(0, 0, 0), DSERR_UNINITIALIZED);
  s->Release();
  b->Release();
  EXPECT_EQ(platform::dsound_buffer_count(), 0);
  EXPECT_EQ(platform::dsound_device_count(), 0);
  host::set(nullptr);
}

}  // namespace
