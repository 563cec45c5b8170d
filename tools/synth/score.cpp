// Reads a score in the notation described at the top of main.cpp.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "synth.h"

namespace synth {

namespace {

struct Reader {
    Score& score;
    std::string& err;
    std::string file;
    int line = 0;
    Pattern* pattern = nullptr;
    // each voice line of the current pattern, collected before the pattern is closed
    std::vector<std::string> tokens[NUM_CHANNELS];
    std::vector<int> tokenLines[NUM_CHANNELS];

    Reader(Score& s, std::string& e) : score(s), err(e) {}

    bool fail(const std::string& msg) {
        err = file + ":" + std::to_string(line) + ": " + msg;
        return false;
    }
};

std::string lower(std::string s) {
    for (char& c : s) c = (char)std::tolower((unsigned char)c);
    return s;
}

std::vector<std::string> splitWords(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

std::vector<std::string> splitList(const std::string& s) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == ',') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

bool toDouble(const std::string& s, double& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return end && *end == 0;
}

bool toInt(const std::string& s, int& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    long l = std::strtol(s.c_str(), &end, 10);
    if (!end || *end != 0) return false;
    v = (int)l;
    return true;
}

int channelFromName(const std::string& name) {
    std::string n = lower(name);
    if (n == "p1" || n == "pulse1") return PULSE1;
    if (n == "p2" || n == "pulse2") return PULSE2;
    if (n == "tri" || n == "triangle") return TRIANGLE;
    if (n == "noi" || n == "noise") return NOISE;
    return -1;
}

bool waveFitsChannel(Wave w, int ch) {
    if (ch == TRIANGLE) return w == WAVE_TRIANGLE;
    if (ch == NOISE) return w == WAVE_NOISE;
    return w == WAVE_PULSE;
}

// "C#4", "Eb", "b3": the semitone number (MIDI numbering, C4 = 60); the octave is taken from
// and written back to oct. Returns the characters used, 0 when s holds no note name.
size_t parseNoteName(const std::string& s, size_t at, int& oct, double& pitch) {
    static const int SEMI[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
    size_t i = at;
    if (i >= s.size()) return 0;
    char c = (char)std::tolower((unsigned char)s[i]);
    if (c < 'a' || c > 'g') return 0;
    int semi = SEMI[c - 'a'];
    i++;
    while (i < s.size() && (s[i] == '#' || s[i] == 'b')) {
        semi += s[i] == '#' ? 1 : -1;
        i++;
    }
    if (i < s.size() && std::isdigit((unsigned char)s[i])) {
        oct = s[i] - '0';
        i++;
    }
    pitch = 12.0 * (oct + 1) + semi;
    return i - at;
}

// "n12": a noise period index 0..15
size_t parseNoisePeriod(const std::string& s, size_t at, double& pitch) {
    size_t i = at;
    if (i >= s.size() || (s[i] != 'n' && s[i] != 'N')) return 0;
    i++;
    size_t digits = i;
    int v = 0;
    while (i < s.size() && std::isdigit((unsigned char)s[i])) v = v * 10 + (s[i++] - '0');
    if (i == digits || v > 15) return 0;
    pitch = v;
    return i - at;
}

// "8", "4.", "2+8", "4*3", "12": a length in quarter notes
bool parseLength(const std::string& s, double& beats) {
    beats = 0;
    size_t i = 0;
    double mul = 1;
    size_t star = s.find('*');
    std::string body = s;
    if (star != std::string::npos) {
        if (!toDouble(s.substr(star + 1), mul) || mul <= 0) return false;
        body = s.substr(0, star);
    }
    while (i < body.size()) {
        int den = 0;
        size_t digits = i;
        while (i < body.size() && std::isdigit((unsigned char)body[i])) den = den * 10 + (body[i++] - '0');
        if (i == digits || den <= 0) return false;
        double term = 4.0 / den, add = term;
        while (i < body.size() && body[i] == '.') {
            add /= 2;
            term += add;
            i++;
        }
        beats += term;
        if (i < body.size()) {
            if (body[i] != '+') return false;
            i++;
            if (i == body.size()) return false;
        }
    }
    beats *= mul;
    return beats > 0;
}

bool parseDutyValue(const std::string& s, int& idx) {
    if (s == "12" || s == "12.5") idx = 0;
    else if (s == "25") idx = 1;
    else if (s == "50") idx = 2;
    else if (s == "75") idx = 3;
    else return false;
    return true;
}

bool parseInstrument(Reader& r, const std::vector<std::string>& w, bool drum) {
    if (w.size() < 3) return r.fail("expected: " + w[0] + " NAME WAVE [key=value ...]");
    Instrument ins;
    ins.name = w[1];
    std::string wave = lower(w[2]);
    if (wave == "pulse") ins.wave = WAVE_PULSE;
    else if (wave == "pulse12" || wave == "pulse25" || wave == "pulse50" || wave == "pulse75") {
        ins.wave = WAVE_PULSE;
        int d = 2;
        parseDutyValue(wave.substr(5), d);
        ins.duty = {d};
    } else if (wave == "triangle") ins.wave = WAVE_TRIANGLE;
    else if (wave == "noise") ins.wave = WAVE_NOISE;
    else if (wave == "noise-short") {
        ins.wave = WAVE_NOISE;
        ins.shortNoise = true;
    } else return r.fail("unknown wave '" + w[2] + "' (pulse, pulse12/25/50/75, triangle, noise, noise-short)");
    if (ins.wave == WAVE_TRIANGLE) ins.sustain = 15;

    for (size_t i = 3; i < w.size(); i++) {
        size_t eq = w[i].find('=');
        if (eq == std::string::npos) return r.fail("expected key=value, got '" + w[i] + "'");
        std::string key = lower(w[i].substr(0, eq)), val = w[i].substr(eq + 1);
        std::vector<std::string> list = splitList(val);
        if (key == "vol") {
            if (!toInt(val, ins.vol) || ins.vol < 0 || ins.vol > 15) return r.fail("vol is 0..15");
            if (ins.sustain > ins.vol) ins.sustain = ins.vol;
        } else if (key == "env") {
            if (list.size() != 4 || !toInt(list[0], ins.attack) || !toInt(list[1], ins.decay) ||
                !toInt(list[2], ins.sustain) || !toInt(list[3], ins.release) || ins.attack < 0 ||
                ins.decay < 0 || ins.release < 0 || ins.sustain < 0 || ins.sustain > 15)
                return r.fail("env=attack,decay,sustain,release (frames, frames, 0..15, frames)");
        } else if (key == "volseq") {
            ins.volSeq.clear();
            for (auto& v : list) {
                int x;
                if (!toInt(v, x) || x < 0 || x > 15) return r.fail("volseq values are 0..15");
                ins.volSeq.push_back(x);
            }
        } else if (key == "duty") {
            ins.duty.clear();
            for (auto& v : list) {
                int d;
                if (!parseDutyValue(v, d)) return r.fail("duty values are 12, 25, 50 or 75");
                ins.duty.push_back(d);
            }
        } else if (key == "gate") {
            if (!toDouble(val, ins.gate) || ins.gate <= 0 || ins.gate > 1) return r.fail("gate is in (0, 1]");
        } else if (key == "vib") {
            if (list.size() != 3 || !toInt(list[0], ins.vibDelay) || !toDouble(list[1], ins.vibDepth) ||
                !toDouble(list[2], ins.vibRate))
                return r.fail("vib=delay,depth,rate (frames, cents, Hz)");
        } else if (key == "arp") {
            ins.arp.clear();
            for (auto& v : list) {
                int x;
                if (!toInt(v, x)) return r.fail("arp values are semitones");
                ins.arp.push_back(x);
            }
        } else if (key == "arpspeed") {
            if (!toInt(val, ins.arpSpeed) || ins.arpSpeed < 1) return r.fail("arpspeed is frames >= 1");
        } else if (key == "sweep") {
            if (!toDouble(val, ins.sweep)) return r.fail("sweep is semitones per frame");
        } else if (key == "pitch") {
            int oct = 4;
            size_t used = ins.wave == WAVE_NOISE ? parseNoisePeriod(val, 0, ins.pitch)
                                                  : parseNoteName(val, 0, oct, ins.pitch);
            if (!used || used != val.size())
                return r.fail("pitch is a note like C3, or n0..n15 for noise");
            ins.hasPitch = true;
        } else {
            return r.fail("unknown instrument setting '" + key + "'");
        }
    }
    if (drum) {
        if (!ins.hasPitch) return r.fail("a drum needs pitch=");
        int oct = 4;
        double p;
        if (parseNoteName(ins.name, 0, oct, p) == ins.name.size() ||
            parseNoisePeriod(ins.name, 0, p) == ins.name.size() || ins.name == "r" || ins.name == "_")
            return r.fail("drum name '" + ins.name + "' reads as a note");
        r.score.drums[ins.name] = ins;
    } else {
        r.score.instruments[ins.name] = ins;
    }
    return true;
}

// expands [ ... ]n repeats (n defaults to 2, nesting allowed)
bool expandRepeats(Reader& r, const std::vector<std::string>& in, const std::vector<int>& lines, size_t& i,
                   std::vector<std::string>& out, std::vector<int>& outLines, bool nested) {
    while (i < in.size()) {
        const std::string& t = in[i];
        if (t == "[") {
            i++;
            std::vector<std::string> body;
            std::vector<int> bodyLines;
            if (!expandRepeats(r, in, lines, i, body, bodyLines, true)) return false;
            // i now points at the closing token
            int times = 2;
            const std::string& close = in[i];
            if (close.size() > 1 && !toInt(close.substr(1), times)) {
                r.line = lines[i];
                return r.fail("a repeat closes with ] or ]N");
            }
            for (int k = 0; k < times; k++) {
                out.insert(out.end(), body.begin(), body.end());
                outLines.insert(outLines.end(), bodyLines.begin(), bodyLines.end());
            }
            i++;
        } else if (t[0] == ']') {
            if (!nested) {
                r.line = lines[i];
                return r.fail("] without [");
            }
            return true;
        } else {
            out.push_back(t);
            outLines.push_back(lines[i]);
            i++;
        }
    }
    if (nested) return r.fail("[ without ]");
    return true;
}

bool closePattern(Reader& r) {
    Pattern* p = r.pattern;
    if (!p) return true;
    double longest = 0;
    for (int ch = 0; ch < NUM_CHANNELS; ch++) {
        std::vector<std::string> toks;
        std::vector<int> lines;
        size_t at = 0;
        if (!expandRepeats(r, r.tokens[ch], r.tokenLines[ch], at, toks, lines, false)) return false;

        const Instrument* ins = r.score.voiceDefault[ch];
        int oct = 4, vol = 15;
        double len = 1, beat = 0;
        std::vector<PatternNote>& notes = p->voices[ch];
        for (size_t k = 0; k < toks.size(); k++) {
            const std::string& t = toks[k];
            r.line = lines[k];
            if (t == "|") {
                if (p->barBeatsNum > 0) {
                    double bar = p->barBeatsNum * 4.0 / p->barBeatsDen;
                    double rem = std::fmod(beat, bar);
                    if (std::fabs(rem) > 1e-6 && std::fabs(rem - bar) > 1e-6)
                        return r.fail("bar line at beat " + std::to_string(beat) + " is not at the end of a bar");
                }
                continue;
            }
            if (t[0] == '@') {
                auto it = r.score.instruments.find(t.substr(1));
                if (it == r.score.instruments.end()) return r.fail("unknown instrument '" + t + "'");
                if (!waveFitsChannel(it->second.wave, ch)) return r.fail("instrument '" + t + "' does not fit this voice");
                ins = &it->second;
                continue;
            }
            if ((t[0] == 'v' || t[0] == 'o') && t.size() > 1 && std::isdigit((unsigned char)t[1])) {
                int x;
                if (!toInt(t.substr(1), x)) return r.fail("bad setting '" + t + "'");
                if (t[0] == 'v') {
                    if (x > 15) return r.fail("volume is v0..v15");
                    vol = x;
                } else {
                    if (x > 8) return r.fail("octave is o0..o8");
                    oct = x;
                }
                continue;
            }

            // a note, rest, tie or drum, then an optional slide and length
            std::string head = t, lenText;
            size_t slash = t.find('/');
            if (slash != std::string::npos) {
                head = t.substr(0, slash);
                lenText = t.substr(slash + 1);
            }
            std::string slideText;
            size_t gt = lenText.find('>');
            if (gt != std::string::npos) {
                slideText = lenText.substr(gt + 1);
                lenText = lenText.substr(0, gt);
            }
            gt = head.find('>');
            if (gt != std::string::npos) {
                slideText = head.substr(gt + 1);
                head = head.substr(0, gt);
            }
            if (!lenText.empty() && !parseLength(lenText, len)) return r.fail("bad length in '" + t + "'");

            PatternNote n;
            n.beat = beat;
            n.length = len;
            n.vol = vol;
            n.ins = ins;
            auto drum = r.score.drums.find(head);
            if (head == "r") {
                n.rest = true;
            } else if (head == "_") {
                if (notes.empty() || notes.back().rest) return r.fail("_ continues a note, but there is none");
                notes.back().length += len;
                beat += len;
                continue;
            } else if (drum != r.score.drums.end()) {
                if (!waveFitsChannel(drum->second.wave, ch)) return r.fail("drum '" + head + "' does not fit this voice");
                n.ins = &drum->second;
                n.pitch = drum->second.pitch;
                n.noisePitch = ch == NOISE;
            } else if (ch == NOISE) {
                if (parseNoisePeriod(head, 0, n.pitch) != head.size() || head.empty())
                    return r.fail("the noise voice plays n0..n15 or drums, not '" + head + "'");
                n.noisePitch = true;
            } else {
                if (head.empty() || parseNoteName(head, 0, oct, n.pitch) != head.size())
                    return r.fail("not a note: '" + t + "'");
            }
            if (!slideText.empty()) {
                int slideOct = oct;
                size_t used = ch == NOISE ? parseNoisePeriod(slideText, 0, n.pitchTo)
                                          : parseNoteName(slideText, 0, slideOct, n.pitchTo);
                if (used != slideText.size() || n.rest) return r.fail("bad slide in '" + t + "'");
                n.slide = true;
            }
            if (!n.rest && !n.ins) return r.fail("no instrument for this voice (use @name or a voice line)");
            notes.push_back(n);
            beat += len;
        }
        longest = std::max(longest, beat);
    }
    p->beats = longest;
    if (longest <= 0) return r.fail("pattern '" + p->name + "' is empty");
    if (p->barBeatsNum > 0) {
        double bar = p->barBeatsNum * 4.0 / p->barBeatsDen;
        double rem = std::fmod(longest, bar);
        if (std::fabs(rem) > 1e-6 && std::fabs(rem - bar) > 1e-6)
            return r.fail("pattern '" + p->name + "' does not end at a bar line");
    }
    if (p->seconds > 0) p->tempo = p->beats * 60.0 / p->seconds;
    for (int ch = 0; ch < NUM_CHANNELS; ch++) {
        r.tokens[ch].clear();
        r.tokenLines[ch].clear();
    }
    r.pattern = nullptr;
    return true;
}

bool readFile(Reader& r, const std::string& path, int depth);

bool handleLine(Reader& r, const std::string& raw, const std::string& dir, int depth) {
    std::string text = raw.substr(0, raw.find(';'));
    std::vector<std::string> w = splitWords(text);
    if (w.empty()) return true;
    std::string key = lower(w[0]);

    // a voice line of the current pattern: "P1: ..." or "P1 ..."
    std::string chName = w[0];
    std::vector<std::string> rest(w.begin() + 1, w.end());
    if (!chName.empty() && chName.back() == ':') chName.pop_back();
    else if (chName.find(':') != std::string::npos) {
        size_t c = chName.find(':');
        rest.insert(rest.begin(), chName.substr(c + 1));
        chName = chName.substr(0, c);
    }
    int ch = channelFromName(chName);
    if (ch >= 0) {
        if (!r.pattern) return r.fail("a voice line outside a pattern");
        for (auto& t : rest) {
            r.tokens[ch].push_back(t);
            r.tokenLines[ch].push_back(r.line);
        }
        return true;
    }

    if (key == "pattern") {
        if (!closePattern(r)) return false;
        if (w.size() < 2) return r.fail("pattern NAME [tempo=BPM | seconds=S] [time=N/D]");
        if (r.score.patterns.count(w[1])) return r.fail("pattern '" + w[1] + "' defined twice");
        Pattern& p = r.score.patterns[w[1]];
        p.name = w[1];
        for (size_t i = 2; i < w.size(); i++) {
            size_t eq = w[i].find('=');
            std::string k = lower(w[i].substr(0, eq)), v = eq == std::string::npos ? "" : w[i].substr(eq + 1);
            if (k == "tempo") {
                if (!toDouble(v, p.tempo) || p.tempo <= 0) return r.fail("tempo is quarter notes per minute");
            } else if (k == "seconds") {
                if (!toDouble(v, p.seconds) || p.seconds <= 0) return r.fail("seconds is the pattern's duration");
            } else if (k == "time") {
                size_t sl = v.find('/');
                if (sl == std::string::npos || !toInt(v.substr(0, sl), p.barBeatsNum) ||
                    !toInt(v.substr(sl + 1), p.barBeatsDen) || p.barBeatsNum <= 0 || p.barBeatsDen <= 0)
                    return r.fail("time=N/D, e.g. time=4/4");
            } else {
                return r.fail("unknown pattern setting '" + k + "'");
            }
        }
        r.pattern = &p;
        return true;
    }
    if (!closePattern(r)) return false;

    if (key == "title") {
        size_t at = text.find(w[0]) + w[0].size();
        r.score.title = splitWords(text.substr(at)).empty() ? "" : text.substr(text.find_first_not_of(" \t", at));
    } else if (key == "rate") {
        if (w.size() != 2 || !toInt(w[1], r.score.rate) || (r.score.rate != 44100 && r.score.rate != 48000))
            return r.fail("rate is 44100 or 48000");
    } else if (key == "gain") {
        if (w.size() != 2 || !toDouble(w[1], r.score.gain) || r.score.gain <= 0) return r.fail("gain is > 0");
    } else if (key == "quality") {
        if (w.size() != 2 || !toDouble(w[1], r.score.quality) || r.score.quality < -0.1 || r.score.quality > 1)
            return r.fail("quality is -0.1..1");
    } else if (key == "tail") {
        if (w.size() != 2 || !toDouble(w[1], r.score.tail) || r.score.tail < 0) return r.fail("tail is seconds >= 0");
    } else if (key == "expect-loop") {
        if (w.size() != 3 || !toDouble(w[1], r.score.expectLoopStart) || !toDouble(w[2], r.score.expectLoopEnd))
            return r.fail("expect-loop START END (seconds)");
        r.score.hasExpectLoop = true;
    } else if (key == "instrument" || key == "drum") {
        return parseInstrument(r, w, key == "drum");
    } else if (key == "voice") {
        int c = w.size() == 3 ? channelFromName(w[1]) : -1;
        if (c < 0) return r.fail("voice P1|P2|TRI|NOISE INSTRUMENT");
        auto it = r.score.instruments.find(w[2]);
        if (it == r.score.instruments.end()) return r.fail("unknown instrument '" + w[2] + "'");
        if (!waveFitsChannel(it->second.wave, c)) return r.fail("instrument '" + w[2] + "' does not fit this voice");
        r.score.voiceDefault[c] = &it->second;
    } else if (key == "include") {
        if (w.size() != 2) return r.fail("include FILE");
        if (depth > 4) return r.fail("includes nest too deeply");
        std::string saveFile = r.file;
        int saveLine = r.line;
        bool ok = readFile(r, dir + w[1], depth + 1);
        if (ok) {
            r.file = saveFile;
            r.line = saveLine;
        }
        return ok;
    } else if (key == "song") {
        for (size_t i = 1; i < w.size(); i++) {
            std::string t = w[i];
            if (t == "[") {
                if (r.score.loopFrom >= 0) return r.fail("one [ per song");
                r.score.loopFrom = (int)r.score.song.size();
                continue;
            }
            if (t == "]") {
                if (r.score.loopFrom < 0 || i + 1 != w.size()) return r.fail("] closes the loop at the end of the song");
                continue;
            }
            SongEntry e;
            size_t sign = t.find_first_of("+-");
            std::string name = t.substr(0, sign);
            if (sign != std::string::npos && !toInt(t.substr(sign), e.transpose))
                return r.fail("bad transposition in '" + t + "'");
            auto it = r.score.patterns.find(name);
            if (it == r.score.patterns.end()) return r.fail("unknown pattern '" + name + "'");
            e.pattern = &it->second;
            r.score.song.push_back(e);
        }
    } else {
        return r.fail("unknown line starting with '" + w[0] + "'");
    }
    return true;
}

bool readFile(Reader& r, const std::string& path, int depth) {
    std::ifstream in(path);
    r.file = path;
    r.line = 0;
    if (!in) return r.fail("cannot open");
    std::string dir;
    size_t slash = path.rfind('/');
    if (slash != std::string::npos) dir = path.substr(0, slash + 1);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        r.line = ++number;
        if (!handleLine(r, line, dir, depth)) return false;
        r.file = path;
    }
    return true;
}

}  // namespace

bool parseScore(const std::string& path, Score& score, std::string& err) {
    score.path = path;
    Reader r(score, err);
    if (!readFile(r, path, 0)) return false;
    r.file = path;
    if (!closePattern(r)) return false;
    if (score.song.empty()) {
        err = path + ": no song line";
        return false;
    }
    return true;
}

}  // namespace synth
