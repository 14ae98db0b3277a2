#include "platform/recording/dsound_recording.h"

#include "platform/core/dsound_common.h"
#include "platform/core/lasting.h"
#include "platform/recording/call_names.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

// Released sound devices look their recorder up here, also from a static's
// destructor at exit.
std::shared_ptr<SoundRecorder>& ActiveRecorder() {
    static Lasting<std::shared_ptr<SoundRecorder>> recorder;
    return *recorder;
}

struct DeviceState {
    DWORD level = 0;
};

constexpr bool InVolumeRange(LONG volume) { return volume >= DSBVOLUME_MIN && volume <= DSBVOLUME_MAX; }

class RecordingBuffer : public RefCounted<IDirectSoundBuffer> {
public:
    RecordingBuffer(std::shared_ptr<SoundRecorder> recorder, std::shared_ptr<DeviceState> device,
                    std::shared_ptr<RecordedBuffer> state)
        : recorder_(std::move(recorder)), device_(std::move(device)), state_(std::move(state)) {
        state_->object = this;
    }
    ~RecordingBuffer() override {
        Log("Release", S_OK);
        state_->released = true;
        state_->playing = false;
        state_->object = nullptr;
    }

    HRESULT GetStatus(DWORD* status) override {
        if (!status) return Log("GetStatus", DSERR_INVALIDPARAM);
        *status = (state_->playing ? DSBSTATUS_PLAYING : 0) |
                  (state_->playing && state_->looping ? DSBSTATUS_LOOPING : 0) |
                  (state_->lost ? DSBSTATUS_BUFFERLOST : 0);
        return Log("GetStatus", S_OK, *status);
    }

    HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) override {
        if (state_->primary) return Log("GetCurrentPosition", DSERR_INVALIDCALL);
        if (playCursor) *playCursor = state_->position;
        if (writeCursor) *writeCursor = state_->position;
        return Log("GetCurrentPosition", S_OK, state_->position);
    }

    HRESULT SetFormat(const WAVEFORMATEX* format) override {
        DWORD channels = format ? format->nChannels : 0, rate = format ? format->nSamplesPerSec : 0,
              bits = format ? format->wBitsPerSample : 0;
        if (!state_->primary) return Log("SetFormat", DSERR_INVALIDCALL, channels, rate, bits);
        if (device_->level < DSSCL_PRIORITY) return Log("SetFormat", DSERR_PRIOLEVELNEEDED, channels, rate, bits);
        HRESULT hr = CheckBufferFormat(format);
        if (SUCCEEDED(hr)) state_->format = *format;
        return Log("SetFormat", hr, channels, rate, bits);
    }

    HRESULT Restore() override {
        HRESULT hr = S_OK;
        if (!recorder_->restoreResults.empty()) {
            hr = recorder_->restoreResults.front();
            recorder_->restoreResults.pop_front();
        }
        if (SUCCEEDED(hr) && state_->lost) {
            state_->lost = false;
            state_->position = 0;
            // The memory comes back, not what was in it: the owner has to refill it.
            std::fill(state_->data->begin(), state_->data->end(), BYTE(0));
        }
        return Log("Restore", hr);
    }

    HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                 DWORD flags) override {
        if (state_->primary) return Log("Lock", DSERR_INVALIDCALL, offset, bytes, flags);
        if (!part1 || !bytes1) return Log("Lock", DSERR_INVALIDPARAM, offset, bytes, flags);
        if (state_->lost) return Log("Lock", DSERR_BUFFERLOST, offset, bytes, flags);
        std::vector<BYTE>& data = *state_->data;
        const DWORD size = DWORD(data.size());
        if (flags & DSBLOCK_FROMWRITECURSOR) offset = state_->position;
        if (flags & DSBLOCK_ENTIREBUFFER) {
            offset = 0;
            bytes = size;
        }
        if (bytes == 0 || bytes > size || offset >= size) return Log("Lock", DSERR_INVALIDPARAM, offset, bytes, flags);
        const DWORD first = std::min(bytes, size - offset);
        *part1 = data.data() + offset;
        *bytes1 = first;
        if (part2) *part2 = first < bytes ? data.data() : nullptr;
        if (bytes2) *bytes2 = first < bytes && part2 ? bytes - first : 0;
        return Log("Lock", S_OK, offset, bytes, flags);
    }

    HRESULT Unlock(void* part1, DWORD bytes1, void*, DWORD bytes2) override {
        if (state_->primary) return Log("Unlock", DSERR_INVALIDCALL, bytes1, bytes2);
        const BYTE* begin = state_->data->data();
        const BYTE* p = static_cast<const BYTE*>(part1);
        if (part1 && (p < begin || p > begin + state_->data->size())) return Log("Unlock", DSERR_INVALIDPARAM);
        return Log("Unlock", S_OK, bytes1, bytes2);
    }

    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override {
        if (state_->primary) return Log("Play", DSERR_INVALIDCALL, reserved, priority, flags);
        if (reserved != 0) return Log("Play", DSERR_INVALIDPARAM, reserved, priority, flags);
        if (state_->lost) return Log("Play", DSERR_BUFFERLOST, reserved, priority, flags);
        bool started = !state_->playing;
        state_->playing = true;
        state_->looping = (flags & DSBPLAY_LOOPING) != 0;
        HRESULT hr = Log("Play", S_OK, reserved, priority, flags);
        recorder_->calls.back().started = started;
        return hr;
    }

    HRESULT Stop() override {
        if (state_->primary) return Log("Stop", DSERR_INVALIDCALL);
        state_->playing = false;
        return Log("Stop", S_OK);
    }

    HRESULT SetCurrentPosition(DWORD position) override {
        if (state_->primary) return Log("SetCurrentPosition", DSERR_INVALIDCALL, position);
        if (position > state_->data->size()) return Log("SetCurrentPosition", DSERR_INVALIDPARAM, position);
        state_->position = position;
        return Log("SetCurrentPosition", S_OK, position);
    }

    HRESULT SetVolume(LONG volume) override {
        const DWORD logged = static_cast<DWORD>(volume);
        if (!state_->volumeControl) return Log("SetVolume", DSERR_CONTROLUNAVAIL, logged);
        if (!InVolumeRange(volume)) return Log("SetVolume", DSERR_INVALIDPARAM, logged);
        // The primary buffer's volume is the device's: every primary buffer object shares it.
        (state_->primary ? recorder_->mixVolume : state_->volume) = volume;
        return Log("SetVolume", S_OK, logged);
    }

    HRESULT GetVolume(LONG* volume) override {
        if (!volume) return Log("GetVolume", DSERR_INVALIDPARAM);
        if (!state_->volumeControl) return Log("GetVolume", DSERR_CONTROLUNAVAIL);
        *volume = state_->primary ? recorder_->mixVolume : state_->volume;
        return Log("GetVolume", S_OK, static_cast<DWORD>(*volume));
    }

    const std::shared_ptr<RecordedBuffer>& State() const { return state_; }

private:
    HRESULT Log(const char* op, HRESULT result, DWORD a = 0, DWORD b = 0, DWORD c = 0) {
        SoundCall call;
        call.op = op;
        call.buffer = state_->name;
        call.arg1 = a;
        call.arg2 = b;
        call.arg3 = c;
        call.result = result;
        recorder_->calls.push_back(std::move(call));
        return result;
    }

    std::shared_ptr<SoundRecorder> recorder_;
    std::shared_ptr<DeviceState> device_;
    std::shared_ptr<RecordedBuffer> state_;
};

class RecordingDirectSound : public RefCounted<IDirectSound8> {
public:
    explicit RecordingDirectSound(std::shared_ptr<SoundRecorder> recorder)
        : recorder_(std::move(recorder)), device_(std::make_shared<DeviceState>()) {}
    ~RecordingDirectSound() override { Log("Release", S_OK); }

