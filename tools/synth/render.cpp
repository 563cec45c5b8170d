// Renders a parsed score with the console's four channels.
//
// Every channel is a piecewise-constant signal, as on the console: a pulse steps through an
// 8-step duty sequence, the triangle through 32 four-bit steps, the noise through a shift
// register. Each change of level is written as a band-limited step (a two-sample polynomial
// step) into one delta buffer, which is summed up at the end; so high notes do not alias.
// Envelopes, vibrato, arpeggios and slides are updated once per 1/60 s frame, counted from the
// note's start, which makes every note a function of its own parameters only: a loop that is
// rendered twice comes out the same both times, and the seam between two passes is exact.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "synth.h"

namespace synth {

namespace {

const double CPU_CLOCK = 1789773.0;  // NTSC
const int NOISE_PERIODS[16] = {4, 8, 16, 32, 64, 96, 128, 160, 202, 254, 380, 508, 762, 1016, 2034, 4068};
const uint8_t DUTY_STEPS[4][8] = {
    {0, 1, 0, 0, 0, 0, 0, 0},
    {0, 1, 1, 0, 0, 0, 0, 0},
    {0, 1, 1, 1, 1, 0, 0, 0},
    {1, 0, 0, 1, 1, 1, 1, 1},
};
const double DUTY_FRACTION[4] = {0.125, 0.25, 0.5, 0.75};
// loudness of one volume step on each channel, relative to a pulse
const double CHANNEL_WEIGHT[NUM_CHANNELS] = {1.0, 1.0, 1.35, 0.8};
// the triangle rests at step 8 (value 7), where a new note also begins: no jump either way
const int TRIANGLE_REST_STEP = 8;

int triangleValue(int step) { return step < 16 ? 15 - step : step - 16; }

class ChannelSynth {
public:
    ChannelSynth(int channel, std::vector<double>& delta, int rate, double gain)
        : channel(channel), delta(delta), rate(rate), scale(CHANNEL_WEIGHT[channel] * gain / 15.0) {}

    void render(const std::vector<NoteEvent>& notes) {
        for (size_t i = 0; i < notes.size(); i++) {
            int64_t cut = i + 1 < notes.size() ? notes[i + 1].start : (int64_t)delta.size() - 3;
            cut = std::min<int64_t>(cut, (int64_t)delta.size() - 3);
            if (notes[i].start >= cut) continue;
            renderNote(notes[i], cut);
        }
    }

private:
    int channel;
    std::vector<double>& delta;
    int rate;
    double scale;
    double level = 0;  // current output level in volume steps, centred

    // pulse and triangle sequencers, noise shift register
    int step = 0;
    double nextEdge = 0;
    bool running = false;  // the triangle is stepping (false: resting at its rest step)
    uint16_t lfsr = 1;

    void setLevel(double t, double v) {
        if (v == level) return;
        double d = (v - level) * scale;
        level = v;
        int64_t n = (int64_t)std::floor(t);
        double f = t - (double)n;
        if (n < 0) {
            n = 0;
            f = 0;
        }
        if (n + 2 >= (int64_t)delta.size()) return;
        double a = (1 - f) * (1 - f) / 2, c = f * f / 2;
        delta[n] += d * a;
        delta[n + 1] += d * (1 - a - c);
        delta[n + 2] += d * c;
    }

    double pulseLevel(int duty, int vol) const {
        return DUTY_STEPS[duty][step] ? vol * (1 - DUTY_FRACTION[duty]) : -vol * DUTY_FRACTION[duty];
    }

    // one frame of the pulse from t0 to t1 at the given timer value
    void runPulse(double t0, double t1, int timer, int duty, int vol) {
        double stepLen = 2.0 * (timer + 1) * rate / CPU_CLOCK;
        if (nextEdge < t0) nextEdge = t0 + stepLen;
        setLevel(t0, pulseLevel(duty, vol));
        while (nextEdge < t1) {
            step = (step + 1) & 7;
            setLevel(nextEdge, pulseLevel(duty, vol));
            nextEdge += stepLen;
        }
    }

