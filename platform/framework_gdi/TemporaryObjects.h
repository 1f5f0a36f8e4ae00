// The temporary objects FromHandle gives: one per handle and class in each thread, holding the handle
// without owning it, dropped once their handle is gone.
#pragma once

#include <map>
#include <memory>

namespace platform {

bool IsLiveHandle(const void* handle);

template <typename T, typename Handle> T* TemporaryObject(Handle handle) {
    struct CTemporary : T {
        ~CTemporary() override { this->Detach(); }
    };
    thread_local std::map<const void*, std::unique_ptr<T>> objects;
    if (!handle) {
        return nullptr;
    }
    if (objects.size() > 256) {
        std::erase_if(objects, [](const auto& entry) { return !IsLiveHandle(entry.first); });
    }
    auto& object = objects[handle];
    if (!object) {
        object = std::make_unique<CTemporary>();
        object->Attach(handle);
    }
    return object.get();
}

} // namespace platform
