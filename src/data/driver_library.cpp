#include "data/driver_library.h"

#include <QtGlobal>

#if __has_include(<dlfcn.h>)
#include <dlfcn.h>
#define OLVEND_HAVE_DLFCN 1
#endif

bool DriverLibrary::resolvesLikeUs(const QSqlDriver* driver, const char* symbol, const void* ours) {
#ifdef OLVEND_HAVE_DLFCN
    if (!driver) {
        return false;
    }
    // The first word of a polymorphic object points into its class's code
    // object: the plugin the driver came from.
    const void* vtable = *reinterpret_cast<void* const*>(driver);
    Dl_info plugin{};
    if (!dladdr(vtable, &plugin) || !plugin.dli_fname) {
        return false;
    }
    void* handle = dlopen(plugin.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
    if (!handle) {
        return false;
    }
    void* theirs = dlsym(handle, symbol);
    dlclose(handle);
    Dl_info theirObject{};
    Dl_info ourObject{};
    if (!theirs || !dladdr(theirs, &theirObject) || !dladdr(ours, &ourObject)) {
        return false;
    }
    return theirObject.dli_fbase == ourObject.dli_fbase;
#else
    Q_UNUSED(driver);
    Q_UNUSED(symbol);
    Q_UNUSED(ours);
    return false;
#endif
}