    HRESULT SetCooperativeLevel(HWND, DWORD level) override {
        HRESULT hr = recorder_->cooperativeLevelResult;
        if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) hr = DSERR_INVALIDPARAM;
        if (SUCCEEDED(hr)) device_->level = level;
        return Log("SetCooperativeLevel", hr, level);
    }

    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, void* outer) override {
        std::string name = desc && (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) ? "primary"
                           : desc && desc->sourceName                   ? desc->sourceName
                                                                        : "";
        DWORD flags = desc ? desc->dwFlags : 0, bytes = desc ? desc->dwBufferBytes : 0;
        if (!buffer || outer) return Log("CreateSoundBuffer", DSERR_INVALIDPARAM, name, flags, bytes);
        *buffer = nullptr;
        HRESULT hr = CheckBufferDesc(desc);
        if (SUCCEEDED(hr)) hr = recorder_->createBufferResult;
        if (FAILED(hr)) return Log("CreateSoundBuffer", hr, name, flags, bytes);
        try {
            auto state = std::make_shared<RecordedBuffer>();
            state->name = name;
            state->primary = (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0;
            state->volumeControl = (desc->dwFlags & DSBCAPS_CTRLVOLUME) != 0;
            if (!state->primary) state->format = PlainFormat(*desc->lpwfxFormat);
            state->data = std::make_shared<std::vector<BYTE>>(desc->dwBufferBytes, BYTE(0));
            *buffer = new RecordingBuffer(recorder_, device_, state);
            recorder_->buffers.push_back(state);
        } catch (const std::bad_alloc&) {
            return Log("CreateSoundBuffer", DSERR_OUTOFMEMORY, name, flags, bytes);
        }
        return Log("CreateSoundBuffer", hr, name, flags, bytes);
    }

    HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) override {
        std::shared_ptr<RecordedBuffer> source;
        for (auto& b : recorder_->buffers)
            if (original && b->object == original) source = b;
        std::string name = source ? source->name : "";
        if (!duplicate) return Log("DuplicateSoundBuffer", DSERR_INVALIDPARAM, name);
        *duplicate = nullptr;
        if (!source || source->primary) return Log("DuplicateSoundBuffer", DSERR_INVALIDCALL, name);
        HRESULT hr = recorder_->duplicateResult;
        if (FAILED(hr)) return Log("DuplicateSoundBuffer", hr, name);
        try {
            auto state = std::make_shared<RecordedBuffer>();
            state->name = source->name;
            state->duplicate = true;
            state->volumeControl = source->volumeControl;
            state->volume = source->volume;
            state->format = source->format;
            state->data = source->data;
            *duplicate = new RecordingBuffer(recorder_, device_, state);
            recorder_->buffers.push_back(state);
        } catch (const std::bad_alloc&) {
            return Log("DuplicateSoundBuffer", DSERR_OUTOFMEMORY, name);
        }
        return Log("DuplicateSoundBuffer", hr, name);
    }

    HRESULT Log(const char* op, HRESULT result, const std::string& buffer = "", DWORD a = 0, DWORD b = 0) {
        SoundCall call;
        call.op = op;
        call.buffer = buffer;
        call.arg1 = a;
        call.arg2 = b;
        call.result = result;
        recorder_->calls.push_back(std::move(call));
        return result;
    }
    HRESULT Log(const char* op, HRESULT result, DWORD a) { return Log(op, result, "", a); }

private:
    std::shared_ptr<SoundRecorder> recorder_;
    std::shared_ptr<DeviceState> device_;
};

}  // namespace

HRESULT CreateRecordingDirectSound(IDirectSound8** device) {
    std::shared_ptr<SoundRecorder> recorder = ActiveRecorder();
    if (!recorder) return DSERR_NODRIVER;
    SoundCall call;
    call.op = "DirectSoundCreate8";
    call.result = recorder->createResult;
    recorder->calls.push_back(call);
    if (FAILED(recorder->createResult)) return recorder->createResult;
    try {
        *device = new RecordingDirectSound(recorder);
    } catch (const std::bad_alloc&) {
        return DSERR_OUTOFMEMORY;
    }
    return S_OK;
}

