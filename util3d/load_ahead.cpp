// The worker of LoadAhead and the shelf its images wait on. One mutex guards
// the shelf; the worker decodes outside it, having marked the image as under
// way, so the loader knows to wait for it rather than decode it twice.
#include "util3d/load_ahead.h"

#include <condition_variable>
#include <fstream>
#include <map>
#include <mutex>

#include "platform/port/background_thread.h"
#include "util3d/file_name.h"
#include "util3d/xfile.h"

namespace {

constexpr std::size_t kMaxAheadFileBytes = std::size_t(64) << 20;

bool ReadWhole(const std::string& path, std::vector<std::uint8_t>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length <= 0 || std::uint64_t(length) > kMaxAheadFileBytes) return false;
    in.seekg(0);
    bytes->resize(static_cast<std::size_t>(length));
    return bool(in.read(reinterpret_cast<char*>(bytes->data()), length));
}

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
    struct Entry {
        Stage stage = Stage::UnderWay;
        std::vector<std::uint8_t> bytes;
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

    void Put(const std::string& path, std::vector<std::uint8_t> bytes, std::vector<Image> levels, bool ok) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            Entry& e = shelf[path];
            e.stage = ok ? Stage::Ready : Stage::Taken;  // a failure is left to the loader
            e.bytes = std::move(bytes);
            e.levels = std::move(levels);
        }
        changed.notify_all();
    }

    bool Stopping() {
        std::lock_guard<std::mutex> lock(mutex);
        return stopping;
    }

    void Run(const std::vector<std::string>& meshFiles) {
        for (const std::string& meshFile : meshFiles) {
            if (Stopping()) return;
            std::vector<std::uint8_t> bytes;
            XFile file;
            std::string error;
            if (!ReadWhole(meshFile, &bytes) || !ParseXFile(bytes.data(), bytes.size(), &file, &error)) continue;
            for (const std::string& name : TextureNames(file)) {
                const std::string path = FindFileByWindowsName(name);
                if (path.empty() || !Claim(path)) continue;
                std::vector<std::uint8_t> imageBytes;
                Image image;
                const bool ok = ReadWhole(path, &imageBytes) &&
                                DecodeImage(imageBytes.data(), imageBytes.size(), &image, &error);
                Put(path, std::move(imageBytes), ok ? MipChain(image) : std::vector<Image>{}, ok);
            }
        }
    }
};

namespace {

std::mutex activeMutex;
std::weak_ptr<LoadAhead::State> active;

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
    std::shared_ptr<LoadAhead::State> state;
    {
        std::lock_guard<std::mutex> lock(activeMutex);
        state = active.lock();
    }
    if (!state) return false;
    std::unique_lock<std::mutex> lock(state->mutex);
    auto found = state->shelf.find(path);
    if (found == state->shelf.end()) {
        // Not begun: the loader makes it, and the worker leaves it alone.
        if (!state->stopping) state->shelf[path].stage = LoadAhead::State::Stage::Taken;
        return false;
    }
    state->changed.wait(lock, [&] { return found->second.stage != LoadAhead::State::Stage::UnderWay; });
    LoadAhead::State::Entry& e = found->second;
    if (e.stage != LoadAhead::State::Stage::Ready || e.bytes != bytes) return false;
    *levels = std::move(e.levels);
    e.stage = LoadAhead::State::Stage::Taken;
    e.bytes.clear();
    e.bytes.shrink_to_fit();
    return true;
}

std::vector<Image> MipChain(const Image& image) {
    std::vector<Image> levels{image};
    while (levels.back().width > 1 || levels.back().height > 1) levels.push_back(HalveImage(levels.back()));
    return levels;
}
