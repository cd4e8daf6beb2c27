// Reading type information: a library's attributes, how many members a type has, and each
// function of an interface.
// The attributes and descriptions are the type information's own; they are given back here as
// soon as they have been read.
#pragma once

#include <windows.h>

#include <oaidl.h>

// A copy of the library's attributes; false when they cannot be read.
inline bool AxLibraryAttributes(ITypeLib* library, TLIBATTR& copy) {
    TLIBATTR* attributes = nullptr;
    if (FAILED(library->GetLibAttr(&attributes)))
        return false;
    copy = *attributes;
    library->ReleaseTLibAttr(attributes);
    return true;
}

// One count of the type's attributes (&TYPEATTR::cFuncs, &TYPEATTR::cImplTypes, ...); 0 when
// the attributes cannot be read.
inline UINT AxTypeCount(ITypeInfo* info, WORD TYPEATTR::*count) {
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes)))
        return 0;
    UINT value = attributes->*count;
    info->ReleaseTypeAttr(attributes);
    return value;
}

// Calls visit(const FUNCDESC&) with each function of the interface info, in type-library
// order; a function whose description cannot be read is passed over.
template <class Visit> void AxEachFunction(ITypeInfo* info, Visit&& visit) {
    const UINT functions = AxTypeCount(info, &TYPEATTR::cFuncs);
    for (UINT i = 0; i < functions; ++i) {
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(i, &function)))
            continue;
        visit(static_cast<const FUNCDESC&>(*function));
        info->ReleaseFuncDesc(function);
    }
}
