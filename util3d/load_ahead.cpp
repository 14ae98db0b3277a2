// The worker of LoadAhead and the shelf its files wait on. One mutex guards
// the shelf; the worker reads and decodes outside it, having marked the file
// as under way, so the loader knows to wait for it rather than do it twice.
#include "util3d/load_ahead.h"

#include <condition_variable>
#include <map>
#include <mutex>

#include "platform/port/background_thread.h"
#include "util3d/file_name.h"

namespace {

// The texture names of an X file's materials, in file order.
std::vector<std::string> TextureNames(const XFile& file) {
    std::vector<std::string> names;
    for (const XObject& o : file.objects) {
        if (o.type != "TextureFilename" && o.type != "TextureFileName") continue;
        if (!o.values.empty() && o.values[0].kind == XValue::String && o.values[0].text < o.strings.size())
            names.push_back(o.strings[o.values[0].text]);
    }
    return names;
}

}  // namespace

struct LoadAhead::State {
    enum class Stage { UnderWay, Ready, Taken };
    // An X file (its parse) or an image (its mip levels) and the bytes it was made from.
    struct Entry {
        Stage stage = Stage::UnderWay;
        std::vector<std::uint8_t> bytes;
        XFile mesh;
        std::vector<Image> levels;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, Entry> shelf;  // by path; absent: not begun
    bool stopping = false;
    std::unique_ptr<BackgroundThread> worker;

    // Claims `path` for the worker; false when it is on the shelf already
    // (made, under way or taken by the loader).
    bool Claim(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping || shelf.count(path)) return false;
        shelf[path];
        return true;
    }

    // A failure is left to the loader, which meets it as it would have.
    void Put(const std::string& path, Entry made, bool ok) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            made.stage = ok ? Stage::Ready : Stage::Taken;
            shelf[path] = std::move(made);
        }
        changed.notify_all();
    }

    // What was made from exactly `bytes` at `path`, handed to `take`; false
    // when nothing was. A path not begun is left to the loader for good.
    template <class Take>
    bool TakeMade(const std::string& path, const std::vector<std::uint8_t>& bytes, Take take) {
        std::unique_lock<std::mutex> lock(mutex);
        auto found = shelf.find(path);
        if (found == shelf.end()) {
            if (!stopping) shelf[path].stage = Stage::Taken;
            return false;
        }
        changed.wait(lock, [&] { return found->second.stage != Stage::UnderWay; });
        Entry& e = found->second;
        if (e.stage != Stage::Ready || e.bytes != bytes) return false;
        take(e);
        e = Entry{};
        e.stage = Stage::Taken;
        return true;
    }

    void Run(const std::vector<std::string>& meshFiles) {
        std::string error;
        for (const std::string& meshFile : meshFiles) {
            // A mesh the loader has reached already is loaded with its textures by the loader.
            if (!Claim(meshFile)) continue;
            Entry mesh;
            const bool parsed = ReadWholeFile(meshFile, &mesh.bytes) &&
                                ParseXFile(mesh.bytes.data(), mesh.bytes.size(), &mesh.mesh, &error);
            const std::vector<std::string> names = parsed ? TextureNames(mesh.mesh) : std::vector<std::string>{};
            Put(meshFile, std::move(mesh), parsed);
            for (const std::string& name : names) {
                const std::string path = FindFileByWindowsName(name);
                if (path.empty() || !Claim(path)) continue;
                Entry image;
                Image decoded;
                const bool ok = ReadWholeFile(path, &image.bytes) &&
                                DecodeImage(image.bytes.data(), image.bytes.size(), &decoded, &error);
                if (ok) image.levels = MipChain(decoded);
                Put(path, std::move(image), ok);
            }
        }
    }
};

namespace {

std::mutex activeMutex;
std::weak_ptr<LoadAhead::State> active;

std::shared_ptr<LoadAhead::State> Active() {
    std::lock_guard<std::mutex> lock(activeMutex);
    return active.lock();
}

}  // namespace

LoadAhead::LoadAhead(std::vector<std::string> meshFiles) {
    std::lock_guard<std::mutex> lock(activeMutex);
    if (!active.expired()) return;
    state_ = std::make_shared<State>();
    active = state_;
    State* state = state_.get();
    state_->worker = std::make_unique<BackgroundThread>([state, files = std::move(meshFiles)] { state->Run(files); });
}

void LoadAhead::Finish() {
    if (state_) state_->worker->Join();
}

LoadAhead::~LoadAhead() {
    if (!state_) return;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stopping = true;
    }
    state_->worker->Join();
    std::lock_guard<std::mutex> lock(activeMutex);
    active.reset();
}

bool TakeImageMadeAhead(const std::string& path, const std::vector<std::uint8_t>& bytes, std::vector<Image>* levels) {
    const std::shared_ptr<LoadAhead::State> state = Active();
    return state && state->TakeMade(path, bytes, [&](LoadAhead::State::Entry& e) { *levels = std::move(e.levels); });
}

bool TakeXFileMadeAhead(const std::string& path, const std::vector<std::uint8_t>& bytes, XFile* file) {
    const std::shared_ptr<LoadAhead::State> state = Active();
    return state && state->TakeMade(path, bytes, [&](LoadAhead::State::Entry& e) { *file = std::move(e.mesh); });
}

std::vector<Image> MipChain(const Image& image) {
    std::vector<Image> levels{image};
    while (levels.back().width > 1 || levels.back().height > 1) levels.push_back(HalveImage(levels.back()));
    return levels;
}
