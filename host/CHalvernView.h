#pragma once
// The display relay: titles the main window with the plug-in description and shows it.
class CHalvernView {
public:
    // Fails when there is no main window.
    void OpenQuilletDisplay();
};
