// The operating system's pointer settings, read when a device-settings profile is loaded.
// The desktop-specific implementation is installed with setPointerSettings(); until then a
// plain settable value stands in.
#pragma once

namespace kavrel::mouse {

class PointerSettings {
public:
    virtual ~PointerSettings() = default;
    // The system's current pointer speed, 1-20.
    virtual int currentSpeed() const = 0;
};

// Holds a speed set by hand; the stand-in default starts at the middle value 10.
class FixedPointerSettings final : public PointerSettings {
public:
    explicit FixedPointerSettings(int speed = 10) : speed_(speed) {}
    int currentSpeed() const override { return speed_; }
    void setSpeed(int speed) { speed_ = speed; }

private:
    int speed_;
};

// The installed implementation, or the process's FixedPointerSettings default.
PointerSettings& pointerSettings();
FixedPointerSettings& defaultPointerSettings();

// Installs impl (not owned; it must outlive its use); nullptr restores the default.
void setPointerSettings(PointerSettings* impl);

} // namespace kavrel::mouse
