// The driver's result texts. The texts of codes 0 and -1 to -5 live in the module's string
// table (untConst.rc) under the ids below and are loaded each time they are used; on a system
// without resources the same table is compiled in, made from untConst.rc by the build, so the
// two cannot differ. The other texts are fixed here as cp1251 bytes. Every text of the driver is
// code page 1251 whatever the machine's code page is, and becomes wide text only from code page
// 1251 named as such.
#pragma once

// String table ids of the result texts (untConst.rc).
#define IDS_NO_ERROR 1000         // code 0
#define IDS_NO_LINK 1001          // code -1
#define IDS_PORT_UNAVAILABLE 1002 // code -2
#define IDS_PORT_BUSY 1003        // code -3
#define IDS_BAD_CRC 1004          // code -4
#define IDS_BAD_FRAME_LENGTH 1005 // code -5

#ifndef RC_INVOKED

#include <string>

#ifdef _WIN32
#include <windows.h>

#include "WinText.h"
#else
#include "PosixText.h"
#endif

// Result codes of the driver.
constexpr int RESULT_OK = 0;
constexpr int RESULT_NO_LINK = -1;
constexpr int RESULT_PORT_UNAVAILABLE = -2;
constexpr int RESULT_PORT_BUSY = -3;
constexpr int RESULT_BAD_CRC = -4;
constexpr int RESULT_BAD_FRAME_LENGTH = -5;
constexpr int RESULT_FAILURE = -199;

// "Перый байт не STX" (spelt so on purpose: clients match this exact text)
constexpr char S_FIRST_BYTE_NOT_STX[] = "\xCF\xE5\xF0\xFB\xE9 \xE1\xE0\xE9\xF2 \xED\xE5 STX";
// "Неизвестный код команды: %d"
constexpr char S_UNKNOWN_COMMAND[] =
    "\xCD\xE5\xE8\xE7\xE2\xE5\xF1\xF2\xED\xFB\xE9 \xEA\xEE\xE4 \xEA\xEE\xEC\xE0\xED\xE4\xFB: %d";
// "В порт записаны не все данные"
constexpr char S_NOT_ALL_WRITTEN[] =
    "\xC2 \xEF\xEE\xF0\xF2 \xE7\xE0\xEF\xE8\xF1\xE0\xED\xFB \xED\xE5 \xE2\xF1\xE5 "
    "\xE4\xE0\xED\xED\xFB\xE5";
// "Устройство вернуло код ошибки: %d"
constexpr char S_DEVICE_ERROR[] = "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE \xE2\xE5\xF0\xED\xF3"
                                  "\xEB\xEE \xEA\xEE\xE4 \xEE\xF8\xE8\xE1\xEA\xE8: %d";

#ifdef _WIN32
// The module whose image holds this code: the DLL when linked into it, the program otherwise.
HMODULE CodeModule();
#else
// One text of the string table: its id and its cp1251 bytes.
struct TStringTableEntry {
    unsigned Id;
    const char* Text;
};
// The string table as untConst.rc holds it, ended by an entry with a null text.
extern const TStringTableEntry STRING_TABLE[];
#endif

// The string table text of id from the module that holds this code (the DLL, or a program
// that links the engine and its string table); empty when there is none.
std::wstring LoadResStringW(unsigned id);
// The same in code page 1251.
std::string LoadResString(unsigned id);

// The text of result code 0 or -1 to -5, loaded from the string table: as wide text, and in
// code page 1251.
std::wstring ResultTextW(int code);
std::string ResultText(int code);

#endif
