#pragma once
// The per-device record that travels with the tree's device notifications. Stores values unchanged.
#include <cstdint>

#include "automation/Object.h"

class CTreeDevice : public automation::Object {
public:
    using BStr = automation::BStr;

    const BStr& Name() const { return name_; }
    void SetName(const BStr& v) { name_ = v; }
    const BStr& State() const { return state_; }
    void SetState(const BStr& v) { state_ = v; }
    const BStr& Icon() const { return icon_; }
    void SetIcon(const BStr& v) { icon_ = v; }
    const BStr& DeviceType() const { return deviceType_; }
    void SetDeviceType(const BStr& v) { deviceType_ = v; }
    const BStr& DeviceID() const { return deviceId_; }
    void SetDeviceID(const BStr& v) { deviceId_ = v; }
    const BStr& NeuronID() const { return neuronId_; }
    void SetNeuronID(const BStr& v) { neuronId_ = v; }
    const BStr& ProgramID() const { return programId_; }
    void SetProgramID(const BStr& v) { programId_ = v; }
    const BStr& SelfDoc() const { return selfDoc_; }
    void SetSelfDoc(const BStr& v) { selfDoc_ = v; }
    void SetUpdatesCount(std::int16_t iPeakUpdatesCount) { updates_ = iPeakUpdatesCount; }
    std::int16_t UpdatesCount() const { return updates_; }

private:
    BStr name_, state_, icon_, deviceId_, neuronId_, programId_, selfDoc_, deviceType_;
    std::int16_t updates_ = 0;
};
