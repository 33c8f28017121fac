// The allocator behind every object and buffer of the program.
//
// MemAlloc never returns null: when the heap cannot supply the block it throws SString with the
// out-of-memory message. Blocks are not cleared. Safe on every thread (main, render, music timer).
//
// Objects are made with NewObject, which allocates with MemAlloc, constructs in place and gives the
// block back if the constructor throws; DeleteObject destroys, frees and nulls the pointer, and does
// nothing for a null pointer, so a second release is harmless.
//
//     SImage* pFrame = NewObject<SImage>(320, 240);
//     DeleteObject(pFrame);   // pFrame is now null
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

// The allocator's out-of-memory message, in the user's language.
const char* OutOfMemoryText();

// Returns a block of at least dwSize bytes, aligned for any fundamental type. Throws SString.
void* MemAlloc(size_t dwSize);
// Gives back a block from MemAlloc; null is ignored.
void MemFree(void* pBlock);

template <class T, class... Args>
T* NewObject(Args&&... args) {
    static_assert(alignof(T) <= alignof(std::max_align_t), "MemAlloc gives fundamental alignment only");
    void* pBlock = MemAlloc(sizeof(T));
    try {
        return ::new (pBlock) T(std::forward<Args>(args)...);
    } catch (...) {
        MemFree(pBlock);
        throw;
    }
}

template <class T>
void DeleteObject(T*& pObject) {
    if (pObject == nullptr) {
        return;
    }
    T* pDoomed = pObject;
    pObject = nullptr;
    // Objects are deleted through their own static type or a base with a virtual destructor; the block
    // starts at the most derived object, which dynamic_cast<void*> finds for polymorphic types.
    void* pBlock;
    if constexpr (std::is_polymorphic_v<T>) {
        pBlock = dynamic_cast<void*>(pDoomed);
    } else {
        pBlock = pDoomed;
    }
    pDoomed->~T();
    MemFree(pBlock);
}
