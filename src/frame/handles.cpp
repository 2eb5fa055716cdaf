#include "frame/handles.h"

MovableBlock &MovableBlock::operator=(MovableBlock &&other) noexcept
{
    if (this != &other) {
        Free();
        block_ = other.block_;
        data_ = other.data_;
        other.block_ = NULL;
        other.data_ = nullptr;
    }
    return *this;
}

void *MovableBlock::Allocate(SIZE_T size)
{
    Free();
    block_ = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    data_ = block_ ? GlobalLock(block_) : nullptr;
    if (!data_)
        Free();
    return data_;
}

void MovableBlock::Free()
{
    if (block_) {
        if (data_)
            GlobalUnlock(block_);
        GlobalFree(block_);
    }
    block_ = NULL;
    data_ = nullptr;
}
