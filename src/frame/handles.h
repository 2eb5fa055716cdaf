#pragma once
// Owners of kernel objects: each releases what it holds when its scope ends, so that no
// exit path has to close a file or free a block by hand.
#include <windows.h>

#include <utility>

// Owns one kernel object and hands it to `release` at the end of its scope, or earlier at
// Close (for a file that must be free before a message shows). Null means none, and so
// does INVALID_HANDLE_VALUE, CreateFile's none.
template <BOOL(WINAPI *release)(HANDLE)>
class Owned {
public:
    explicit Owned(HANDLE handle = NULL) : handle_(handle == INVALID_HANDLE_VALUE ? NULL : handle) {}
    ~Owned() { Close(); }
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;

    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != NULL; }
    void Close()
    {
        if (handle_)
            release(handle_);
        handle_ = NULL;
    }

private:
    HANDLE handle_;
};

using OwnedHandle = Owned<CloseHandle>;  // a file, thread or event
using OwnedHeap = Owned<HeapDestroy>;    // a private heap

// A zero-filled movable memory block, locked for as long as it is held: the form of the
// design entry lists handed to the link library. Unlocked and freed at Free or at the end
// of its owner's scope. It moves, never copies.
class MovableBlock {
public:
    MovableBlock() = default;
    ~MovableBlock() { Free(); }
    MovableBlock(MovableBlock &&other) noexcept { *this = std::move(other); }
    MovableBlock &operator=(MovableBlock &&other) noexcept;
    MovableBlock(const MovableBlock &) = delete;
    MovableBlock &operator=(const MovableBlock &) = delete;

    // Frees what is held, then allocates and locks `size` bytes: the locked address, or
    // null (nothing held) when the block cannot be had.
    void *Allocate(SIZE_T size);
    void *Data() const { return data_; }
    void Free();

private:
    HGLOBAL block_ = NULL;
    void *data_ = nullptr;
};