    // the triangle from t0 to t1; with stopAtRest it halts when it reaches its rest step
    // (returns true once halted)
    bool runTriangle(double t0, double t1, int timer, bool stopAtRest) {
        double stepLen = (timer + 1) * (double)rate / CPU_CLOCK;
        if (!running) {
            if (stopAtRest) return true;
            running = true;
            step = TRIANGLE_REST_STEP;
            nextEdge = t0 + stepLen;
        }
        setLevel(t0, triangleValue(step) - 7);
        while (nextEdge < t1) {
            step = (step + 1) & 31;
            setLevel(nextEdge, triangleValue(step) - 7);
            nextEdge += stepLen;
            if (stopAtRest && step == TRIANGLE_REST_STEP) {
                running = false;
                return true;
            }
        }
        return false;
    }

    void runNoise(double t0, double t1, int period, bool shortMode, int vol) {
        double clockLen = NOISE_PERIODS[period] * (double)rate / CPU_CLOCK;
        if (nextEdge < t0) nextEdge = t0 + clockLen;
        setLevel(t0, (lfsr & 1) ? -vol / 2.0 : vol / 2.0);
        while (nextEdge < t1) {
            int fb = (lfsr ^ (lfsr >> (shortMode ? 6 : 1))) & 1;
            lfsr = (uint16_t)((lfsr >> 1) | (fb << 14));
            setLevel(nextEdge, (lfsr & 1) ? -vol / 2.0 : vol / 2.0);
            nextEdge += clockLen;
        }
    }

