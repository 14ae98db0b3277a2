// Makes the game's four sounds as RIFF WAVE files in the media folder, all
// synthesized:
//
//   race_hintergrund.wav  background loop, 6 s, 22050 Hz mono 16 bit
//   race_boxenluder.wav   title tune, 4.4 s, 22050 Hz stereo 16 bit
//   race_hupe.wav         horn, 0.6 s, 22050 Hz mono 8 bit
//   race_crash.wav        crash, 0.8 s, 44100 Hz mono 16 bit
//
//   make_sounds <media folder>
//
// The formats differ on purpose: the game's reader has to handle them all.
#include "tools/make_common.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// A sound being built: floating-point samples per channel.
struct Signal {
    int rate;
    std::vector<std::vector<double>> channels;
    Signal(int sampleRate, int channelCount, double seconds)
        : rate(sampleRate),
          channels(channelCount, std::vector<double>(static_cast<size_t>(std::lround(seconds * sampleRate)), 0.0)) {}
    size_t Length() const { return channels[0].size(); }
    // Adds a sample, wrapping round the end when `wrap` is set (for loops,
    // so that a note ringing past the end carries on at the start).
    void Add(int channel, long index, double value, bool wrap) {
        const long n = static_cast<long>(Length());
        if (wrap) {
            index = ((index % n) + n) % n;
        } else if (index < 0 || index >= n) {
            return;
        }
        channels[channel][static_cast<size_t>(index)] += value;
    }
    void Normalise(double peak) {
        double most = 1e-9;
        for (const auto& ch : channels) {
            for (double s : ch) {
                most = std::max(most, std::fabs(s));
            }
        }
        for (auto& ch : channels) {
            for (double& s : ch) {
                s *= peak / most;
            }
        }
    }
};

