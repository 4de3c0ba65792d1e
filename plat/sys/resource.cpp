// Resources of the running executable, read in place from its resource
// section (mapped with the image, so the data lives as long as the process).
#include "plat/sys/resource.h"

#include <mutex>

#include "plat/sys/files.h"
#include "plat/sys/resource_table.h"
#include "plat/sys/text.h"

// The linker defines these for the section when an object of the executable
// contributes to it; they are weak so that an executable without resources
// still links, with both null.
extern "C" {
extern const unsigned char __start_plat_rsrc[] __attribute__((weak, visibility("hidden")));
extern const unsigned char __stop_plat_rsrc[] __attribute__((weak, visibility("hidden")));
}

namespace plat {

namespace {

const restable::View* OwnTable() {
    static const restable::View* table = [] {
        auto* view = new restable::View; // lives as long as the image
        const unsigned char* start = __start_plat_rsrc;
        const unsigned char* stop = __stop_plat_rsrc;
        if (start == nullptr || stop == nullptr || stop <= start ||
            !view->Parse(start, size_t(stop - start))) {
            view->Parse(nullptr, 0);
        }
        return view;
    }();
    return table;
}

std::string KeyText(LPCWSTR key) {
    if (IS_INTRESOURCE(key))
        return "#" + std::to_string(unsigned(reinterpret_cast<uintptr_t>(key)));
    return restable::NormaliseKey(WideToUtf8(key));
}

bool IsOwnModule(HMODULE module) {
    return module == nullptr || module == GetModuleHandle(nullptr);
}

} // namespace

HRSRC FindResource(HMODULE module, LPCWSTR name, LPCWSTR type) {
    if (!IsOwnModule(module)) {
        SetLastError(DWORD(ERROR_MOD_NOT_FOUND));
        return nullptr;
    }
    if (name == nullptr || type == nullptr) {
        SetLastError(DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
        return nullptr;
    }
    const restable::View* table = OwnTable();
    std::string typeKey = KeyText(type);
    std::string nameKey = KeyText(name);
    if (const restable::Entry* entry = table->Find(typeKey, nameKey))
        return reinterpret_cast<HRSRC>(const_cast<restable::Entry*>(entry));
    bool typeKnown = false;
    for (const auto& entry : table->Entries())
        if (restable::NormaliseKey(entry.type) == typeKey)
            typeKnown = true;
    SetLastError(DWORD(typeKnown ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND));
    return nullptr;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
    if (resource == nullptr || !IsOwnModule(module)) {
        SetLastError(DWORD(ERROR_INVALID_HANDLE));
        return nullptr;
    }
    // The handle of the data is the entry itself; LockResource gives its
    // bytes.
    return reinterpret_cast<HGLOBAL>(resource);
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
    if (resource == nullptr || !IsOwnModule(module)) {
        SetLastError(DWORD(ERROR_INVALID_HANDLE));
        return 0;
    }
    return reinterpret_cast<const restable::Entry*>(resource)->size;
}

LPVOID LockResource(HGLOBAL resourceData) {
    if (resourceData == nullptr)
        return nullptr;
    const auto* entry = reinterpret_cast<const restable::Entry*>(resourceData);
    // An empty resource still gets a non-null pointer (into the table).
    return const_cast<uint8_t*>(entry->data);
}

BOOL FreeResource(HGLOBAL) {
    return FALSE;
}

} // namespace plat
