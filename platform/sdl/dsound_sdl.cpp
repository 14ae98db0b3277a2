#include "platform/sdl/dsound_sdl.h"

#include "platform/core/dsound_common.h"
#include "platform/core/lasting.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace {

constexpr int BLOCK_FRAMES = 512;  // about 23 ms per mixed block

// Gains are fixed point with 16 fraction bits.
constexpr std::int32_t kUnityGain = 1 << 16;

// The amplitude factor of a DirectSound volume (hundredths of a decibel);
// the lowest volume is silence.
std::int32_t GainOfVolume(LONG volume) {
    if (volume <= DSBVOLUME_MIN) return 0;
    if (volume >= DSBVOLUME_MAX) return kUnityGain;
    return std::int32_t(std::lround(std::pow(10.0, double(volume) / 2000.0) * kUnityGain));
}

// ALSA's library prints its own complaints on the terminal: nine lines of
// them on a machine without a sound card, before the game says the same in
// one. SDL opens the library at run time; opened here first, it is the same
// library SDL then gets, and its messages go to a handler that drops them
// before SDL asks it for a device. Set once and for the whole run (the
// handler is one pointer that SDL's audio thread reads too), and the library
// is never closed, so the handler's address stays good. Without the library
// there is nothing to quieten.
void DropAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

void QuietenAlsa() {
    static std::once_flag once;
    std::call_once(once, [] {
        void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!alsa) return;
        using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
        using SetHandler = int (*)(Handler);
        if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"))) set(&DropAlsaMessage);
    });
}

std::atomic<MixObserver> mixObserver{nullptr};
std::atomic<void*> mixObserverUser{nullptr};

// The samples of one buffer and of its duplicates.
struct SampleData {
    WAVEFORMATEX format{};
    std::vector<BYTE> raw;                 // as the game wrote them; touched by the game's thread only
    std::vector<std::int16_t> converted;   // mixing format; read by the mixer under the device lock
    bool lost = false;                     // the contents are gone until a buffer over them is restored
};

// What the mixer needs of one secondary buffer. Guarded by the device lock.
struct Voice {
    std::shared_ptr<SampleData> data;
    size_t position = 0;  // in output frames
    bool playing = false;
    bool looping = false;
    bool lost = false;
    std::int32_t gain = kUnityGain;  // the buffer's own volume
    const IDirectSoundBuffer* owner = nullptr;  // the buffer this voice belongs to
};

class Output;
// The open outputs, for telling a removed device's events apart. A sound device
// object may be released by a static's destructor at exit: the registry lasts.
struct OutputRegistry {
    std::mutex lock;
    std::vector<Output*> outputs;
};
OutputRegistry& Registry() {
    static Lasting<OutputRegistry> registry;
    return *registry;
}

// The SDL side: the audio device, its callback and the voices it mixes.
class Output {
public:
    std::mutex lock;
    std::vector<std::shared_ptr<Voice>> voices;
    DWORD level = 0;  // cooperative level of the device object
    // The primary buffer's volume: that of the whole mix. Guarded by the lock.
    LONG mixVolume = DSBVOLUME_MAX;
    std::int32_t mixGain = kUnityGain;

    ~Output() { Close(); }

