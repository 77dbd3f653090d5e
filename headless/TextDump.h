#pragma once
// A window and its controls as indented text: what the demo prints and what a failing test shows.
#include <string>

#include "ui/Window.h"

namespace headless {

struct DumpOptions {
    bool hiddenControls = true;  // include controls that are not visible
    bool geometry = true;
};

std::string DumpWindow(const ui::Window& w, const DumpOptions& options = {});

}  // namespace headless
