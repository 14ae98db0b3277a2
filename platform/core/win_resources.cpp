#include "platform/port/win_resources.h"

#include "platform/core/lasting.h"

#include <map>

namespace {

template <class T>
std::map<int, T>& Registry() {
    static Lasting<std::map<int, T>> entries;
    return *entries;
}

template <class T>
const T* Find(int id) {
    auto& entries = Registry<T>();
    auto it = entries.find(id);
    return it == entries.end() ? nullptr : &it->second;
}

}  // namespace

void RegisterMenuResource(const MenuTemplate& menu) { Registry<MenuTemplate>()[menu.id] = menu; }
void RegisterAcceleratorResource(const AcceleratorTable& table) { Registry<AcceleratorTable>()[table.id] = table; }
void RegisterDialogResource(const DialogTemplate& dialog) { Registry<DialogTemplate>()[dialog.id] = dialog; }
void RegisterIconResource(const IconImage& icon) { Registry<IconImage>()[icon.id] = icon; }

const MenuTemplate* FindMenuResource(int id) { return Find<MenuTemplate>(id); }
const AcceleratorTable* FindAcceleratorResource(int id) { return Find<AcceleratorTable>(id); }
const DialogTemplate* FindDialogResource(int id) { return Find<DialogTemplate>(id); }
const IconImage* FindIconResource(int id) { return Find<IconImage>(id); }

int ResourceIdOf(LPCSTR name) {
    if (!name || !IS_INTRESOURCE(name)) return -1;
    return static_cast<int>(reinterpret_cast<std::uintptr_t>(name));
}
