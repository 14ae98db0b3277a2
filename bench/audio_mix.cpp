// What the sound output costs: the audio callback's time per mixed block with
// four sounds playing, and how long a sound takes from Play to the first
// non-silent sample in the stream. Runs on SDL's dummy output unless another
// driver is named.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/core/dsound_common.h"
#include "platform/desktop/desktop.h"
#include "platform/sdl/dsound_sdl.h"
#include "bench/quick.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Meter {
    std::atomic<long long> blocks{0};
    std::atomic<long long> frames{0};
    std::atomic<double> micros{0.0};
    std::atomic<bool> armed{false};
    std::atomic<long long> heardAt{0};  // steady-clock nanoseconds of the first non-silent block after arming
};

void Observe(const std::int16_t* samples, int frames, double mixMicros, void* user) {
    auto* m = static_cast<Meter*>(user);
    m->blocks.fetch_add(1);
    m->frames.fetch_add(frames);
    m->micros.store(m->micros.load() + mixMicros);
    if (m->armed.load() && m->heardAt.load() == 0) {
        for (int i = 0; i < frames * OUTPUT_CHANNELS; ++i)
            if (samples[i] != 0) {
                m->heardAt.store(Clock::now().time_since_epoch().count());
                break;
            }
    }
}

IDirectSoundBuffer* MakeSound(IDirectSound8* device, WORD channels, DWORD rate, WORD bits, double seconds) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = WORD(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    const DWORD bytes = DWORD(seconds * rate) * f.nBlockAlign;
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), 0, bytes, 0, &f, GUID_NULL, "bench"};
    IDirectSoundBuffer* b = nullptr;
    if (FAILED(device->CreateSoundBuffer(&desc, &b, nullptr))) return nullptr;
    void* p = nullptr;
    DWORD n = 0;
    b->Lock(0, bytes, &p, &n, nullptr, nullptr, 0);
    auto* out = static_cast<BYTE*>(p);
    for (DWORD i = 0; i < n; ++i) out[i] = BYTE(0x41 + (i * 13) % 90);  // never silent in 8 or 16 bits
    b->Unlock(p, n, nullptr, 0);
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = QuickRun(argc, argv);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    // The game's own sound back-end, which no program has but the one that installs it.
    InstallBackends(DesktopBackends());
    IDirectSound8* device = nullptr;
    if (FAILED(DirectSoundCreate8(nullptr, &device, nullptr))) {
        std::fprintf(stderr, "no audio device\n");
        return 1;
    }
    device->SetCooperativeLevel(nullptr, DSSCL_PRIORITY);
    std::vector<IDirectSoundBuffer*> sounds = {
        MakeSound(device, 2, 22050, 16, 3.0), MakeSound(device, 1, 11025, 8, 2.0),
        MakeSound(device, 1, 44100, 16, 1.0), MakeSound(device, 2, 22050, 8, 0.5),
    };
    for (IDirectSoundBuffer* s : sounds)
        if (!s) {
            std::fprintf(stderr, "could not make the sounds\n");
            return 1;
        }

    Meter meter;
    SetMixObserver(&Observe, &meter);
    for (IDirectSoundBuffer* s : sounds) s->Play(0, 0, DSBPLAY_LOOPING);
    std::this_thread::sleep_for(quick ? 200ms : 2000ms);
    for (IDirectSoundBuffer* s : sounds) s->Stop();
    const long long blocks = meter.blocks.load();
    const double perBlock = blocks ? meter.micros.load() / double(blocks) : 0.0;
    const double framesPerBlock = blocks ? double(meter.frames.load()) / double(blocks) : 0.0;

    // Latency: a one-shot sound started from silence, many times over.
    std::vector<double> latencies;
    for (int trial = 0; trial < (quick ? 3 : 25); ++trial) {
        // Let the stream go silent, and start at a different point of the block cycle each time.
        std::this_thread::sleep_for(30ms + std::chrono::milliseconds((trial * 7) % 23));
        meter.heardAt.store(0);
        meter.armed.store(true);
        sounds[1]->SetCurrentPosition(0);
        const long long start = Clock::now().time_since_epoch().count();
        sounds[1]->Play(0, 0, 0);
        const auto limit = Clock::now() + 1s;
        while (meter.heardAt.load() == 0 && Clock::now() < limit) std::this_thread::sleep_for(200us);
        meter.armed.store(false);
        sounds[1]->Stop();
        if (long long heard = meter.heardAt.load()) latencies.push_back(double(heard - start) / 1e6);
    }
    SetMixObserver(nullptr, nullptr);
    for (IDirectSoundBuffer* s : sounds) s->Release();
    device->Release();

    std::sort(latencies.begin(), latencies.end());
    std::printf("audio_mix_callback_four_sounds %.2f us\n", perBlock);
    std::printf("audio_mix_block %.0f frames\n", framesPerBlock);
    std::printf("audio_mix_blocks_measured %lld blocks\n", blocks);
    if (latencies.empty()) {
        std::printf("play_to_first_sound_median nan ms\n");
        return 1;
    }
    std::printf("play_to_first_sound_median %.2f ms\n", latencies[latencies.size() / 2]);
    std::printf("play_to_first_sound_max %.2f ms\n", latencies.back());
    return 0;
}
