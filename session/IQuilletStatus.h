#pragma once
// The status controller as the other parts hold it: the one place where status texts are written.
#include "automation/Types.h"

class IQuilletStatus {
public:
    virtual ~IQuilletStatus() = default;
    virtual automation::BStr QuilletStat() const = 0;
    virtual void SetQuilletStat(const automation::BStr& text) = 0;
};