void PutU16(std::vector<unsigned char>& out, unsigned v) {
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}
void PutU32(std::vector<unsigned char>& out, unsigned v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}
void PutTag(std::vector<unsigned char>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

// RIFF WAVE, PCM: the "RIFF" chunk with form type "WAVE", a 16-byte "fmt "
// chunk and the "data" chunk (padded to an even size as RIFF asks).
std::vector<unsigned char> WaveBytes(const Signal& signal, int bits) {
    const unsigned channels = static_cast<unsigned>(signal.channels.size());
    const unsigned blockAlign = channels * static_cast<unsigned>(bits / 8);
    const unsigned dataSize = static_cast<unsigned>(signal.Length()) * blockAlign;
    const unsigned pad = dataSize % 2;
    std::vector<unsigned char> out;
    PutTag(out, "RIFF");
    PutU32(out, 4 + (8 + 16) + (8 + dataSize + pad));
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutU32(out, 16);
    PutU16(out, 1);  // PCM
    PutU16(out, channels);
    PutU32(out, static_cast<unsigned>(signal.rate));
    PutU32(out, static_cast<unsigned>(signal.rate) * blockAlign);
    PutU16(out, blockAlign);
    PutU16(out, static_cast<unsigned>(bits));
    PutTag(out, "data");
    PutU32(out, dataSize);
    for (size_t i = 0; i < signal.Length(); ++i) {
        for (const auto& ch : signal.channels) {
            const double s = std::min(1.0, std::max(-1.0, ch[i]));
            if (bits == 8) {
                out.push_back(static_cast<unsigned char>(std::lround(128.0 + s * 127.0)));
            } else {
                PutU16(out, static_cast<unsigned>(static_cast<int>(std::lround(s * 32767.0))) & 0xFFFF);
            }
        }
    }
    if (pad) {
        out.push_back(0);
    }
    return out;
}

double NoteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// A plucked bass note: a few harmonics, quick attack, exponential decay.
void Pluck(Signal& s, int channel, double start, double hz, double length, double gain, bool wrap) {
    const long first = std::lround(start * s.rate);
    const long count = std::lround(length * s.rate);
    for (long i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / s.rate;
        const double env = std::min(1.0, t / 0.006) * std::exp(-t / (length * 0.35));
        const double tone = std::sin(2 * kPi * hz * t) + 0.45 * std::sin(4 * kPi * hz * t) +
                            0.2 * std::sin(6 * kPi * hz * t);
        s.Add(channel, first + i, gain * env * tone, wrap);
    }
}

void Kick(Signal& s, int channel, double start, double gain, bool wrap) {
    const long first = std::lround(start * s.rate);
    const long count = std::lround(0.18 * s.rate);
    double phase = 0.0;
    for (long i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / s.rate;
        const double hz = 45.0 + 90.0 * std::exp(-t / 0.03);
        phase += 2 * kPi * hz / s.rate;
        s.Add(channel, first + i, gain * std::exp(-t / 0.06) * std::sin(phase), wrap);
    }
}

// Noise burst, high-passed by differencing: a hi-hat or snare rattle.
void Hat(Signal& s, int channel, double start, double length, double gain, tools::Rng& rng, bool wrap) {
    const long first = std::lround(start * s.rate);
    const long count = std::lround(length * s.rate);
    double last = 0.0;
    for (long i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / s.rate;
        const double noise = rng.Range(-1.0, 1.0);
        s.Add(channel, first + i, gain * std::exp(-t / (length * 0.3)) * (noise - last), wrap);
        last = noise;
    }
}

// Background: an engine drone with a driving bass line and drums. Every
// steady tone has a whole number of periods in the 6 s loop, and notes that
// ring past the end are wrapped to its start, so the loop has no click.
Signal Background() {
    constexpr double seconds = 6.0;
    Signal s(22050, 1, seconds);
    tools::Rng rng(9001);
    // Engine: two slightly detuned voices (55 and 55.5 Hz beat every 2 s),
    // rich in harmonics, with a 6 Hz throb.
    double phases[16];
    for (double& p : phases) {
        p = rng.Range(0.0, 2 * kPi);
    }
    for (size_t i = 0; i < s.Length(); ++i) {
        const double t = static_cast<double>(i) / s.rate;
        double engine = 0.0;
        for (int k = 1; k <= 12; ++k) {
            const double a = 1.0 / std::pow(k, 0.9);
            engine += a * std::sin(2 * kPi * 55.0 * k * t + phases[k]);
            engine += 0.6 * a * std::sin(2 * kPi * 55.5 * k * t + phases[k + 3]);
        }
        const double throb = 1.0 + 0.18 * std::sin(2 * kPi * 6.0 * t);
        s.channels[0][i] += 0.11 * engine * throb;
    }
    // Bass line in A minor, eighth notes at 120 beats a minute.
    const int line[24] = {45, 45, 57, 45, 48, 45, 50, 52, 45, 45, 57, 45, 43, 43, 55, 43,
                          41, 41, 53, 41, 43, 43, 47, 50};
    for (int i = 0; i < 24; ++i) {
        Pluck(s, 0, i * 0.25, NoteHz(line[i] - 12), 0.3, 0.45, true);
    }
    for (int beat = 0; beat < 12; ++beat) {
        Kick(s, 0, beat * 0.5, 0.7, true);
        Hat(s, 0, beat * 0.5 + 0.25, 0.05, 0.12, rng, true);
    }
    s.Normalise(0.8);
    return s;
}

// A square-ish lead voice with a little vibrato.
void Lead(Signal& s, int channel, double start, double hz, double length, double gain) {
    const long first = std::lround(start * s.rate);
    const long count = std::lround(length * s.rate);
    double phase = 0.0;
    for (long i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / s.rate;
        const double vibrato = 1.0 + 0.004 * std::sin(2 * kPi * 5.5 * t) * std::min(1.0, t / 0.15);
        phase += 2 * kPi * hz * vibrato / s.rate;
        double tone = 0.0;
        for (int k = 1; k <= 9; k += 2) {
            tone += std::sin(k * phase) / k;
        }
        const double env = std::min(1.0, t / 0.01) * std::min(1.0, (length - t) / 0.03) * (0.75 + 0.25 * std::exp(-t / 0.08));
        s.Add(channel, first + i, gain * env * tone, false);
    }
}

// Title tune: a cheerful fanfare in C major, lead on the right, bass on the
// left, ending on a held chord.
Signal TitleTune() {
    Signal s(22050, 2, 4.4);
    tools::Rng rng(4242);
    const double eighth = 0.2;
    const int melody[16] = {72, 76, 79, 84, 83, 79, 76, 79, 81, 77, 74, 77, 79, 83, 86, 84};
    for (int i = 0; i < 16; ++i) {
        const double len = eighth * 0.9;
        Lead(s, 1, i * eighth, NoteHz(melody[i]), len, 0.30);
        Lead(s, 0, i * eighth, NoteHz(melody[i]), len, 0.12);
    }
    const int bass[8] = {48, 55, 48, 55, 53, 50, 55, 43};
    for (int i = 0; i < 8; ++i) {
        Pluck(s, 0, i * 2 * eighth, NoteHz(bass[i]), 0.38, 0.5, false);
        Pluck(s, 1, i * 2 * eighth, NoteHz(bass[i]), 0.38, 0.2, false);
        Kick(s, 0, i * 2 * eighth, 0.35, false);
        Kick(s, 1, i * 2 * eighth, 0.35, false);
        Hat(s, 0, i * 2 * eighth + eighth, 0.06, 0.10, rng, false);
        Hat(s, 1, i * 2 * eighth + eighth, 0.06, 0.10, rng, false);
    }
    // Final chord, C major, held and fading.
    const double end = 16 * eighth;
    const int chord[4] = {60, 64, 67, 72};
    for (int i = 0; i < 4; ++i) {
        Lead(s, i % 2, end, NoteHz(chord[i]), 1.15, 0.16);
        Lead(s, 1 - i % 2, end, NoteHz(chord[i]), 1.15, 0.08);
    }
    Pluck(s, 0, end, NoteHz(36), 1.1, 0.6, false);
    Pluck(s, 1, end, NoteHz(36), 1.1, 0.3, false);
    for (int c = 0; c < 2; ++c) {
        for (size_t i = 0; i < s.Length(); ++i) {
            const double t = static_cast<double>(i) / s.rate;
            if (t > end) {
                s.channels[c][i] *= std::exp(-(t - end) / 0.45);
            }
        }
    }
    s.Normalise(0.85);
    return s;
}

// Horn: two tones a major third apart, buzzy (soft-clipped), like a car horn.
Signal Horn() {
    Signal s(22050, 1, 0.6);
    for (size_t i = 0; i < s.Length(); ++i) {
        const double t = static_cast<double>(i) / s.rate;
        const double raw = std::sin(2 * kPi * 392.0 * t) + 0.5 * std::sin(4 * kPi * 392.0 * t) +
                           std::sin(2 * kPi * 494.0 * t) + 0.5 * std::sin(4 * kPi * 494.0 * t);
        const double env = std::min(1.0, t / 0.015) * std::min(1.0, (0.6 - t) / 0.06);
        s.channels[0][i] = env * std::tanh(1.8 * raw) / std::tanh(1.8 * 3.0);
    }
    s.Normalise(0.85);
    return s;
}

// Crash: a thump, a burst of filtered noise that darkens as it dies away,
// the ring of struck metal, and a few rattling bits.
Signal Crash() {
    Signal s(44100, 1, 0.8);
    tools::Rng rng(1234);
    double low = 0.0;
    const double partials[5] = {317.0, 523.0, 1307.0, 2213.0, 3371.0};
    double phases[5];
    for (double& p : phases) {
        p = rng.Range(0.0, 2 * kPi);
    }
    for (size_t i = 0; i < s.Length(); ++i) {
        const double t = static_cast<double>(i) / s.rate;
        const double cutoff = 200.0 + 6000.0 * std::exp(-t / 0.12);
        const double alpha = 1.0 - std::exp(-2 * kPi * cutoff / s.rate);
        low += alpha * (rng.Range(-1.0, 1.0) - low);
        double value = 1.6 * low * std::exp(-t / 0.16);
        value += 0.9 * std::sin(2 * kPi * 58.0 * t) * std::exp(-t / 0.07);
        for (int k = 0; k < 5; ++k) {
            value += 0.12 * std::sin(2 * kPi * partials[k] * t + phases[k]) * std::exp(-t / (0.35 - 0.05 * k));
        }
        const double fade = std::min(1.0, t / 0.002) * std::min(1.0, (0.8 - t) / 0.05);
        s.channels[0][i] = value * fade;
    }
    // Rattles: short clicks scattered over the first half.
    for (int k = 0; k < 18; ++k) {
        const double start = 0.05 + rng.Uniform() * 0.4;
        Hat(s, 0, start, 0.015, 0.35 * std::exp(-start / 0.25), rng, false);
    }
    s.Normalise(0.9);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sounds <media folder>\n");
        return 2;
    }
    const std::string m = std::string(argv[1]) + "/";
    if (!tools::MakeDirectory(argv[1])) {
        return 1;
    }
    const bool ok = tools::WriteBinary(m + "race_hintergrund.wav", WaveBytes(Background(), 16)) &&
                    tools::WriteBinary(m + "race_boxenluder.wav", WaveBytes(TitleTune(), 16)) &&
                    tools::WriteBinary(m + "race_hupe.wav", WaveBytes(Horn(), 8)) &&
                    tools::WriteBinary(m + "race_crash.wav", WaveBytes(Crash(), 16));
    return ok ? 0 : 1;
}
