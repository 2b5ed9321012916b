// The skin-changed notification: the skin chooser tells every registered receiver (the main
// window) to change the background of its "root" control. UI thread only.
#pragma once

#include "kavrel/skin/control.h"
#include "kavrel/skin/types.h"

#include <QString>

#include <map>

namespace kavrel::ui {

struct SkinChangedParam {
    bool bColor = false;          // true: use bkcolor; false: use bgimage
    skin::Argb bkcolor = 0;
    QString bgimage;              // image path of the skin, or an absolute file
    bool operator==(const SkinChangedParam&) const = default;
};

// Receiver side: derive and implement Receive. A receiver removes itself from every observer
// it joined when it is destroyed.
class SkinChangedReceiver {
public:
    SkinChangedReceiver();
    virtual ~SkinChangedReceiver();
    SkinChangedReceiver(const SkinChangedReceiver&) = delete;
    SkinChangedReceiver& operator=(const SkinChangedReceiver&) = delete;
    virtual bool Receive(const SkinChangedParam& param) = 0;
};

// The observer: an int-keyed map of receivers, notified in key order.
class SkinChangedObserver {
public:
    // The process-wide observer the skin chooser notifies.
    static SkinChangedObserver& instance();

    // Returns the key of the receiver (a receiver added twice keeps its first key).
    int AddReceiver(SkinChangedReceiver* receiver);
    void RemoveReceiver(SkinChangedReceiver* receiver);
    // Calls Receive on every receiver; receivers may add or remove receivers meanwhile.
    void Broadcast(const SkinChangedParam& param);
    int count() const { return static_cast<int>(receivers_.size()); }

private:
    std::map<int, SkinChangedReceiver*> receivers_;
    int next_ = 0;
};

// The main window's handling of the notification: on root, with bColor the background colour
// := bkcolor and no image; otherwise colour 0 and the image bgimage.
void applySkinToRoot(skin::Control* root, const SkinChangedParam& param);

} // namespace kavrel::ui
