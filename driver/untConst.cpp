#include "untConst.h"

#include <windows.h>

HMODULE CodeModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&CodeModule), &module);
    return module;
}

std::string LoadResString(unsigned id) {
    char buffer[1024];
    int length = LoadStringA(CodeModule(), id, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

std::string ResultText(int code) {
    return LoadResString(IDS_NO_ERROR - code);
}
