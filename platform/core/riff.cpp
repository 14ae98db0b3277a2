#include "platform/riff.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstring>

namespace {

DWORD LittleEndian32(const BYTE* p) {
    return DWORD(p[0]) | (DWORD(p[1]) << 8) | (DWORD(p[2]) << 16) | (DWORD(p[3]) << 24);
}

}  // namespace

RiffReader::~RiffReader() { Close(); }

bool RiffReader::Open(const char* path) {
    Close();
    if (!path) return false;
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    struct stat info {};
    if (fstat(fileno(f), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        std::uint64_t(info.st_size) > 0xFFFFFFFFull) {
        std::fclose(f);
        return false;
    }
    file_ = f;
    fileSize_ = DWORD(info.st_size);
    position_ = 0;
    return true;
}

void RiffReader::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    fileSize_ = 0;
    position_ = 0;
}

bool RiffReader::Seek(DWORD offset) {
    if (!file_ || offset > fileSize_) return false;
    if (std::fseek(file_, long(offset), SEEK_SET) != 0) return false;
    position_ = offset;
    return true;
}

DWORD RiffReader::Read(void* buffer, DWORD count) {
    if (!file_ || !buffer || count == 0) return 0;
    DWORD left = fileSize_ - position_;
    if (count > left) count = left;
    size_t got = std::fread(buffer, 1, count, file_);
    position_ += DWORD(got);
    return DWORD(got);
}

// Reads one chunk header at the current position; the header must end at or
// before `limit`. A size that runs past the end of the file is cut to what the
// file holds: a file cut short keeps what it has, and writers that count the
// RIFF header in the RIFF size, or never fill in the sizes, still give their
// data. A "RIFF" chunk needs its form type; a "LIST" too short for one has none.
bool RiffReader::ReadHeader(DWORD limit, MMCKINFO* chunk) {
    if (std::uint64_t(position_) + 8 > limit) return false;
    BYTE header[8];
    if (Read(header, 8) != 8) return false;
    MMCKINFO found;
    found.ckid = LittleEndian32(header);
    found.cksize = LittleEndian32(header + 4);
    found.dwDataOffset = position_;
    if (found.cksize > fileSize_ - found.dwDataOffset) found.cksize = fileSize_ - found.dwDataOffset;
    if (found.ckid == FOURCC_RIFF || (found.ckid == FOURCC_LIST && found.cksize >= 4)) {
        if (found.cksize < 4) return false;
        BYTE type[4];
        if (Read(type, 4) != 4) return false;
        found.fccType = LittleEndian32(type);
    }
    *chunk = found;
    return true;
}

bool RiffReader::Descend(MMCKINFO* chunk, const MMCKINFO* parent, UINT flags) {
    if (!file_ || !chunk) return false;
    DWORD limit = fileSize_;
    if (parent) {
        std::uint64_t end = std::uint64_t(parent->dwDataOffset) + parent->cksize;
        if (end > fileSize_) return false;
        limit = DWORD(end);
        if (position_ < parent->dwDataOffset) return false;
    }
    const DWORD wantedId = chunk->ckid;
    const DWORD wantedType = chunk->fccType;
    for (;;) {
        MMCKINFO found;
        if (!ReadHeader(limit, &found)) return false;
        bool match = true;
        if (flags & MMIO_FINDRIFF) {
            match = found.ckid == FOURCC_RIFF && found.fccType == wantedType;
        } else if (flags & MMIO_FINDCHUNK) {
            match = found.ckid == wantedId;
        }
        if (match) {
            *chunk = found;
            return true;
        }
        std::uint64_t next = std::uint64_t(found.dwDataOffset) + found.cksize + (found.cksize & 1u);
        if (next >= limit || !Seek(DWORD(next))) return false;
    }
}

bool RiffReader::Ascend(const MMCKINFO& chunk) {
    std::uint64_t end = std::uint64_t(chunk.dwDataOffset) + chunk.cksize;
    if (end > fileSize_) return false;
    // A writer may leave out the pad byte of a last chunk; that is no reason to fail.
    if ((chunk.cksize & 1u) && end < fileSize_) ++end;
    return Seek(DWORD(end));
}
