#pragma once
// A window icon handed to outside components as a picture object: the icon resource the window
// shows (0 for the platform's default icon).
#include "automation/Object.h"

class CIconPicture : public automation::Object {
public:
    explicit CIconPicture(int resourceId) : resourceId_(resourceId) {}
    int ResourceId() const { return resourceId_; }

private:
    int resourceId_;
};
