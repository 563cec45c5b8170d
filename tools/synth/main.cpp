// synth: renders Ember Spire's music and sound effects from text scores to Ogg Vorbis, with the
// console's four voices: two pulse channels (duty 12.5, 25, 50 or 75 %), a triangle (32 steps of
// 4 bits, no volume control: it is either sounding or resting) and a noise channel (15-bit
// shift register, long or short sequence, 16 periods). Pitches are rounded to the console's
// period registers, envelopes to its 16 volume steps, and everything moves in 1/60 s frames.
//
//   synth render SCORE.txt OUT.ogg     render and encode one score
//   synth view IN.ogg OUT.ppm [FROM TO]   spectrogram over waveform, seconds FROM..TO
//   synth stats IN.ogg                  length, peak and loudness
//
// THE SCORE NOTATION
//
// A score is a text file read line by line; ';' starts a comment. Header lines:
//
//   title Dreamy Gardens        the title written into the file
//   rate 48000                  sample rate: 48000 (music: loop points fall on whole samples)
//                               or 44100
//   gain 0.5                    master volume (a full-volume pulse is +-0.5 at gain 1)
//   quality 0.5                 Vorbis quality -0.1..1
//   tail 0.5                    seconds of the loop's continuation written after its end
//   expect-loop 1.596 39.934    fails the build unless the loop starts and ends exactly there
//   include drums.inc           reads another file (instruments shared between scores)
//
// Instruments, one line each: `instrument NAME WAVE key=value ...`. WAVE is pulse, pulse12,
// pulse25, pulse50, pulse75, triangle, noise or noise-short. Keys:
//
//   vol=12              peak volume 0..15
//   env=A,D,S,R         attack frames, decay frames, sustain level 0..15, release frames
//                       (sustain 0: the note dies after its decay, like a plucked string)
//   volseq=15,12,9,7    volume per frame instead of A/D/S (last value held)
//   duty=50,25          pulse duty per frame (12, 25, 50, 75; last value held)
//   gate=0.8            part of the written length played before the release (0.5 staccato)
//   vib=D,C,H           vibrato after D frames, C cents deep, H times a second
//   arp=0,4,7           semitones added frame by frame in turn (chords on one voice)
//   arpspeed=2          frames per arpeggio step
//   sweep=-0.5          semitones per frame (noise: period steps per frame)
//
// Drums are instruments with a fixed pitch that are played by name:
//   drum kick triangle pitch=C3 sweep=-1.5 volseq=15,15,15,0
//   drum hat noise-short pitch=n1 volseq=6,3,1,0
//
// `voice P1 lead` names the instrument that voice P1 starts each pattern with.
//
// Patterns hold the music; a pattern line gives the tempo in quarter notes per minute, or the
// exact duration in seconds (the tempo then follows from the length of the music), and the
// metre for bar-line checks:
//
//   pattern verse tempo=132 time=4/4
//   P1:  @lead v12 E5/8 G A B/4 A/8 G | E/2 r/4 D/8 E |
//   P2:  ...
//   TRI: ...
//   NOISE: ...
//
// The voices are P1 and P2 (pulses), TRI (triangle) and NOISE. A voice may take several lines;
// they join. A pattern lasts as long as its longest voice. Within a voice line:
//
//   C4 C#4 Db4 Bb3     a note (C4 is middle C); the octave carries on to later notes, so
//                      "C4 D E" is C4 D4 E4
//   /8  /4.  /2+8  /12  /4*3
//                      the length, written after the note: eighth, dotted quarter, half tied to
//                      an eighth, triplet eighth, three quarters. It too carries on: "C4/8 D E"
//   r/4                a rest
//   _/8                holds the previous note longer (a tie, also across bar lines)
//   C4/4>G4            slides from C4 to G4 over the note's length
//   n0 .. n15          noise pitches (0 highest, 15 lowest), only on NOISE
//   kick  hat          drums, by name
//   @lead              switch instrument
//   v10                voice volume 0..15 (scales the envelope; the triangle ignores it)
//   o3                 the octave for the following notes written without one
//   [ ... ]3           play the part between the brackets 3 times (] alone: twice)
//   |                  bar line: checked against the time= of the pattern
//
// The song line gives the order of the patterns; [ marks where the loop begins, and the loop
// ends at the end of the song. A pattern name followed by +N or -N plays transposed.
//
//   song intro [ A A+5 B A ]     intro once, then A, A a fourth higher, B, A, and again
//   song [ A B ]                 the whole file loops
//   song A                       plays once (effects, fanfares)
//
// A looping file is rendered so that its end runs into its loop start without a seam: the loop
// is rendered several times and the written pass begins with what the end of the previous pass
// leaves ringing. The loop start and end fall on exact samples.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "synth.h"

