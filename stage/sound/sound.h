#pragma once
// Sound playback: clips handed over as bytes in memory, played in the background.
//
// RIFF/WAVE clips are streamed by a player of their own, any number at once; standard MIDI
// files are held by the one MIDI player (they are accepted but not rendered); everything else,
// MPEG audio included, is refused. Every call may come from any thread the clock knows.

#include <cstddef>
#include <cstdint>
#include <span>

#include "stage/core/byteset.h"
#include "stage/core/clock.h"
#include "stage/sound/audio_output.h"

namespace stage {

// Called by the backend at start. `output` null: there is no device, and WAVE clips are still
// accepted but end by the stall time-out. Stops and waits for whatever an earlier setup played.
// Both must outlive the sound system (until ShutdownSound).
void InitSound(Clock& clock, AudioOutput* output);

// Starts a clip and returns at once; the clip is copied, the caller may release it. False when
// the clip is refused, in which case nothing starts and nothing playing is touched. Before
// InitSound no WAVE clip can start.
bool PlaySound(std::span<const std::uint8_t> clip, bool loop = false);
bool PlaySound(ByteSetView clip, bool loop = false);

// Stops every playback. Does not wait for the players' threads; they end within moments.
void StopSound();

// The end-of-program stop: stops every playback and waits until every player thread has ended.
void StopAllSoundAndWait();

// StopAllSoundAndWait, then forgets the clock and the output.
void ShutdownSound();

// WAVE players that have not finished yet.
std::size_t ActiveSoundPlayers();
// Player threads that have not ended yet (a finished player's thread still closes its output).
std::size_t LiveSoundThreads();
// Waits on the clock until no WAVE player is active or `deadline` (absolute) passes; returns
// whether none is. Callable only on a thread the clock knows.
bool WaitUntilSilent(TimePoint deadline);
// Whether a MIDI clip is loaded and playing (it is not rendered).
bool MidiClipPlaying();

}  // namespace stage
