#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/acm/acm.h"
#include "platform/acm/codec.h"

namespace {

// Decodes `src` whole through a stream to 16-bit PCM.
std::vector<int16_t> Convert(const WAVEFORMATEX* f, const std::vector<uint8_t>& src) {
  WAVEFORMATEX dst{};
  dst.wFormatTag = WAVE_FORMAT_PCM;
  dst.wBitsPerSample = 16;
  EXPECT_EQ(acmFormatSuggest(nullptr, f, &dst, sizeof dst,
                             ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_WBITSPERSAMPLE),
            MMSYSERR_NOERROR);
  HACMSTREAM s = nullptr;
  EXPECT_EQ(acmStreamOpen(&s, nullptr, f, &dst, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
  if (!s) return {};
  std::vector<uint8_t> in = src, out(1 << 20);
  ACMSTREAMHEADER h{};
  h.cbStruct = sizeof h;
  h.pbSrc = in.data();
  h.cbSrcLength = static_cast<DWORD>(in.size());
  h.pbDst = out.data();
  h.cbDstLength = static_cast<DWORD>(out.size());
  EXPECT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamConvert(s, &h, 0), MMSYSERR_NOERROR);
  std::vector<int16_t> pcm(h.cbDstLengthUsed / 2);
  std::memcpy(pcm.data(), out.data(), pcm.size() * 2);
  EXPECT_EQ(acmStreamUnprepareHeader(s, &h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamClose(s, 0), MMSYSERR_NOERROR);
  return pcm;
}

TEST(AcmDecoders, G711FollowsItsDefinition) {
  for (int code = 0; code < 256; ++code) {
    // µ-law: bits inverted; sign, 3-bit exponent, 4-bit mantissa; bias 33; 14 bits scaled to 16.
    int u = ~code & 0xFF;
    int e = (u >> 4) & 7, m = u & 15;
    int mag = (((2 * m + 33) << e) - 33) * 4;
    EXPECT_EQ(acm::MulawToLinear(static_cast<uint8_t>(code)), (u & 0x80) ? -mag : mag) << code;
    // A-law: even bits inverted; the lowest segment is linear; 13 bits scaled to 16.
    int a = code ^ 0x55;
    e = (a >> 4) & 7, m = a & 15;
    mag = (e == 0 ? (2 * m + 1) : ((2 * m + 33) << (e - 1))) * 8;
    EXPECT_EQ(acm::AlawToLinear(static_cast<uint8_t>(code)), (a & 0x80) ? mag : -mag) << code;
  }
  WAVEFORMATEX mulaw{WAVE_FORMAT_MULAW, 1, 8000, 8000, 1, 8, 0};
  EXPECT_EQ(Convert(&mulaw, {0xFF, 0x80, 0x00}), (std::vector<int16_t>{0, 32124, -32124}));
}

TEST(AcmDecoders, EightBitPcmWidens) {
  WAVEFORMATEX pcm8{WAVE_FORMAT_PCM, 2, 11025, 22050, 2, 8, 0};
  EXPECT_EQ(Convert(&pcm8, {0x00, 0x80, 0xFF, 0x81, 0x7F}),  // the odd byte is no whole frame
            (std::vector<int16_t>{-32768, 0, 32512, 256}));
}

TEST(AcmDecoders, ImaAdpcmBlock) {
  // Mono, 8-byte blocks of 9 samples. Worked by hand from the step and index tables:
  // nibble 7 at step 7 adds 1 + 3 + 7; nibble 0 adds step/8; 8 subtracts step/8; F subtracts all four parts.
  IMAADPCMWAVEFORMAT f{{WAVE_FORMAT_IMA_ADPCM, 1, 22050, 0, 8, 4, 2}, 9};
  std::vector<uint8_t> block = {0, 0, 0, 0, 0x07, 0xF8, 0x00, 0x00};
  EXPECT_EQ(Convert(&f.wfx, block), (std::vector<int16_t>{0, 11, 13, 12, -11, -8, -5, -3, -1}));
  // A block cut short at the end of the data gives what it holds: the header sample.
  block.resize(8 + 6);
  block[8] = 0x34, block[9] = 0x12;
  auto pcm = Convert(&f.wfx, block);
  ASSERT_EQ(pcm.size(), 10u);
  EXPECT_EQ(pcm[9], 0x1234);
}

#pragma pack(push, 1)
struct MsAdpcm7 {
  ADPCMWAVEFORMAT head;
  ADPCMCOEFSET more[6];
};
#pragma pack(pop)

TEST(AcmDecoders, MsAdpcmBlocks) {
  MsAdpcm7 f{};
  f.head.wfx = {WAVE_FORMAT_ADPCM, 1, 22050, 0, 9, 4, 32};
  f.head.wSamplesPerBlock = 6;
  f.head.wNumCoef = 7;
  const ADPCMCOEFSET coefs[7] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
  std::memcpy(f.head.aCoef, coefs, sizeof coefs);
  // Block 1: predictor 0 (s1), delta 16, s1 100, s2 50; nibbles 1, F(-1), 7, 0.
  // 100+16=116 (delta stays 16: 230*16/256 < 16), 116-16=100, 100+7*16=212 (delta 768*16/256=48), 212.
  // Block 2: predictor 1 (2*s1 - s2), delta 20, s1 10, s2 0; four zero nibbles continue the line.
  std::vector<uint8_t> data = {0, 16, 0, 100, 0, 50, 0, 0x1F, 0x70,  //
                               1, 20, 0, 10, 0, 0, 0, 0x00, 0x00};
  EXPECT_EQ(Convert(&f.head.wfx, data),
            (std::vector<int16_t>{50, 100, 116, 100, 212, 212, 0, 10, 20, 30, 40, 50}));
  // Damaged blocks (extreme samples, coefficients and a step that keeps growing)
  // stay within 16 bits.
  MsAdpcm7 wild = f;
  wild.head.aCoef[0] = {-32768, -32768};
  wild.head.wfx.nBlockAlign = 7 + 64;
  wild.head.wSamplesPerBlock = 2 + 128;
  std::vector<uint8_t> block = {0, 0xFF, 0x7F, 0, 0x80, 0, 0x80};
  block.resize(7 + 64, 0x77);
  auto pcm = Convert(&wild.head.wfx, block);
  EXPECT_EQ(pcm.size(), 130u);
  // Coefficients promised but missing from the record are refused.
  f.head.wfx.cbSize = 20;
  WAVEFORMATEX dst{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
  HACMSTREAM s = nullptr;
  EXPECT_EQ(acmStreamOpen(&s, nullptr, &f.head.wfx, &dst, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
}

// n silent MPEG-1 layer III frames, 44,100 Hz, 128 kbit/s, 417 bytes each.
std::vector<uint8_t> SilentMp3(int n, bool mono) {
  std::vector<uint8_t> out;
  for (int i = 0; i < n; ++i) {
    std::vector<uint8_t> frame(417, 0);
    frame[0] = 0xFF, frame[1] = 0xFB, frame[2] = 0x90, frame[3] = mono ? 0xC0 : 0x00;
    out.insert(out.end(), frame.begin(), frame.end());
  }
  return out;
}

TEST(AcmStream, SizesConversionAndRestart) {
  WAVEFORMATEX ima{WAVE_FORMAT_IMA_ADPCM, 1, 22050, 11025, 8, 4, 0};  // 9 samples a block
  WAVEFORMATEX dst{WAVE_FORMAT_PCM, 0, 0, 0, 0, 0, 0};
  ASSERT_EQ(acmFormatSuggest(nullptr, &ima, &dst, sizeof(PCMWAVEFORMAT), ACM_FORMATSUGGESTF_WFORMATTAG),
            MMSYSERR_NOERROR);
  EXPECT_EQ(dst.nSamplesPerSec, 22050u);
  EXPECT_EQ(dst.wBitsPerSample, 16);
  EXPECT_EQ(dst.nBlockAlign, 2);
  HACMSTREAM s = nullptr;
  ASSERT_EQ(acmStreamOpen(&s, nullptr, &ima, &dst, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
  DWORD n = 0;
  EXPECT_EQ(acmStreamSize(s, 20, &n, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
  EXPECT_EQ(n, 2u * 9 * 2);  // two whole blocks
  EXPECT_EQ(acmStreamSize(s, 50, &n, ACM_STREAMSIZEF_DESTINATION), MMSYSERR_NOERROR);
  EXPECT_EQ(n, 16u);
  EXPECT_EQ(acmStreamSize(s, 7, &n, ACM_STREAMSIZEF_SOURCE), ACMERR_NOTPOSSIBLE);

  std::vector<uint8_t> in = {0, 0, 0, 0, 0x07, 0xF8, 0x00, 0x00}, out(8);
  ACMSTREAMHEADER h{};
  h.cbStruct = sizeof h;
  h.pbSrc = in.data();
  h.cbSrcLength = 8;
  h.pbDst = out.data();
  h.cbDstLength = 8;
  EXPECT_EQ(acmStreamConvert(s, &h, 0), ACMERR_UNPREPARED);
  ASSERT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_NOERROR);
  // Nine samples do not fit in eight bytes: the rest waits for the next conversion.
  ASSERT_EQ(acmStreamConvert(s, &h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(h.cbDstLengthUsed, 8u);
  EXPECT_EQ(h.cbSrcLengthUsed, 8u);
  h.cbSrcLength = 0;
  ASSERT_EQ(acmStreamConvert(s, &h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(h.cbDstLengthUsed, 8u);
  int16_t v;
  std::memcpy(&v, out.data(), 2);
  EXPECT_EQ(v, -11);
  // A new start drops what waits.
  ASSERT_EQ(acmStreamConvert(s, &h, ACM_STREAMCONVERTF_START), MMSYSERR_NOERROR);
  EXPECT_EQ(h.cbDstLengthUsed, 0u);
  h.cbSrcLength = 9;  // more than was prepared
  EXPECT_EQ(acmStreamConvert(s, &h, 0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(acmStreamClose(s, 0), ACMERR_BUSY);
  h.cbSrcLength = 8;
  EXPECT_EQ(acmStreamUnprepareHeader(s, &h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamClose(s, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamClose(s, 0), MMSYSERR_INVALHANDLE);
}

TEST(AcmStream, FormatDetailsAndRefusals) {
  ACMFORMATTAGDETAILSA d{};
  d.cbStruct = sizeof d;
  d.dwFormatTag = WAVE_FORMAT_PCM;
  ASSERT_EQ(acmFormatTagDetailsA(nullptr, &d, ACM_FORMATTAGDETAILSF_FORMATTAG), MMSYSERR_NOERROR);
  EXPECT_EQ(d.cbFormatSize, 16u);  // a PCM record has no extra-size field
  d.dwFormatTag = WAVE_FORMAT_MPEGLAYER3;
  ASSERT_EQ(acmFormatTagDetailsA(nullptr, &d, ACM_FORMATTAGDETAILSF_FORMATTAG), MMSYSERR_NOERROR);
  EXPECT_EQ(d.cbFormatSize, 30u);
  d.dwFormatTag = 0x1234;
  EXPECT_EQ(acmFormatTagDetailsA(nullptr, &d, ACM_FORMATTAGDETAILSF_FORMATTAG), ACMERR_NOTPOSSIBLE);

  WAVEFORMATEX pcm{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  WAVEFORMATEX mono = pcm;
  mono.nChannels = 1, mono.nBlockAlign = 2, mono.nAvgBytesPerSec = 88200;
  HACMSTREAM s = nullptr;
  EXPECT_EQ(acmStreamOpen(&s, nullptr, &pcm, &mono, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);  // no mixing down
  WAVEFORMATEX odd{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 12, 0};
  EXPECT_EQ(acmStreamOpen(&s, nullptr, &odd, &pcm, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(acmStreamOpen(nullptr, nullptr, &pcm, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_QUERY), MMSYSERR_NOERROR);
}

TEST(AcmStream, MpegThroughTheDecoderLibrary) {
  MPEGLAYER3WAVEFORMAT f{};
  f.wfx = {WAVE_FORMAT_MPEGLAYER3, 2, 44100, 16000, 1, 0, 12};
  f.wID = MPEGLAYER3_ID_MPEG, f.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF, f.nBlockSize = 417, f.nFramesPerBlock = 1;
  auto pcm = Convert(&f.wfx, SilentMp3(8, false));
  // Silent frames give silence, whole frames of 1152 stereo samples.
  ASSERT_FALSE(pcm.empty());
  EXPECT_EQ(pcm.size() % (1152 * 2), 0u);
  EXPECT_GE(pcm.size(), 6u * 1152 * 2);
  for (int16_t v : pcm) ASSERT_EQ(v, 0);
  f.wfx.nChannels = 1;
  pcm = Convert(&f.wfx, SilentMp3(8, true));
  EXPECT_EQ(pcm.size() % 1152, 0u);
  EXPECT_GE(pcm.size(), 6u * 1152);
}

}  // namespace
