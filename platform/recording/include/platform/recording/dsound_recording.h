// A sound device without any output, for tests: it keeps the status of every
// buffer (playing, looping, lost, position) and a log of every call in order,
// with each buffer named after the file it was created from. Positions move
// only when a test says so (Advance), so a test decides when a sound ends.
//
//     auto sound = std::make_shared<SoundRecorder>();
//     UseRecordingSound(sound);                  // with CreateRecordingDirectSound installed
//     ... run a tick ...
//     size_t tick = sound->Mark();
//     ... run the next tick ...
//     EXPECT_EQ(sound->Starts("race_crash.wav", tick), 1u);
//     EXPECT_TRUE(sound->IsPlaying("race_hintergrund.wav"));
//     UseRecordingSound(nullptr);                // recording devices now fail
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/dsound.h"

// One call as the device saw it. `buffer` names the buffer ("primary" for the
// primary buffer, "" for calls on the device itself). For Play, `started`
// tells whether the call set a stopped buffer going.
struct SoundCall {
    std::string op;
    std::string buffer;
    DWORD arg1 = 0, arg2 = 0, arg3 = 0;
    HRESULT result = S_OK;
    bool started = false;
    // e.g. "Play media/race_crash.wav 0 0 LOOPING -> DS_OK started": the call's
    // arguments, constants by name (platform/recording/call_names.h), and its result.
    std::string ToString() const;
};

// The state of one buffer; kept after the buffer is released (`released`).
struct RecordedBuffer {
    std::string name;      // the file the samples came from, or "primary"
    bool primary = false;
    bool duplicate = false;
    WAVEFORMATEX format{};
    std::shared_ptr<std::vector<BYTE>> data;  // shared with duplicates
    DWORD position = 0;    // play position in bytes
    bool playing = false;
    bool looping = false;
    bool lost = false;
    bool released = false;
    bool volumeControl = false;  // made with DSBCAPS_CTRLVOLUME
    LONG volume = DSBVOLUME_MAX;  // a secondary buffer's own (the primary's is the recorder's mixVolume)
    const IDirectSoundBuffer* object = nullptr;  // the live buffer object; null once released
};

class SoundRecorder {
public:
    std::vector<SoundCall> calls;
    std::vector<std::shared_ptr<RecordedBuffer>> buffers;  // every buffer ever created, in order

    // Answers the device gives; a test sets them before the calls.
    HRESULT createResult = S_OK;            // DirectSoundCreate8, e.g. DSERR_NODRIVER
    HRESULT cooperativeLevelResult = S_OK;
    HRESULT createBufferResult = S_OK;      // a failure creates nothing; a success code (DS_NO_VIRTUALIZATION)
                                            // creates the buffer and is returned
    HRESULT duplicateResult = S_OK;
    std::deque<HRESULT> restoreResults;     // Restore answers these in turn, then succeeds

    // The volume of the whole mix: the primary buffer's, which every primary
    // buffer object of the device shares.
    LONG mixVolume = DSBVOLUME_MAX;

    // Where the log stands now; queries take it as `from` to look at what came after.
    size_t Mark() const { return calls.size(); }
    void ClearLog() { calls.clear(); }
    std::vector<std::string> Lines(size_t from = 0) const;

    // Calls named `op` (all if empty) on buffers named `buffer` (any if empty)
    // from `from` on. A name matches the whole name or its last path parts:
    // "race_crash.wav" matches "media/race_crash.wav".
    size_t Count(const std::string& op, const std::string& buffer = "", size_t from = 0) const;
    // Play calls that set a stopped buffer of that name going.
    size_t Starts(const std::string& buffer, size_t from = 0) const;

    // The newest buffer of that name that is not released, or null.
    RecordedBuffer* Find(const std::string& buffer);
    bool IsPlaying(const std::string& buffer);
    bool IsLooping(const std::string& buffer);  // playing and looping
    DWORD Position(const std::string& buffer);

    // Lets time pass for every playing buffer: looping ones wrap around,
    // others stop at their end and rewind to 0, as DirectSound does.
    void AdvanceBytes(DWORD bytes);
    void Advance(DWORD milliseconds);  // each buffer by its own byte rate

    // The device takes every buffer's memory away (contents are gone when restored).
    void LoseBuffers();

    static bool NameMatches(const std::string& name, const std::string& query);
};

// The sound factory of the recording back-end (for the sound slot of
// platform/core/backends.h): a device that reports to the recorder set with
// UseRecordingSound, DSERR_NODRIVER while there is none.
HRESULT CreateRecordingDirectSound(IDirectSound8** device);
// The recorder that recording sound devices made from now on report to.
void UseRecordingSound(std::shared_ptr<SoundRecorder> recorder);
