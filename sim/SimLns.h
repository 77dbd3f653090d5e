#pragma once
// The host's LNS objects of the simulated network.
#include "outside/Lns.h"
#include "sim/SimWorld.h"

namespace sim {

// The LNS AppDevice of a simulated device: a name, a program id (which picks the device's
// plug-in) and a state read that fails while the device does not answer.
class SimLnsAppDevice : public outside::ILnsAppDevice, public SimComponent {
public:
    SimLnsAppDevice(const std::shared_ptr<SimWorld>& world, BStr name, BStr programId);

    BStr Name() override {
        return Call("Name", [&] { return name_; });
    }
    std::int16_t State() override;

    // Read by the other simulated components; not a call of the device.
    const BStr& ProgramId() const { return programId_; }
    const BStr& CurrentName() const { return name_; }
    void SetName(BStr name) { name_ = std::move(name); }
    void SetProgramId(BStr programId) { programId_ = std::move(programId); }
    void SetAnswering(bool answering) { answering_ = answering; }
    bool Answering() const { return answering_; }

private:
    BStr name_;
    BStr programId_;
    bool answering_ = true;
};

// The LNS System of the simulated network: only passed on, nothing is called on it.
class SimLnsSystem : public outside::ILnsSystem, public SimComponent {
public:
    explicit SimLnsSystem(const std::shared_ptr<SimWorld>& world);
};

}  // namespace sim
