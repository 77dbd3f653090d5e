#pragma once
// Late-bound adapters: outside components reached through IDispatch (names looked up with
// GetIDsOfNames), presented to the system as the outside/ contracts.
#include <windows.h>
#include <oaidl.h>

#include <memory>

#include "automation/Collection.h"
#include "automation/Variant.h"
#include "outside/Lns.h"

namespace win32::adapters {

// The host's LNS objects and configuration-property collection, as StartApp receives them.
// A null pointer gives none.
std::shared_ptr<outside::ILnsAppDevice> WrapAppDevice(IDispatch* disp);
std::shared_ptr<outside::ILnsSystem> WrapSystem(IDispatch* disp);
std::shared_ptr<automation::Collection> WrapCollection(IDispatch* disp);

// The control object of a hosted ActiveX control: answers Query for IPluginWorkspace,
// IPluginWorkspaceUnits (when the control has it) and IQtyUnitsControl.
automation::ObjectRef WrapHostedControl(IUnknown* unk);

// Makes automation::Components() create what it has not registered through CoCreateInstance
// (a "{...}" class id or a ProgID), wrapped in the adapter that fits.
void InstallComFactory();

// The COM object behind an adapter (AddRef'ed), or a new automation wrapper for a plain system
// object; nullptr for none. Used to pass objects back out (links, units, icons).
IDispatch* ToDispatch(const automation::ObjectRef& obj);

// COM objects of ours that outside components hold (wrappers, enumerators, event sinks): while
// any lives, this code must stay loaded.
long LiveComObjects();

// VARIANT <-> automation::Variant.
automation::Variant FromVariant(const VARIANT& v);
void ToVariant(const automation::Variant& in, VARIANT* out);  // out must be VariantInit'ed

}  // namespace win32::adapters
