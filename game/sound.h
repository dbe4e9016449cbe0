// The music and sound table: every piece of music and sound effect is a
// numbered entry of "data/sound/sound.cfg", loaded into the sound library's
// slot of the same number, and the music state with its cross-fade.
//
// Volumes are the library's (hundredths of a decibel, 0 loudest) with -2000
// taken as silent; SetSoundVolume shows scripts the same shifted by +2000.
#pragma once

#include <cstdint>

struct SoundEntry {
  char* file;       // "data/sound/" + the name; null while the entry is unset
  int32_t stream;   // registered as a stream with a 200 ms buffer
  int32_t loop;     // played looped as music
  int32_t unused;
};

constexpr int kSoundEntries = 256;
extern SoundEntry SoundTable[kSoundEntries];

constexpr int32_t kSilentVolume = -2000;

// Reads the table and loads every entry; any fault stops the program.
void ReadSoundData();
// Empties the table (freeing the names) and the music state, for a new start.
void ClearSoundData();

// 0 or more: switch to that music (the old one fades out as the new fades in);
// negative: one step of that fade.
void PlayMusic(int32_t number);
// Switches the music with a cross-fade that is over when it returns.
void ChangeMusicFade(int32_t number);
// Plays an entry once at full volume (not the current music).
void PlaySE(int32_t number);
// Stops an entry (not the current music).
void StopSound(int32_t number);
// Volume on the scripts' 0 to 2000 scale: above 0 sets it and plays the entry
// once, 0 stops the entry, negative only reads. Returns the old volume.
int32_t SetSoundVolume(int32_t number, int32_t volume);
// The first set entry whose path is exactly `file`; 0 when none.
int32_t FindSoundNo(const char* file);

int32_t GetMusicNo();
int32_t GetPrevMusicNo();
int32_t GetMusicVolume();
int32_t GetPrevMusicVolume();
