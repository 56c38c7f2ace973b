// Move-only owners for handles and allocations. Each kind is a one-line alias
// naming the value type and the procedure that releases it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

template <typename T, auto Release, T Invalid = T{}>
class UniqueOwner {
public:
    UniqueOwner() noexcept = default;
    explicit UniqueOwner(T value) noexcept : value_(value) {}
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;
    UniqueOwner(UniqueOwner&& other) noexcept : value_(other.release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueOwner() { reset(); }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Invalid; }

    // Gives up ownership, for a hand-off to a control or a caller.
    T release() noexcept { return std::exchange(value_, Invalid); }

    void reset(T value = Invalid) noexcept {
        T old = std::exchange(value_, value);
        if (old != Invalid) Release(old);
    }

    // Address for an out parameter; any value held before is released first.
    T* put() noexcept {
        reset();
        return &value_;
    }

private:
    T value_ = Invalid;
};

namespace owner_detail {
inline void CloseRegistryKey(HKEY key) noexcept { RegCloseKey(key); }
inline void DestroyImageList(HIMAGELIST list) noexcept { ImageList_Destroy(list); }
inline void DeleteGdiObject(HGDIOBJ object) noexcept { DeleteObject(object); }
inline void FreeLocalBlock(HLOCAL block) noexcept { LocalFree(block); }
inline void UnloadModule(HMODULE module) noexcept { FreeLibrary(module); }
inline void CloseWin32Handle(HANDLE handle) noexcept { CloseHandle(handle); }
}  // namespace owner_detail

using UniqueRegistryKey = UniqueOwner<HKEY, owner_detail::CloseRegistryKey>;
using UniqueImageList = UniqueOwner<HIMAGELIST, owner_detail::DestroyImageList>;
using UniqueGdiObject = UniqueOwner<HGDIOBJ, owner_detail::DeleteGdiObject>;
using UniqueLocalBlock = UniqueOwner<HLOCAL, owner_detail::FreeLocalBlock>;
using UniqueModule = UniqueOwner<HMODULE, owner_detail::UnloadModule>;
using UniqueWin32Handle = UniqueOwner<HANDLE, owner_detail::CloseWin32Handle>;

// Owns what CreateFile returned: its INVALID_HANDLE_VALUE becomes an empty owner.
inline UniqueWin32Handle OwnFileHandle(HANDLE file) noexcept {
    return UniqueWin32Handle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}
