// The nine workers over the main window: the bodies StartWorkers runs, and the main window as
// the device, lighting and profile workers see it.
#pragma once

#include <memory>

#include "kavrel/app/workers.h"
#include "kavrel/device/workers.h"

namespace kavrel::app {

class CMainWnd;

// The main window behind the workers' interface. Messages, timers and channels go straight to
// the window (any thread); UI steps are queued to the UI thread and dropped once the window is
// gone. Owned by a shared pointer so a queued step keeps it alive.
class MainWindowWorkerLink final : public WorkerWindow,
                                   public std::enable_shared_from_this<MainWindowWorkerLink> {
public:
    explicit MainWindowWorkerLink(CMainWnd& window) : window_(window) {}

    DeviceChannel& Channel(DeviceKind d) override;
    void PostMessage(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) override;
    std::intptr_t SendMessage(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) override;
    void SetTimer(int id, int ms) override;
    unsigned WakeMessage() override;
    void RunOnUi(std::function<void()> step) override;

    void SelectStoredDeviceProfile(DeviceKind d) override;
    void SetControlVisible(std::string_view name, bool visible) override;
    void SelectOption(std::string_view name) override;
    void SetControlFocus(std::string_view name) override;
    // The mouse-detected hook: nothing to do yet.
    int OnMouseDetected() override { return 0; }

private:
    CMainWnd& window_;
};

// Installs the bodies of the nine workers in start order (setWorkerBody). Call once before the
// window's "windowinit".
void installWorkerBodies();

} // namespace kavrel::app
