#include "untConst.h"

std::string LoadResString(unsigned id) {
    for (const TStringTableEntry* entry = STRING_TABLE; entry->Text; ++entry)
        if (entry->Id == id)
            return entry->Text;
    return std::string();
}

std::wstring LoadResStringW(unsigned id) {
    return Cp1251ToWide(LoadResString(id));
}
