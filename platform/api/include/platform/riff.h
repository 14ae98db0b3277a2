// A small read-only reader for RIFF files, standing in for the Windows mmio
// functions the wave loader is written against: descend into a chunk (or
// search one by identifier within its parent), ascend out of it, read and seek.
// Every chunk it hands out starts inside its parent and has its size cut to
// what the file holds, so a caller that stays within a chunk's size can never
// read past the data.
#pragma once

#include <cstdio>

#include "platform/wintypes.h"

// Four-character code as it is stored in the file (first character in the low byte).
constexpr DWORD MakeFourCC(char a, char b, char c, char d) {
    return DWORD(BYTE(a)) | (DWORD(BYTE(b)) << 8) | (DWORD(BYTE(c)) << 16) | (DWORD(BYTE(d)) << 24);
}

constexpr DWORD FOURCC_RIFF = MakeFourCC('R', 'I', 'F', 'F');
constexpr DWORD FOURCC_LIST = MakeFourCC('L', 'I', 'S', 'T');

// What the reader knows about a chunk it descended into.
struct MMCKINFO {
    DWORD ckid = 0;         // chunk identifier
    DWORD cksize = 0;       // size of the chunk's data in the file, without header and pad byte
    DWORD fccType = 0;      // form type of a "RIFF" or "LIST" chunk
    DWORD dwDataOffset = 0; // file offset of the chunk's data
    DWORD dwFlags = 0;
};

// Descend flags: search the parent for a chunk with the given identifier, or
// for a "RIFF" chunk with the given form type.
constexpr UINT MMIO_FINDCHUNK = 0x0010;
constexpr UINT MMIO_FINDRIFF = 0x0020;

class RiffReader {
public:
    RiffReader() = default;
    ~RiffReader();
    RiffReader(const RiffReader&) = delete;
    RiffReader& operator=(const RiffReader&) = delete;

    // Opens a file for reading. False when it cannot be opened or is not a
    // regular file of a size the reader can address.
    bool Open(const char* path);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    DWORD FileSize() const { return fileSize_; }
    DWORD Position() const { return position_; }

    // Reads the chunk header at the current position (within `parent` when
    // given, else within the file) into `chunk` and leaves the position at the
    // chunk's data. With MMIO_FINDCHUNK (or MMIO_FINDRIFF) the chunks of the
    // parent are walked from the current position until one matches
    // `chunk->ckid` (or is a "RIFF" chunk of form type `chunk->fccType`).
    // A chunk whose size runs past the end of the file gets the size of what
    // is there. Fails on a truncated header, a "RIFF" chunk without room for
    // its form type, and when no chunk matches; the position is then undefined.
    bool Descend(MMCKINFO* chunk, const MMCKINFO* parent, UINT flags);

    // Moves the position behind `chunk` and its pad byte, if any.
    bool Ascend(const MMCKINFO& chunk);

    // Reads up to `count` bytes; returns how many were read (0 at the end).
    DWORD Read(void* buffer, DWORD count);

    // Moves to an absolute offset within the file. False beyond its end.
    bool Seek(DWORD offset);

private:
    bool ReadHeader(DWORD limit, MMCKINFO* chunk);

    std::FILE* file_ = nullptr;
    DWORD fileSize_ = 0;
    DWORD position_ = 0;
};