    // DS_OK, or why the output could not be opened: DSERR_NODRIVER when
    // there is no sound device (no audio driver of SDL could start, or the
    // one that did lists no output device), DSERR_GENERIC when a device is
    // there but fails to open (busy, refused, broken).
    HRESULT Start() {
        QuietenAlsa();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO | SDL_INIT_EVENTS) != 0) return DSERR_NODRIVER;
        sdlStarted_ = true;
        device_ = OpenDevice();
        if (!device_) {
            // Asked only now: some drivers list no devices but open a default.
            const HRESULT why = SDL_GetNumAudioDevices(0) == 0 ? DSERR_NODRIVER : DSERR_GENERIC;
            Close();
            return why;
        }
        SDL_AddEventWatch(&Output::WatchEvents, this);
        watching_ = true;
        std::lock_guard<std::mutex> guard(Registry().lock);
        Registry().outputs.push_back(this);
        return DS_OK;
    }

    void Close() {
        {
            std::lock_guard<std::mutex> guard(Registry().lock);
            auto& outputs = Registry().outputs;
            outputs.erase(std::remove(outputs.begin(), outputs.end(), this), outputs.end());
        }
        if (watching_) SDL_DelEventWatch(&Output::WatchEvents, this);
        watching_ = false;
        SDL_AudioDeviceID old;
        {
            std::lock_guard<std::mutex> guard(lock);
            old = device_;
            device_ = 0;
            for (auto& v : voices) v->playing = false;
        }
        // Never close while holding the lock: SDL waits for a callback that may be waiting for it.
        if (old) SDL_CloseAudioDevice(old);
        if (sdlStarted_) SDL_QuitSubSystem(SDL_INIT_AUDIO | SDL_INIT_EVENTS);
        sdlStarted_ = false;
    }

    SDL_AudioDeviceID Device() {
        std::lock_guard<std::mutex> guard(lock);
        return device_;
    }

    // Every buffer loses its memory, as DirectSound does when the device goes away.
    void MarkLost() {
        std::lock_guard<std::mutex> guard(lock);
        gone_ = true;
        for (auto& v : voices) {
            v->lost = true;
            v->playing = false;
            v->data->lost = true;
        }
    }

    // Opens the output again after it went away. DSERR_BUFFERLOST while it cannot.
    HRESULT Revive() {
        SDL_AudioDeviceID old;
        {
            std::lock_guard<std::mutex> guard(lock);
            if (!gone_) return DS_OK;
            if (!sdlStarted_) return DSERR_BUFFERLOST;  // the device object was released
            old = device_;
            device_ = 0;
        }
        if (old) SDL_CloseAudioDevice(old);
        SDL_AudioDeviceID fresh = OpenDevice();
        std::lock_guard<std::mutex> guard(lock);
        device_ = fresh;
        if (!fresh) return DSERR_BUFFERLOST;
        gone_ = false;
        return DS_OK;
    }

private:
    SDL_AudioDeviceID OpenDevice() {
        SDL_AudioSpec want{};
        want.freq = OUTPUT_RATE;
        want.format = AUDIO_S16SYS;
        want.channels = OUTPUT_CHANNELS;
        want.samples = BLOCK_FRAMES;
        want.callback = &Output::Mix;
        want.userdata = this;
        SDL_AudioSpec have{};
        SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (id) SDL_PauseAudioDevice(id, 0);
        return id;
    }

    static int SDLCALL WatchEvents(void* user, SDL_Event* event) {
        auto* self = static_cast<Output*>(user);
        if (event->type == SDL_AUDIODEVICEREMOVED && !event->adevice.iscapture &&
            event->adevice.which == self->Device()) {
            self->MarkLost();
        }
        return 0;
    }

    static void SDLCALL Mix(void* user, Uint8* stream, int length) {
        auto* self = static_cast<Output*>(user);
        auto start = std::chrono::steady_clock::now();
        const int frames = length / int(OUTPUT_CHANNELS * sizeof(std::int16_t));
        auto* out = reinterpret_cast<std::int16_t*>(stream);
        {
            std::lock_guard<std::mutex> guard(self->lock);
            self->MixLocked(out, frames);
        }
        double micros = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        if (MixObserver observer = mixObserver.load()) observer(out, frames, micros, mixObserverUser.load());
    }

    void MixLocked(std::int16_t* out, int frames) {
        const size_t samples = size_t(frames) * OUTPUT_CHANNELS;
        if (sum_.size() < samples) sum_.resize(samples);
        std::fill(sum_.begin(), sum_.begin() + std::ptrdiff_t(samples), 0);
        for (auto& v : voices) {
            if (!v->playing) continue;
            const std::vector<std::int16_t>& source = v->data->converted;
            const size_t total = source.size() / OUTPUT_CHANNELS;
            size_t done = 0;
            while (done < size_t(frames) && v->playing) {
                if (v->position >= total) {
                    v->position = 0;
                    if (!v->looping || total == 0) {
                        v->playing = false;  // a one-shot buffer stops at its end and rewinds
                        break;
                    }
                }
                size_t n = std::min(size_t(frames) - done, total - v->position);
                const std::int16_t* from = source.data() + v->position * OUTPUT_CHANNELS;
                std::int32_t* to = sum_.data() + done * OUTPUT_CHANNELS;
                if (v->gain == kUnityGain) {
                    for (size_t i = 0; i < n * OUTPUT_CHANNELS; ++i) to[i] += from[i];
                } else {
                    for (size_t i = 0; i < n * OUTPUT_CHANNELS; ++i)
                        to[i] += std::int32_t((std::int64_t(from[i]) * v->gain) >> 16);
                }
                v->position += n;
                done += n;
                if (v->position >= total) {
                    v->position = 0;
                    if (!v->looping) v->playing = false;
                }
            }
        }
        if (mixGain != kUnityGain) {
            for (size_t i = 0; i < samples; ++i) sum_[i] = std::int32_t((std::int64_t(sum_[i]) * mixGain) >> 16);
        }
        for (size_t i = 0; i < samples; ++i) out[i] = std::int16_t(std::clamp(sum_[i], -32768, 32767));
    }

    SDL_AudioDeviceID device_ = 0;
    bool sdlStarted_ = false;
    bool watching_ = false;
    bool gone_ = false;
    std::vector<std::int32_t> sum_;
};

