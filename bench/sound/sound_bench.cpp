// The mixer and the decoders: the work the audio thread and the stream refill do.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/acm/acm.h"
#include "platform/dsound/dsound.h"
#include "platform/host/headless_host.h"

namespace {

// 16 looping buffers at assorted rates, volumes and pans, mixed 1,024 frames at a time.
void BM_Mix(benchmark::State& state) {
  host::HeadlessHost h;
  host::set(&h);
  IDirectSound* ds = nullptr;
  DirectSoundCreate(nullptr, &ds, nullptr);
  ds->SetCooperativeLevel(nullptr, DSSCL_PRIORITY);
  std::vector<IDirectSoundBuffer*> buffers;
  for (int i = 0; i < state.range(0); ++i) {
    WORD ch = static_cast<WORD>(1 + i % 2);
    WAVEFORMATEX f{WAVE_FORMAT_PCM, ch, 22050u + 11025u * (i % 3), 0, static_cast<WORD>(2 * ch), 16, 0};
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    DSBUFFERDESC d{sizeof(DSBUFFERDESC), DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY | DSBCAPS_GLOBALFOCUS,
                   f.nAvgBytesPerSec, 0, &f};
    IDirectSoundBuffer* b = nullptr;
    ds->CreateSoundBuffer(&d, &b, nullptr);
    void *p1, *p2;
    DWORD n1, n2;
    b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER);
    auto* s = static_cast<int16_t*>(p1);
    for (DWORD k = 0; k < n1 / 2; ++k) s[k] = static_cast<int16_t>(8000 * std::sin(k * 0.01 * (i + 1)));
    b->Unlock(p1, n1, p2, n2);
    b->SetVolume(-100 * i);
    b->SetPan(1000 * (i - 8));
    b->Play(0, 0, DSBPLAY_LOOPING);
    buffers.push_back(b);
  }
  for (auto _ : state) benchmark::DoNotOptimize(h.pull_audio(1024));
  state.SetItemsProcessed(state.iterations() * 1024);
  for (auto* b : buffers) b->Release();
  ds->Release();
  host::set(nullptr);
}
BENCHMARK(BM_Mix)->Arg(1)->Arg(16);

// One 100 ms half of IMA ADPCM stereo at 44,100 Hz decoded to 16-bit PCM.
void BM_DecodeImaAdpcm(benchmark::State& state) {
  IMAADPCMWAVEFORMAT f{{WAVE_FORMAT_IMA_ADPCM, 2, 44100, 44359, 2048, 4, 2}, 2041};
  WAVEFORMATEX dst{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  HACMSTREAM s = nullptr;
  acmStreamOpen(&s, nullptr, &f.wfx, &dst, nullptr, 0, 0, 0);
  std::vector<uint8_t> src(2048 * 3), out(2041 * 4 * 3);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 37);
  ACMSTREAMHEADER hd{};
  hd.cbStruct = sizeof hd;
  hd.pbSrc = src.data();
  hd.cbSrcLength = static_cast<DWORD>(src.size());
  hd.pbDst = out.data();
  hd.cbDstLength = static_cast<DWORD>(out.size());
  acmStreamPrepareHeader(s, &hd, 0);
  for (auto _ : state) {
    acmStreamConvert(s, &hd, 0);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * src.size());
  acmStreamUnprepareHeader(s, &hd, 0);
  acmStreamClose(s, 0);
}
BENCHMARK(BM_DecodeImaAdpcm);

}  // namespace