    void renderNote(const NoteEvent& ev, int64_t cut) {
        const Instrument& ins = *ev.ins;
        const int spf = rate / 60;
        // a new note restarts the pulse sequencer and the noise register; the triangle goes on
        // from where it is, or starts at its rest step
        if (channel != TRIANGLE) {
            step = 0;
            nextEdge = -1;
            lfsr = 1;
        }

        double releaseFrom = 0;  // envelope level when the gate closed
        int releaseFrame = -1;
        bool parking = false;
        int lastTimer = 0;
        for (int f = 0;; f++) {
            int64_t fs = ev.start + (int64_t)f * spf;
            if (fs >= cut) break;
            double t0 = (double)fs, t1 = (double)std::min<int64_t>(fs + spf, cut);

            // volume envelope
            bool released = fs >= ev.gateEnd;
            double raw;
            if (!released) {
                if (!ins.volSeq.empty()) {
                    raw = ins.volSeq[std::min<size_t>(f, ins.volSeq.size() - 1)];
                } else if (f < ins.attack) {
                    raw = ins.vol * (f + 1.0) / (ins.attack + 1.0);
                } else if (f < ins.attack + ins.decay) {
                    raw = ins.vol + (ins.sustain - ins.vol) * (f - ins.attack + 1.0) / ins.decay;
                } else {
                    raw = ins.sustain;
                }
                releaseFrom = raw;
            } else {
                if (releaseFrame < 0) releaseFrame = f;
                int rf = f - releaseFrame;
                raw = ins.release > 0 ? releaseFrom * (1.0 - (rf + 1.0) / (ins.release + 1.0)) : 0;
                if (raw < 0) raw = 0;
            }
            int vol = (int)std::lround(raw * ev.vol / 15.0);
            if (vol == 0 && raw > 0.5 && ev.vol > 0) vol = 1;
            bool finished = vol == 0 && (released || (ins.volSeq.empty() ? (f >= ins.attack + ins.decay && ins.sustain == 0)
                                                                         : (size_t)f >= ins.volSeq.size() - 1));

            // pitch: slide, sweep, arpeggio, vibrato
            double p = ev.pitch;
            if (ev.slide && ev.slideLength > 0) {
                double k = std::min(1.0, (double)(fs - ev.start) / (double)ev.slideLength);
                p += (ev.pitchTo - ev.pitch) * k;
            }
            p += ins.sweep * f;
            if (!ins.arp.empty()) p += ins.arp[(f / ins.arpSpeed) % ins.arp.size()];
            if (ins.vibDepth != 0 && f >= ins.vibDelay)
                p += ins.vibDepth / 100.0 * std::sin(2 * M_PI * ins.vibRate * (f - ins.vibDelay) / 60.0);

            if (channel == NOISE) {
                if (finished) {
                    setLevel(t0, 0);
                    return;
                }
                int period = (int)std::lround(std::min(15.0, std::max(0.0, p)));
                runNoise(t0, t1, period, ins.shortNoise, vol);
                continue;
            }

            double freq = 440.0 * std::pow(2.0, (p - 69.0) / 12.0);
            if (channel == TRIANGLE) {
                int timer = (int)std::lround(CPU_CLOCK / (32.0 * freq) - 1.0);
                timer = std::min(2047, std::max(2, timer));
                // a finished note runs on at its last pitch until the triangle reaches its rest step
                if (finished) parking = true;
                if (parking && lastTimer) timer = lastTimer;
                lastTimer = timer;
                if (runTriangle(t0, t1, timer, parking)) return;
                continue;
            }

            if (finished) {
                setLevel(t0, 0);
                return;
            }
            int timer = (int)std::lround(CPU_CLOCK / (16.0 * freq) - 1.0);
            timer = std::min(2047, std::max(8, timer));
            int duty = ins.duty[std::min<size_t>(f, ins.duty.size() - 1)];
            runPulse(t0, t1, timer, duty, vol);
        }
    }
};

struct Placement {
    const SongEntry* entry;
    double startSec;     // of this pattern
    int64_t base;        // sample where the reference point lies
    double refSec;       // the time that lies at base
};

}  // namespace

bool renderScore(const Score& score, Rendered& out, std::string& err) {
    const int rate = score.rate;
    out.rate = rate;
    out.loops = score.loopFrom >= 0;

    // pattern start times in seconds
    std::vector<double> starts;
    double t = 0;
    for (const SongEntry& e : score.song) {
        starts.push_back(t);
        t += e.pattern->beats * 60.0 / e.pattern->tempo;
    }
    const double songEnd = t;
    const int64_t endSample = std::llround(songEnd * rate);
    int64_t loopStart = 0, loopLen = 0;
    double loopStartSec = 0;
    if (out.loops) {
        loopStartSec = starts[score.loopFrom];
        loopStart = std::llround(loopStartSec * rate);
        loopLen = endSample - loopStart;
        if (loopLen <= 0) {
            err = score.path + ": the loop is empty";
            return false;
        }
    }
    if (score.hasExpectLoop) {
        int64_t ws = std::llround(score.expectLoopStart * rate), we = std::llround(score.expectLoopEnd * rate);
        if (!out.loops || ws != loopStart || we != endSample) {
            err = score.path + ": the loop lies at samples " + std::to_string(loopStart) + ".." +
                  std::to_string(endSample) + ", expected " + std::to_string(ws) + ".." + std::to_string(we);
            return false;
        }
    }

    // the loop is rendered three times after the intro: the second pass is the one written out
    // (it begins with what the end of a pass leaves ringing), the third cuts the second's last
    // notes exactly as a repeat does and provides what follows the loop end
    const int passes = out.loops ? 3 : 1;
    const int64_t total = (out.loops ? loopStart + passes * loopLen : endSample) + 10 * rate;
    std::vector<double> delta((size_t)total + 3, 0.0);

    std::vector<NoteEvent> events[NUM_CHANNELS];
    for (int pass = 0; pass < passes; pass++) {
        for (size_t i = 0; i < score.song.size(); i++) {
            bool inLoop = out.loops && (int)i >= score.loopFrom;
            if (pass > 0 && !inLoop) continue;
            const SongEntry& e = score.song[i];
            const Pattern& p = *e.pattern;
            double secPerBeat = 60.0 / p.tempo;
            // inside the loop every position is rounded relative to the loop start, so each
            // pass lies exactly loopLen samples after the previous one
            auto samplePos = [&](double sec) -> int64_t {
                if (inLoop) return loopStart + pass * loopLen + std::llround((sec - loopStartSec) * rate);
                return std::llround(sec * rate);
            };
            for (int ch = 0; ch < NUM_CHANNELS; ch++) {
                for (const PatternNote& n : p.voices[ch]) {
                    if (n.rest) continue;
                    NoteEvent ev;
                    double s0 = starts[i] + n.beat * secPerBeat, s1 = s0 + n.length * secPerBeat;
                    ev.start = samplePos(s0);
                    int64_t end = samplePos(s1);
                    ev.gateEnd = ev.start + std::llround((double)(end - ev.start) * n.ins->gate);
                    int tr = n.noisePitch ? 0 : e.transpose;
                    ev.pitch = n.pitch + tr;
                    ev.pitchTo = n.pitchTo + tr;
                    ev.slide = n.slide;
                    ev.slideLength = end - ev.start;
                    ev.ins = n.ins;
                    ev.vol = n.vol;
                    events[ch].push_back(ev);
                }
            }
        }
    }

    for (int ch = 0; ch < NUM_CHANNELS; ch++) {
        std::stable_sort(events[ch].begin(), events[ch].end(),
                         [](const NoteEvent& a, const NoteEvent& b) { return a.start < b.start; });
        ChannelSynth synth(ch, delta, rate, score.gain);
        synth.render(events[ch]);
    }

    // sum the steps, then the console's output filters: a high-pass that removes the offset
    // and a gentle low-pass
    std::vector<float> full((size_t)total);
    double acc = 0, hpPrevIn = 0, hpOut = 0, lpOut = 0;
    const double dt = 1.0 / rate;
    const double hpRc = 1.0 / (2 * M_PI * 30.0), lpRc = 1.0 / (2 * M_PI * 14000.0);
    const double hpA = hpRc / (hpRc + dt), lpB = dt / (lpRc + dt);
    for (int64_t i = 0; i < total; i++) {
        acc += delta[(size_t)i];
        hpOut = hpA * (hpOut + acc - hpPrevIn);
        hpPrevIn = acc;
        lpOut += lpB * (hpOut - lpOut);
        full[(size_t)i] = (float)lpOut;
    }

    if (out.loops) {
        const int64_t tail = std::llround(score.tail * rate);
        const int64_t pass2 = loopStart + loopLen;
        out.loopStart = loopStart;
        out.loopEnd = loopStart + loopLen;
        if (loopStart == 0) {
            // the whole file loops: it is the second pass, which already begins with the end's tails
            out.samples.assign(full.begin() + pass2, full.begin() + pass2 + loopLen);
        } else {
            out.samples.assign(full.begin(), full.begin() + loopStart);
            out.samples.insert(out.samples.end(), full.begin() + pass2, full.begin() + pass2 + loopLen + tail);
        }
        int64_t cmp = std::min<int64_t>(loopLen, rate / 2);
        for (int64_t i = 0; i < cmp; i++) {
            out.loopMismatch = std::max(out.loopMismatch, (double)std::fabs(full[pass2 + i] - full[pass2 + loopLen + i]));
            if (loopStart > 0)
                out.entryMismatch = std::max(out.entryMismatch, (double)std::fabs(full[loopStart + i] - full[pass2 + i]));
        }
    } else {
        // plays once: up to where the last sound has died away, with a short fade for safety
        int64_t last = endSample;
        for (int64_t i = total - 1; i >= endSample; i--) {
            if (std::fabs(full[(size_t)i]) > 1e-4) {
                last = i + 1;
                break;
            }
        }
        int64_t len = std::min<int64_t>(total, last + rate / 100);
        out.samples.assign(full.begin(), full.begin() + len);
        int64_t fade = std::min<int64_t>(len, rate / 200);
        for (int64_t i = 0; i < fade; i++) out.samples[(size_t)(len - 1 - i)] *= (float)i / (float)fade;
    }

    for (float s : out.samples) out.peak = std::max(out.peak, (double)std::fabs(s));
    if (out.peak > 0.999) {
        for (float& s : out.samples) s = std::max(-0.999f, std::min(0.999f, s));
    }
    return true;
}

}  // namespace synth
