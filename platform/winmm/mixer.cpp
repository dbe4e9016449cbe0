#include "platform/winmm/mixer.h"

#include <cstring>

#include "platform/winmm/midi.h"

namespace {

constexpr DWORD kSynthLine = 0x10000;
constexpr DWORD kVolumeControl = 1;

// Mixer 0 only: the handle and the id 0 name it.
bool Mixer0(HMIXEROBJ m) { return m == nullptr; }

void FillLine(MIXERLINEA* line) {
  const DWORD size = line->cbStruct;
  std::memset(line, 0, sizeof(*line));
  line->cbStruct = size;
  line->dwLineID = kSynthLine;
  line->dwComponentType = MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER;
  line->cChannels = 1;
  line->cControls = 1;
  std::strcpy(line->szShortName, "Synth");
  std::strcpy(line->szName, "Synthesizer");
}

bool DetailsOk(const MIXERCONTROLDETAILS* d) {
  return d && d->cbStruct >= sizeof(MIXERCONTROLDETAILS) && d->dwControlID == kVolumeControl &&
         d->cChannels >= 1 && d->cbDetails >= sizeof(MIXERCONTROLDETAILS_UNSIGNED) && d->paDetails;
}

}  // namespace

MMRESULT mixerGetLineInfoA(HMIXEROBJ mixer, MIXERLINEA* line, DWORD flags) {
  if (!Mixer0(mixer)) return MMSYSERR_INVALHANDLE;
  if (!line || line->cbStruct < sizeof(MIXERLINEA)) return MMSYSERR_INVALPARAM;
  switch (flags & 0xF) {
    case MIXER_GETLINEINFOF_COMPONENTTYPE:
      if (line->dwComponentType != MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER) return MIXERR_INVALLINE;
      break;
    case MIXER_GETLINEINFOF_LINEID:
      if (line->dwLineID != kSynthLine) return MIXERR_INVALLINE;
      break;
    case MIXER_GETLINEINFOF_SOURCE:
      if (line->dwDestination != 0 || line->dwSource != 0) return MIXERR_INVALLINE;
      break;
    default: return MMSYSERR_INVALFLAG;
  }
  FillLine(line);
  return MMSYSERR_NOERROR;
}

MMRESULT mixerGetLineControlsA(HMIXEROBJ mixer, MIXERLINECONTROLSA* controls, DWORD flags) {
  if (!Mixer0(mixer)) return MMSYSERR_INVALHANDLE;
  if (!controls || controls->cbStruct < sizeof(MIXERLINECONTROLSA) || !controls->pamxctrl ||
      controls->cbmxctrl < sizeof(MIXERCONTROLA) || controls->cControls < 1)
    return MMSYSERR_INVALPARAM;
  switch (flags & 0xF) {
    case MIXER_GETLINECONTROLSF_ONEBYTYPE:
      if (controls->dwLineID != kSynthLine) return MIXERR_INVALLINE;
      if (controls->dwControl != MIXERCONTROL_CONTROLTYPE_VOLUME) return MIXERR_INVALCONTROL;
      break;
    case MIXER_GETLINECONTROLSF_ONEBYID:
      if (controls->dwControl != kVolumeControl) return MIXERR_INVALCONTROL;
      break;
    case MIXER_GETLINECONTROLSF_ALL:
      if (controls->dwLineID != kSynthLine) return MIXERR_INVALLINE;
      break;
    default: return MMSYSERR_INVALFLAG;
  }
  MIXERCONTROLA* c = controls->pamxctrl;
  std::memset(c, 0, sizeof(*c));
  c->cbStruct = sizeof(*c);
  c->dwControlID = kVolumeControl;
  c->dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
  std::strcpy(c->szShortName, "Volume");
  std::strcpy(c->szName, "Synthesizer Volume");
  c->Bounds.dwMinimum = 0;
  c->Bounds.dwMaximum = 65535;
  c->Metrics[0] = 65536;  // steps
  return MMSYSERR_NOERROR;
}

MMRESULT mixerGetControlDetailsA(HMIXEROBJ mixer, MIXERCONTROLDETAILS* details, DWORD flags) {
  if (!Mixer0(mixer)) return MMSYSERR_INVALHANDLE;
  if ((flags & 0xF) != MIXER_GETCONTROLDETAILSF_VALUE) return MMSYSERR_INVALFLAG;
  if (!DetailsOk(details)) return MMSYSERR_INVALPARAM;
  static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails)->dwValue = platform::midi_synth_volume();
  return MMSYSERR_NOERROR;
}

MMRESULT mixerSetControlDetails(HMIXEROBJ mixer, MIXERCONTROLDETAILS* details, DWORD flags) {
  if (!Mixer0(mixer)) return MMSYSERR_INVALHANDLE;
  if ((flags & 0xF) != MIXER_SETCONTROLDETAILSF_VALUE) return MMSYSERR_INVALFLAG;
  if (!DetailsOk(details)) return MMSYSERR_INVALPARAM;
  platform::midi_set_synth_volume(static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails)->dwValue);
  return MMSYSERR_NOERROR;
}
