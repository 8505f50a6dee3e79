#pragma once
// Small media files made from nothing, for the tests and the demo test: a PCM tone, an
// uncompressed video and a one-note tune. The formats are the plainest each player accepts.

#include <cstdint>
#include <string>

// 16-bit mono PCM at kWavSampleRate: a sine tone of `frequency` Hz lasting `milliseconds`.
constexpr uint32_t kWavSampleRate = 8000;
std::string MakeWav(uint32_t milliseconds, uint32_t frequency = 440);

// An AVI of uncompressed 32-bit bottom-up frames (Windows draws these right; 24-bit and
// top-down ones it does not): `frames` frames of width x height at `framesPerSecond`, each a
// different colour with a white bar that moves.
std::string MakeAvi(int32_t width, int32_t height, uint32_t frames, uint32_t framesPerSecond = 10);

// A type 0 MIDI file with one note held for `milliseconds` (one tick is one millisecond).
std::string MakeMidi(uint32_t milliseconds);
