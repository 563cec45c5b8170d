// Ogg Vorbis files in and out, and the spectrogram picture used to look at them.
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "synth.h"

namespace synth {

bool writeOgg(const std::string& path, const std::vector<float>& samples, int rate, double quality,
              const std::string& title, std::string& err) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        err = path + ": cannot write";
        return false;
    }
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 1, rate, (float)quality) != 0) {
        vorbis_info_clear(&vi);
        std::fclose(f);
        err = path + ": the encoder refused its settings";
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    if (!title.empty()) vorbis_comment_add_tag(&vc, "TITLE", title.c_str());
    vorbis_comment_add_tag(&vc, "ALBUM", "Ember Spire");

    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    // a fixed serial number keeps the build reproducible
    ogg_stream_init(&os, 0x56454B31);

    ogg_packet header, headerComm, headerCode;
    vorbis_analysis_headerout(&vd, &vc, &header, &headerComm, &headerCode);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &headerComm);
    ogg_stream_packetin(&os, &headerCode);
    ogg_page og;
    bool ok = true;
    while (ogg_stream_flush(&os, &og) != 0) {
        ok &= std::fwrite(og.header, 1, og.header_len, f) == (size_t)og.header_len;
        ok &= std::fwrite(og.body, 1, og.body_len, f) == (size_t)og.body_len;
    }

    const size_t CHUNK = 4096;
    size_t pos = 0;
    bool eos = false;
    while (!eos) {
        size_t n = std::min(CHUNK, samples.size() - pos);
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buf = vorbis_analysis_buffer(&vd, (int)n);
            std::copy(samples.begin() + pos, samples.begin() + pos + n, buf[0]);
            vorbis_analysis_wrote(&vd, (int)n);
            pos += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (!eos && ogg_stream_pageout(&os, &og) != 0) {
                    ok &= std::fwrite(og.header, 1, og.header_len, f) == (size_t)og.header_len;
                    ok &= std::fwrite(og.body, 1, og.body_len, f) == (size_t)og.body_len;
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
        if (n == 0) eos = true;
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    ok &= std::fclose(f) == 0;
    if (!ok) err = path + ": write failed";
    return ok;
}

bool readOgg(const std::string& path, std::vector<float>& samples, int& rate, std::string& err) {
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) {
        err = path + ": not an Ogg Vorbis file";
        return false;
    }
    vorbis_info* vi = ov_info(&vf, -1);
    rate = (int)vi->rate;
    int channels = vi->channels;
    samples.clear();
    for (;;) {
        float** pcm;
        int bitstream;
        long n = ov_read_float(&vf, &pcm, 4096, &bitstream);
        if (n <= 0) break;
        for (long i = 0; i < n; i++) {
            float s = 0;
            for (int c = 0; c < channels; c++) s += pcm[c][i];
            samples.push_back(s / channels);
        }
    }
    ov_clear(&vf);
    return true;
}

namespace {

void fft(std::vector<std::complex<double>>& a) {
    size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; i++) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        double ang = -2 * M_PI / (double)len;
        std::complex<double> wl(std::cos(ang), std::sin(ang));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (size_t j = 0; j < len / 2; j++) {
                std::complex<double> u = a[i + j], v = a[i + j + len / 2] * w;
                a[i + j] = u + v;
                a[i + j + len / 2] = u - v;
                w *= wl;
            }
        }
    }
}

void heat(double v, unsigned char* px) {
    v = std::max(0.0, std::min(1.0, v));
    px[0] = (unsigned char)(255 * std::min(1.0, v * 3));
    px[1] = (unsigned char)(255 * std::min(1.0, std::max(0.0, v * 3 - 1)));
    px[2] = (unsigned char)(255 * std::max(0.0, v * 3 - 2));
}

}  // namespace

bool writeSpectrogram(const std::string& path, const std::vector<float>& samples, int rate, double fromSec,
                      double toSec, std::string& err) {
    const int SPEC_H = 256, WAVE_H = 120, N = 2048;
    int64_t a = std::max<int64_t>(0, (int64_t)(fromSec * rate));
    int64_t b = std::min<int64_t>((int64_t)samples.size(), toSec > 0 ? (int64_t)(toSec * rate) : (int64_t)samples.size());
    if (b <= a) {
        err = "empty range";
        return false;
    }
    int width = (int)std::min<int64_t>(1600, b - a);
    double hop = (double)(b - a) / width;
    std::vector<unsigned char> img((size_t)width * (SPEC_H + WAVE_H) * 3, 0);
    std::vector<std::complex<double>> buf(N);
    for (int x = 0; x < width; x++) {
        int64_t c = a + (int64_t)(x * hop);
        for (int i = 0; i < N; i++) {
            int64_t k = c - N / 2 + i;
            double w = 0.5 - 0.5 * std::cos(2 * M_PI * i / (N - 1));
            buf[i] = (k >= 0 && k < (int64_t)samples.size()) ? samples[(size_t)k] * w : 0.0;
        }
        fft(buf);
        // rows on a logarithmic frequency axis from 40 Hz to 16 kHz
        for (int y = 0; y < SPEC_H; y++) {
            double f0 = 40 * std::pow(400.0, (double)(SPEC_H - 1 - y) / SPEC_H);
            double f1 = 40 * std::pow(400.0, (double)(SPEC_H - y) / SPEC_H);
            int k0 = (int)(f0 * N / rate), k1 = std::max(k0 + 1, (int)(f1 * N / rate));
            double m = 0;
            for (int k = k0; k < k1 && k < N / 2; k++) m = std::max(m, std::abs(buf[k]));
            double db = 20 * std::log10(m / (N / 4) + 1e-9);
            heat((db + 70) / 70, &img[((size_t)y * width + x) * 3]);
        }
        // the waveform: minimum to maximum of the column
        float lo = 1, hi = -1;
        for (int64_t k = c; k < std::min<int64_t>(b, c + (int64_t)hop + 1); k++) {
            lo = std::min(lo, samples[(size_t)k]);
            hi = std::max(hi, samples[(size_t)k]);
        }
        int mid = SPEC_H + WAVE_H / 2;
        int y0 = mid - (int)(hi * (WAVE_H / 2 - 1)), y1 = mid - (int)(lo * (WAVE_H / 2 - 1));
        for (int y = SPEC_H; y < SPEC_H + WAVE_H; y++) {
            unsigned char* px = &img[((size_t)y * width + x) * 3];
            bool on = y >= y0 && y <= y1;
            px[0] = on ? 120 : (y == mid ? 60 : 20);
            px[1] = on ? 220 : (y == mid ? 60 : 20);
            px[2] = on ? 120 : (y == mid ? 60 : 30);
        }
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        err = path + ": cannot write";
        return false;
    }
    std::fprintf(f, "P6\n%d %d\n255\n", width, SPEC_H + WAVE_H);
    std::fwrite(img.data(), 1, img.size(), f);
    std::fclose(f);
    return true;
}

}  // namespace synth