// Position conversions between output frames and bytes of the buffer's format.
DWORD FramesToBytes(const WAVEFORMATEX& f, size_t outFrames) {
    std::uint64_t sourceFrames = std::uint64_t(outFrames) * f.nSamplesPerSec / OUTPUT_RATE;
    return DWORD(sourceFrames * f.nBlockAlign);
}
size_t BytesToFrames(const WAVEFORMATEX& f, DWORD bytes) {
    std::uint64_t sourceFrames = bytes / f.nBlockAlign;
    return size_t((sourceFrames * OUTPUT_RATE + f.nSamplesPerSec - 1) / f.nSamplesPerSec);
}

bool InVolumeRange(LONG volume) { return volume >= DSBVOLUME_MIN && volume <= DSBVOLUME_MAX; }

// SetVolume and GetVolume of a buffer (the primary buffer's volume is the
// whole mix's): a volume and its gain, kept under the output's lock.
HRESULT StoreVolume(bool control, Output& output, LONG volume, LONG& kept, std::int32_t& gain) {
    if (!control) return DSERR_CONTROLUNAVAIL;
    if (!InVolumeRange(volume)) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(output.lock);
    kept = volume;
    gain = GainOfVolume(volume);
    return DS_OK;
}

HRESULT ReadVolume(bool control, Output& output, const LONG& kept, LONG* volume) {
    if (!volume) return DSERR_INVALIDPARAM;
    if (!control) return DSERR_CONTROLUNAVAIL;
    std::lock_guard<std::mutex> guard(output.lock);
    *volume = kept;
    return DS_OK;
}

