#pragma once
// A window icon handed to outside components as a picture: the icon resource the window shows.
// On Windows the adapters pass it on as an OLE picture made from that resource.
#include "outside/Picture.h"

class CIconPicture : public outside::IPictureDisp {
public:
    explicit CIconPicture(int resourceId) : resourceId_(resourceId) {}
    int ResourceId() const { return resourceId_; }
    std::int16_t Type() override { return kTypeIcon; }

private:
    int resourceId_;
};
