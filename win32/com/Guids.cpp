// The one definition of the class, library and interface ids, from the type library's header.
#include <initguid.h>

#include "LNSQuilletVexaProxy_h.h"
