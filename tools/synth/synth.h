#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace synth {

// the console's four sound channels
enum Channel { PULSE1 = 0, PULSE2 = 1, TRIANGLE = 2, NOISE = 3, NUM_CHANNELS = 4 };

enum Wave { WAVE_PULSE, WAVE_TRIANGLE, WAVE_NOISE };

struct Instrument {
    std::string name;
    Wave wave = WAVE_PULSE;
    bool shortNoise = false;          // noise: 93-step loop instead of the long sequence
    std::vector<int> duty{2};         // pulse: per-frame duty index (0 12.5%, 1 25%, 2 50%, 3 75%), last held
    int vol = 15;                     // peak volume 0..15
    int attack = 0, decay = 0;        // frames
    int sustain = 15;                 // 0..15; 0 lets the note die after the decay
    int release = 0;                  // frames after the gate closes
    std::vector<int> volSeq;          // per-frame volumes, last held; replaces attack/decay/sustain
    double gate = 1.0;                // part of the written length before the release starts
    int vibDelay = 0;                 // frames
    double vibDepth = 0;              // cents
    double vibRate = 0;               // Hz
    std::vector<int> arp;             // semitone offsets cycled every arpSpeed frames
    int arpSpeed = 1;
    double sweep = 0;                 // semitones per frame (noise: period steps per frame)
    bool hasPitch = false;            // drums: the fixed pitch they sound at
    double pitch = 0;
};

// one written note on one channel, times in output samples
struct NoteEvent {
    int64_t start = 0;
    int64_t gateEnd = 0;              // where the release begins
    double pitch = 0;                 // semitones (MIDI numbering), noise: period index 0..15
    double pitchTo = 0;               // slide target, reached at the end of the written length
    bool slide = false;
    int64_t slideLength = 0;
    const Instrument* ins = nullptr;
    int vol = 15;                     // the voice volume, 0..15
};

// one voice line of a pattern after parsing, times in beats
struct PatternNote {
    double beat = 0, length = 0;
    bool rest = false;
    double pitch = 0, pitchTo = 0;
    bool slide = false;
    bool noisePitch = false;          // pitch is a noise period, not transposed
    const Instrument* ins = nullptr;
    int vol = 15;
};

struct Pattern {
    std::string name;
    double tempo = 120;               // quarter notes per minute
    double seconds = 0;               // exact duration when given; tempo follows from it
    double beats = 0;                 // length in quarter notes
    int barBeatsNum = 0, barBeatsDen = 4;
    std::vector<PatternNote> voices[NUM_CHANNELS];
};

struct SongEntry {
    const Pattern* pattern = nullptr;
    int transpose = 0;
};

struct Score {
    std::string title;
    std::string path;
    int rate = 48000;
    double gain = 0.5;
    double quality = 0.5;
    double tail = 0.5;                // seconds of loop continuation written after the loop end
    bool hasExpectLoop = false;
    double expectLoopStart = 0, expectLoopEnd = 0;
    std::map<std::string, Instrument> instruments;
    std::map<std::string, Instrument> drums;
    std::map<std::string, Pattern> patterns;
    const Instrument* voiceDefault[NUM_CHANNELS] = {nullptr, nullptr, nullptr, nullptr};
    std::vector<SongEntry> song;
    int loopFrom = -1;                // song index where the loop starts, -1 plays once
};

// parsing: returns false and fills err ("file:line: message") on a mistake in the score
bool parseScore(const std::string& path, Score& score, std::string& err);

// rendering: the finished mono signal and where its loop lies (in samples)
struct Rendered {
    std::vector<float> samples;
    int rate = 48000;
    bool loops = false;
    int64_t loopStart = 0, loopEnd = 0;
    double peak = 0;
    double loopMismatch = 0;          // largest difference between two passes of the loop
    double entryMismatch = 0;         // difference at the first entry from the intro into the loop
};

bool renderScore(const Score& score, Rendered& out, std::string& err);

// Ogg Vorbis files
bool writeOgg(const std::string& path, const std::vector<float>& samples, int rate, double quality,
              const std::string& title, std::string& err);
bool readOgg(const std::string& path, std::vector<float>& samples, int& rate, std::string& err);

// pictures for looking at a sound: a spectrogram over a waveform, written as a PPM file
bool writeSpectrogram(const std::string& path, const std::vector<float>& samples, int rate,
                      double fromSec, double toSec, std::string& err);

}  // namespace synth