class SdlPrimaryBuffer : public RefCounted<IDirectSoundBuffer> {
public:
    SdlPrimaryBuffer(std::shared_ptr<Output> output, bool volumeControl)
        : output_(std::move(output)), volumeControl_(volumeControl) {}
    HRESULT GetStatus(DWORD* status) override {
        if (!status) return DSERR_INVALIDPARAM;
        *status = 0;
        return DS_OK;
    }
    HRESULT GetCurrentPosition(DWORD*, DWORD*) override { return DSERR_INVALIDCALL; }
    // The stream keeps its format; the request is checked and remembered only.
    HRESULT SetFormat(const WAVEFORMATEX* format) override {
        if (output_->level < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
        HRESULT hr = CheckBufferFormat(format);
        if (SUCCEEDED(hr)) format_ = *format;
        return hr;
    }
    HRESULT Restore() override { return DS_OK; }
    HRESULT Lock(DWORD, DWORD, void**, DWORD*, void**, DWORD*, DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT Unlock(void*, DWORD, void*, DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT Play(DWORD, DWORD, DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT Stop() override { return DSERR_INVALIDCALL; }
    HRESULT SetCurrentPosition(DWORD) override { return DSERR_INVALIDCALL; }
    // The volume of the whole mix, kept by the device for every primary buffer object.
    HRESULT SetVolume(LONG volume) override {
        return StoreVolume(volumeControl_, *output_, volume, output_->mixVolume, output_->mixGain);
    }
    HRESULT GetVolume(LONG* volume) override {
        return ReadVolume(volumeControl_, *output_, output_->mixVolume, volume);
    }

private:
    std::shared_ptr<Output> output_;
    bool volumeControl_;
    WAVEFORMATEX format_{};
};

class SdlBuffer : public RefCounted<IDirectSoundBuffer> {
public:
    SdlBuffer(std::shared_ptr<Output> output, std::shared_ptr<SampleData> data, bool volumeControl)
        : output_(std::move(output)), voice_(std::make_shared<Voice>()), volumeControl_(volumeControl) {
        voice_->data = std::move(data);
        voice_->owner = this;
        std::lock_guard<std::mutex> guard(output_->lock);
        output_->voices.push_back(voice_);
    }
    ~SdlBuffer() override {
        std::lock_guard<std::mutex> guard(output_->lock);
        auto& v = output_->voices;
        v.erase(std::remove(v.begin(), v.end(), voice_), v.end());
    }

    const std::shared_ptr<SampleData>& Data() const { return voice_->data; }

    HRESULT GetStatus(DWORD* status) override {
        if (!status) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> guard(output_->lock);
        *status = (voice_->playing ? DSBSTATUS_PLAYING : 0) |
                  (voice_->playing && voice_->looping ? DSBSTATUS_LOOPING : 0) |
                  (voice_->lost ? DSBSTATUS_BUFFERLOST : 0);
        return DS_OK;
    }

    HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) override {
        std::lock_guard<std::mutex> guard(output_->lock);
        DWORD bytes = FramesToBytes(Data()->format, voice_->position);
        if (playCursor) *playCursor = bytes;
        if (writeCursor) *writeCursor = bytes;
        return DS_OK;
    }

    HRESULT SetFormat(const WAVEFORMATEX*) override { return DSERR_INVALIDCALL; }

    HRESULT Restore() override {
        HRESULT hr = output_->Revive();
        if (FAILED(hr)) return hr;
        std::lock_guard<std::mutex> guard(output_->lock);
        if (voice_->lost) {
            voice_->lost = false;
            voice_->position = 0;
            SampleData& d = *voice_->data;
            if (d.lost) {
                // The memory comes back, not what was in it: the owner refills it.
                std::fill(d.raw.begin(), d.raw.end(), BYTE(0));
                std::fill(d.converted.begin(), d.converted.end(), std::int16_t(0));
                d.lost = false;
            }
        }
        return DS_OK;
    }

    HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                 DWORD flags) override {
        if (!part1 || !bytes1) return DSERR_INVALIDPARAM;
        SampleData& d = *Data();
        const DWORD size = DWORD(d.raw.size());
        {
            std::lock_guard<std::mutex> guard(output_->lock);
            if (voice_->lost) return DSERR_BUFFERLOST;
            if (flags & DSBLOCK_FROMWRITECURSOR) offset = FramesToBytes(d.format, voice_->position);
        }
        if (flags & DSBLOCK_ENTIREBUFFER) {
            offset = 0;
            bytes = size;
        }
        if (bytes == 0 || bytes > size || offset >= size) return DSERR_INVALIDPARAM;
        const DWORD first = std::min(bytes, size - offset);
        *part1 = d.raw.data() + offset;
        *bytes1 = first;
        if (part2) *part2 = first < bytes ? d.raw.data() : nullptr;
        if (bytes2) *bytes2 = first < bytes && part2 ? bytes - first : 0;
        return DS_OK;
    }

    HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) override {
        SampleData& d = *Data();
        if (!InBuffer(d, part1, bytes1) || !InBuffer(d, part2, bytes2)) return DSERR_INVALIDPARAM;
        // Converting here, once per fill, keeps the audio callback to adding and clamping.
        std::vector<std::int16_t> converted;
        try {
            converted = ConvertToOutput(d.format, d.raw.data(), DWORD(d.raw.size()));
        } catch (const std::bad_alloc&) {
            return DSERR_OUTOFMEMORY;
        }
        std::lock_guard<std::mutex> guard(output_->lock);
        d.converted.swap(converted);
        const size_t total = d.converted.size() / OUTPUT_CHANNELS;
        for (auto& v : output_->voices)
            if (v->data.get() == &d && v->position >= total) v->position = 0;
        return DS_OK;
    }

    HRESULT Play(DWORD reserved, DWORD, DWORD flags) override {
        if (reserved != 0) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> guard(output_->lock);
        if (voice_->lost) return DSERR_BUFFERLOST;
        voice_->looping = (flags & DSBPLAY_LOOPING) != 0;
        voice_->playing = true;
        return DS_OK;
    }

    HRESULT Stop() override {
        std::lock_guard<std::mutex> guard(output_->lock);
        voice_->playing = false;
        return DS_OK;
    }

    HRESULT SetCurrentPosition(DWORD position) override {
        SampleData& d = *Data();
        if (position > d.raw.size()) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> guard(output_->lock);
        size_t frames = BytesToFrames(d.format, position);
        voice_->position = frames < d.converted.size() / OUTPUT_CHANNELS ? frames : 0;
        return DS_OK;
    }

    HRESULT SetVolume(LONG volume) override {
        return StoreVolume(volumeControl_, *output_, volume, volume_, voice_->gain);
    }

    HRESULT GetVolume(LONG* volume) override { return ReadVolume(volumeControl_, *output_, volume_, volume); }

    bool VolumeControl() const { return volumeControl_; }

private:
    static bool InBuffer(const SampleData& d, const void* part, DWORD bytes) {
        if (!part) return bytes == 0;
        const BYTE* p = static_cast<const BYTE*>(part);
        const BYTE* begin = d.raw.data();
        return p >= begin && p <= begin + d.raw.size() && bytes <= size_t(begin + d.raw.size() - p);
    }

    std::shared_ptr<Output> output_;
    std::shared_ptr<Voice> voice_;
    bool volumeControl_;
    LONG volume_ = DSBVOLUME_MAX;
};

class SdlDirectSound : public RefCounted<IDirectSound8> {
public:
    explicit SdlDirectSound(std::shared_ptr<Output> output) : output_(std::move(output)) {}
    // Buffers that outlive the device stay valid objects, but nothing mixes them any more.
    ~SdlDirectSound() override { output_->Close(); }

