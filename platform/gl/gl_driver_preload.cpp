// Loading the OpenGL driver is the longest part of making the game's window:
// Mesa's driver and the LLVM it links are mapped and relocated, work for one
// core of some tens of milliseconds. Started on a thread of its own as the
// program begins, it runs beside SDL's video start on the main thread, and
// when the window asks for its driver the driver is there. Every Mesa driver
// is one and the same file, so loading it by one name serves all of them. A
// machine with another vendor's GLX library draws with that one: there the
// load is left out, as it would only cost memory.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gl/gl_device.h"
#include "platform/port/background_thread.h"

namespace {

#ifndef TARVIK_LIBRARY_ARCHITECTURE
#define TARVIK_LIBRARY_ARCHITECTURE ""
#endif

std::vector<std::string> LibraryFolders() {
    std::vector<std::string> folders;
    if (*TARVIK_LIBRARY_ARCHITECTURE) folders.push_back(std::string("/usr/lib/") + TARVIK_LIBRARY_ARCHITECTURE);
    folders.push_back("/usr/lib64");
    folders.push_back("/usr/lib");
    return folders;
}

bool AnotherVendor() {
    const char* vendor = std::getenv("__GLX_VENDOR_LIBRARY_NAME");
    if (vendor && *vendor && std::strcmp(vendor, "mesa") != 0) return true;
    for (const std::string& folder : LibraryFolders())
        if (access((folder + "/libGLX_nvidia.so.0").c_str(), F_OK) == 0) return true;
    return false;
}

// Where Mesa's loader looks: LIBGL_DRIVERS_PATH when it is set, else the
// system's driver folder.
std::string MesaDriverFile() {
    std::vector<std::string> folders;
    if (const char* path = std::getenv("LIBGL_DRIVERS_PATH"); path && *path) {
        std::string all(path);
        for (size_t start = 0; start <= all.size();) {
            const size_t end = std::min(all.find(':', start), all.size());
            if (end > start) folders.push_back(all.substr(start, end - start));
            start = end + 1;
        }
    } else {
        for (const std::string& folder : LibraryFolders()) folders.push_back(folder + "/dri");
    }
    for (const std::string& folder : folders) {
        const std::string file = folder + "/swrast_dri.so";
        if (access(file.c_str(), R_OK) == 0) return file;
    }
    return {};
}

}  // namespace

void StartLoadingGlDriver() {
    static bool started = false;
    if (started) return;
    started = true;
    if (AnotherVendor()) return;
    std::string file = MesaDriverFile();
    if (file.empty()) return;
    // The flags Mesa's loader uses, so its own load finds this one as it is.
    // Never closed: the driver stays for as long as the program draws; the
    // thread is never waited for but by a fork.
    new BackgroundThread([file] { dlopen(file.c_str(), RTLD_NOW | RTLD_GLOBAL); });
}
