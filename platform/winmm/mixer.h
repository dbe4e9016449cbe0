// The audio mixer: mixer 0 has one source line, the MIDI synthesizer, with one
// volume control (0 to 65535) that scales the synthesizer's output.
#pragma once

#include "platform/win32/types.h"
#include "platform/winmm/mmtypes.h"

struct HMIXEROBJ__;
using HMIXEROBJ = HMIXEROBJ__*;

constexpr DWORD MIXER_OBJECTF_MIXER = 0x0;
constexpr DWORD MIXER_GETLINEINFOF_SOURCE = 0x1, MIXER_GETLINEINFOF_LINEID = 0x2,
                MIXER_GETLINEINFOF_COMPONENTTYPE = 0x3;
constexpr DWORD MIXER_GETLINECONTROLSF_ALL = 0x0, MIXER_GETLINECONTROLSF_ONEBYID = 0x1,
                MIXER_GETLINECONTROLSF_ONEBYTYPE = 0x2;
constexpr DWORD MIXER_GETCONTROLDETAILSF_VALUE = 0x0, MIXER_SETCONTROLDETAILSF_VALUE = 0x0;
constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER = 0x1004;
constexpr DWORD MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
constexpr MMRESULT MIXERR_INVALLINE = 1024, MIXERR_INVALCONTROL = 1025;
constexpr int MIXER_SHORT_NAME_CHARS = 16, MIXER_LONG_NAME_CHARS = 64, MAXPNAMELEN = 32;

struct MIXERLINEA {
  DWORD cbStruct;
  DWORD dwDestination;
  DWORD dwSource;
  DWORD dwLineID;
  DWORD fdwLine;
  DWORD_PTR dwUser;
  DWORD dwComponentType;
  DWORD cChannels;
  DWORD cConnections;
  DWORD cControls;
  char szShortName[MIXER_SHORT_NAME_CHARS];
  char szName[MIXER_LONG_NAME_CHARS];
  struct {
    DWORD dwType;
    DWORD dwDeviceID;
    WORD wMid;
    WORD wPid;
    DWORD vDriverVersion;
    char szPname[MAXPNAMELEN];
  } Target;
};

struct MIXERCONTROLA {
  DWORD cbStruct;
  DWORD dwControlID;
  DWORD dwControlType;
  DWORD fdwControl;
  DWORD cMultipleItems;
  char szShortName[MIXER_SHORT_NAME_CHARS];
  char szName[MIXER_LONG_NAME_CHARS];
  struct {
    DWORD dwMinimum;
    DWORD dwMaximum;
    DWORD dwReserved[4];
  } Bounds;
  DWORD Metrics[6];
};

struct MIXERLINECONTROLSA {
  DWORD cbStruct;
  DWORD dwLineID;
  DWORD dwControl;  // the control id or type asked for
  DWORD cControls;
  DWORD cbmxctrl;
  MIXERCONTROLA* pamxctrl;
};

struct MIXERCONTROLDETAILS {
  DWORD cbStruct;
  DWORD dwControlID;
  DWORD cChannels;
  DWORD cMultipleItems;
  DWORD cbDetails;
  void* paDetails;
};

struct MIXERCONTROLDETAILS_UNSIGNED {
  DWORD dwValue;
};

MMRESULT mixerGetLineInfoA(HMIXEROBJ mixer, MIXERLINEA* line, DWORD flags);
MMRESULT mixerGetLineControlsA(HMIXEROBJ mixer, MIXERLINECONTROLSA* controls, DWORD flags);
MMRESULT mixerGetControlDetailsA(HMIXEROBJ mixer, MIXERCONTROLDETAILS* details, DWORD flags);
MMRESULT mixerSetControlDetails(HMIXEROBJ mixer, MIXERCONTROLDETAILS* details, DWORD flags);