std::string SoundCall::ToString() const {
    // The arguments each call has, by name where they are constants.
    const auto number = [](DWORD v) { return std::to_string(v); };
    std::vector<std::string> args;
    if (op == "SetCooperativeLevel") args = {CooperativeLevelName(arg1)};
    else if (op == "CreateSoundBuffer") args = {BufferCapsNames(arg1), number(arg2)};
    else if (op == "GetStatus") args = {BufferStatusNames(arg1)};
    else if (op == "GetCurrentPosition" || op == "SetCurrentPosition") args = {number(arg1)};
    else if (op == "SetFormat") args = {number(arg1), number(arg2), number(arg3)};
    else if (op == "Lock") args = {number(arg1), number(arg2), LockFlagNames(arg3)};
    else if (op == "Unlock") args = {number(arg1), number(arg2)};
    else if (op == "Play") args = {number(arg1), number(arg2), PlayFlagNames(arg3)};
    else if (op == "SetVolume" || op == "GetVolume") args = {std::to_string(static_cast<LONG>(arg1))};
    std::string s = op;
    if (!buffer.empty()) s += " " + buffer;
    for (const std::string& a : args) s += " " + a;
    s += " -> " + SoundResultName(result);
    if (started) s += " started";
    return s;
}

std::vector<std::string> SoundRecorder::Lines(size_t from) const {
    std::vector<std::string> lines;
    for (size_t i = from; i < calls.size(); ++i) lines.push_back(calls[i].ToString());
    return lines;
}

bool SoundRecorder::NameMatches(const std::string& name, const std::string& query) {
    if (query.empty() || name == query) return true;
    return name.size() > query.size() && name.compare(name.size() - query.size(), query.size(), query) == 0 &&
           name[name.size() - query.size() - 1] == '/';
}

size_t SoundRecorder::Count(const std::string& op, const std::string& buffer, size_t from) const {
    size_t n = 0;
    for (size_t i = from; i < calls.size(); ++i)
        if ((op.empty() || calls[i].op == op) && NameMatches(calls[i].buffer, buffer)) ++n;
    return n;
}

size_t SoundRecorder::Starts(const std::string& buffer, size_t from) const {
    size_t n = 0;
    for (size_t i = from; i < calls.size(); ++i)
        if (calls[i].op == "Play" && calls[i].started && NameMatches(calls[i].buffer, buffer)) ++n;
    return n;
}

RecordedBuffer* SoundRecorder::Find(const std::string& buffer) {
    for (auto it = buffers.rbegin(); it != buffers.rend(); ++it)
        if (!(*it)->released && NameMatches((*it)->name, buffer)) return it->get();
    return nullptr;
}

bool SoundRecorder::IsPlaying(const std::string& buffer) {
    RecordedBuffer* b = Find(buffer);
    return b && b->playing;
}

bool SoundRecorder::IsLooping(const std::string& buffer) {
    RecordedBuffer* b = Find(buffer);
    return b && b->playing && b->looping;
}

DWORD SoundRecorder::Position(const std::string& buffer) {
    RecordedBuffer* b = Find(buffer);
    return b ? b->position : 0;
}

namespace {
void AdvanceOne(RecordedBuffer& b, std::uint64_t bytes) {
    if (!b.playing || b.released || b.primary) return;
    const std::uint64_t size = b.data->size();
    std::uint64_t at = b.position + bytes;
    if (at < size) {
        b.position = DWORD(at);
    } else if (b.looping && size > 0) {
        b.position = DWORD(at % size);
    } else {
        b.position = 0;
        b.playing = false;
    }
}
}  // namespace

void SoundRecorder::AdvanceBytes(DWORD bytes) {
    for (auto& b : buffers) AdvanceOne(*b, bytes);
}

void SoundRecorder::Advance(DWORD milliseconds) {
    for (auto& b : buffers) {
        const std::uint64_t block = b->format.nBlockAlign ? b->format.nBlockAlign : 1;
        const std::uint64_t bytes = std::uint64_t(milliseconds) * b->format.nSamplesPerSec / 1000 * block;
        AdvanceOne(*b, bytes);
    }
}

void SoundRecorder::LoseBuffers() {
    for (auto& b : buffers) {
        if (b->released || b->primary) continue;
        b->lost = true;
        b->playing = false;
    }
}

void UseRecordingSound(std::shared_ptr<SoundRecorder> recorder) { ActiveRecorder() = std::move(recorder); }
