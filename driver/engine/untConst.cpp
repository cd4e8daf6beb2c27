#include "untConst.h"

// The ids run from IDS_NO_ERROR for code 0 down the codes.
std::wstring ResultTextW(int code) {
    return LoadResStringW(IDS_NO_ERROR - code);
}

std::string ResultText(int code) {
    return LoadResString(IDS_NO_ERROR - code);
}