namespace {

void makeParentDirs(const std::string& path) {
    for (size_t i = 1; i < path.size(); i++) {
        if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
    }
}

int usage() {
    std::fprintf(stderr,
                 "usage: synth render SCORE OUT.ogg\n"
                 "       synth view IN.ogg OUT.ppm [FROM TO]\n"
                 "       synth stats IN.ogg\n");
    return 2;
}

int render(const std::string& scorePath, const std::string& outPath) {
    synth::Score score;
    std::string err;
    if (!synth::parseScore(scorePath, score, err)) {
        std::fprintf(stderr, "synth: %s\n", err.c_str());
        return 1;
    }
    synth::Rendered r;
    if (!synth::renderScore(score, r, err)) {
        std::fprintf(stderr, "synth: %s\n", err.c_str());
        return 1;
    }
    makeParentDirs(outPath);
    if (!synth::writeOgg(outPath, r.samples, r.rate, score.quality, score.title, err)) {
        std::fprintf(stderr, "synth: %s\n", err.c_str());
        return 1;
    }
    std::printf("synth: %s: %.3f s, peak %.3f", outPath.c_str(), (double)r.samples.size() / r.rate, r.peak);
    if (r.loops)
        std::printf(", loop %.6f..%.6f s (samples %lld..%lld), seam %.5f, entry %.5f", (double)r.loopStart / r.rate,
                    (double)r.loopEnd / r.rate, (long long)r.loopStart, (long long)r.loopEnd, r.loopMismatch,
                    r.entryMismatch);
    std::printf("\n");
    if (r.peak > 0.999) std::fprintf(stderr, "synth: warning: %s clips (peak %.3f), lower its gain\n", scorePath.c_str(), r.peak);
    if (r.loops && r.loopMismatch > 0.01)
        std::fprintf(stderr, "synth: warning: %s: two passes of the loop differ by %.4f\n", scorePath.c_str(), r.loopMismatch);
    return 0;
}

int view(int argc, char** argv) {
    std::vector<float> s;
    int rate;
    std::string err;
    if (!synth::readOgg(argv[2], s, rate, err)) {
        std::fprintf(stderr, "synth: %s\n", err.c_str());
        return 1;
    }
    double from = argc > 4 ? std::atof(argv[4]) : 0, to = argc > 5 ? std::atof(argv[5]) : 0;
    if (!synth::writeSpectrogram(argv[3], s, rate, from, to, err)) {
        std::fprintf(stderr, "synth: %s\n", err.c_str());
        return 1;
    }
    return 0;
}

int stats(const char* path) {
    std::vector<float> s;
    int rate;
    std::string err;
    if (!synth::readOgg(path, s, rate, err)) {
        std::fprintf(stderr, "synth: %s\n", err.c_str());
        return 1;
    }
    double sum = 0, peak = 0;
    for (float x : s) {
        sum += (double)x * x;
        peak = std::max(peak, (double)std::fabs(x));
    }
    double rms = s.empty() ? 0 : std::sqrt(sum / s.size());
    std::printf("%s: %d Hz, %zu samples, %.3f s, peak %.3f, rms %.4f, first %.4f, last %.4f\n", path, rate, s.size(),
                (double)s.size() / rate, peak, rms, s.empty() ? 0 : s.front(), s.empty() ? 0 : s.back());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    std::string cmd = argv[1];
    if (cmd == "render" && argc == 4) return render(argv[2], argv[3]);
    if (cmd == "view" && argc >= 4) return view(argc, argv);
    if (cmd == "stats" && argc == 3) return stats(argv[2]);
    return usage();
}
