#pragma once
// Calls on an interface as an early-bound client makes them: through the pointer obtained by the
// interface's id, at each member's position after the dispatch members, with the interface's own
// type information doing the argument work. Names are no guide here: a control made with a
// classic Visual Basic-style runtime answers names on a secondary interface from its default one.
#include <optional>
#include <string_view>
#include <vector>

#include "win32/adapters/LateBound.h"

namespace win32::adapters {

class EarlyBound {
public:
    // None when the object does not give the interface, or no type information describes it
    // (neither the object's own type library, through IProvideClassInfo, nor a registered one).
    static std::optional<EarlyBound> Bind(IUnknown* object, REFIID iid);

    // `position` counts the interface's members after the seven of IDispatch; arguments in call order.
    Var Call(unsigned position, std::vector<Var> args, std::u16string_view what);
    // The interface pointer itself (dispatch-based, so an IDispatch); not AddRef'ed.
    IDispatch* Get() const { return itf_.Get(); }

private:
    ComRef<IDispatch> itf_;
    ComRef<ITypeInfo> info_;  // the vtable side of the interface
};

}  // namespace win32::adapters