    HRESULT SetCooperativeLevel(HWND, DWORD level) override {
        if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
        output_->level = level;
        return DS_OK;
    }

    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, void* outer) override {
        if (!buffer || outer) return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        HRESULT hr = CheckBufferDesc(desc);
        if (FAILED(hr)) return hr;
        try {
            if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
                *buffer = new SdlPrimaryBuffer(output_, (desc->dwFlags & DSBCAPS_CTRLVOLUME) != 0);
                return DS_OK;
            }
            auto data = std::make_shared<SampleData>();
            data->format = PlainFormat(*desc->lpwfxFormat);
            data->raw.assign(desc->dwBufferBytes, BYTE(0));
            *buffer = new SdlBuffer(output_, std::move(data), (desc->dwFlags & DSBCAPS_CTRLVOLUME) != 0);
        } catch (const std::bad_alloc&) {
            return DSERR_OUTOFMEMORY;
        }
        return DS_OK;
    }

    HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) override {
        if (!original || !duplicate) return DSERR_INVALIDPARAM;
        *duplicate = nullptr;
        std::shared_ptr<SampleData> data;
        {
            std::lock_guard<std::mutex> guard(output_->lock);
            for (auto& v : output_->voices)
                if (v->owner == original) data = v->data;
        }
        if (!data) return DSERR_INVALIDCALL;  // the primary buffer or another device's buffer
        // A duplicate has the original's controls and starts at full volume.
        const bool volumeControl = static_cast<SdlBuffer*>(original)->VolumeControl();
        try {
            *duplicate = new SdlBuffer(output_, std::move(data), volumeControl);
        } catch (const std::bad_alloc&) {
            return DSERR_OUTOFMEMORY;
        }
        return DS_OK;
    }

private:
    std::shared_ptr<Output> output_;
};

}  // namespace

HRESULT CreateSdlDirectSound(IDirectSound8** device) {
    if (!device) return DSERR_INVALIDPARAM;
    *device = nullptr;
    std::shared_ptr<Output> output;
    try {
        output = std::make_shared<Output>();
        const HRESULT started = output->Start();
        if (FAILED(started)) return started;
        *device = new SdlDirectSound(output);
    } catch (const std::bad_alloc&) {
        return DSERR_OUTOFMEMORY;
    }
    return DS_OK;
}

void SimulateAudioDeviceRemoval() {
    std::vector<SDL_AudioDeviceID> devices;
    {
        std::lock_guard<std::mutex> guard(Registry().lock);
        for (Output* o : Registry().outputs) devices.push_back(o->Device());
    }
    for (SDL_AudioDeviceID id : devices) {
        if (!id) continue;
        SDL_Event event{};
        event.type = SDL_AUDIODEVICEREMOVED;
        event.adevice.which = id;
        event.adevice.iscapture = 0;
        SDL_PushEvent(&event);
    }
}

void SetMixObserver(MixObserver observer, void* user) {
    mixObserver.store(nullptr);
    mixObserverUser.store(user);
    mixObserver.store(observer);
}
