#include "untConst.h"

#include <windows.h>

namespace {

// The module whose image holds this code: the DLL when linked into it, the program otherwise.
HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

} // namespace

std::string LoadResString(unsigned id) {
    char buffer[1024];
    int length = LoadStringA(ThisModule(), id, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

std::string ResultText(int code) {
    return LoadResString(IDS_NO_ERROR - code);
}
