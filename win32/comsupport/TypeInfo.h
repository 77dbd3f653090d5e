#pragma once
// Reading type information.
#include <oaidl.h>

#include "win32/comsupport/ComRef.h"

namespace win32 {

// The description with vtable offsets of an interface: a dual interface's dispatch side leads to
// it; none for a plain dispatch interface.
ComRef<ITypeInfo> VtableSide(ComRef<ITypeInfo> info);

// A coclass's default source interface; none when it has no notifications.
ComRef<ITypeInfo> DefaultSourceOf(ITypeInfo* coclass);

}  // namespace win32
