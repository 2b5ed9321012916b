#include "kavrel/ui/skin_changed.h"

#include <vector>

namespace kavrel::ui {

SkinChangedReceiver::SkinChangedReceiver() = default;

SkinChangedReceiver::~SkinChangedReceiver() {
    SkinChangedObserver::instance().RemoveReceiver(this);
}

SkinChangedObserver& SkinChangedObserver::instance() {
    static SkinChangedObserver observer;
    return observer;
}

int SkinChangedObserver::AddReceiver(SkinChangedReceiver* receiver) {
    if (!receiver) return -1;
    for (const auto& [key, r] : receivers_)
        if (r == receiver) return key;
    const int key = next_++;
    receivers_.emplace(key, receiver);
    return key;
}

void SkinChangedObserver::RemoveReceiver(SkinChangedReceiver* receiver) {
    for (auto it = receivers_.begin(); it != receivers_.end();) {
        if (it->second == receiver)
            it = receivers_.erase(it);
        else
            ++it;
    }
}

void SkinChangedObserver::Broadcast(const SkinChangedParam& param) {
    // Receivers may join or leave while being notified: walk a snapshot of the keys and skip
    // any that left in the meantime.
    std::vector<int> keys;
    keys.reserve(receivers_.size());
    for (const auto& entry : receivers_) keys.push_back(entry.first);
    for (int key : keys) {
        auto it = receivers_.find(key);
        if (it != receivers_.end()) it->second->Receive(param);
    }
}

void applySkinToRoot(skin::Control* root, const SkinChangedParam& param) {
    if (!root) return;
    if (param.bColor) {
        root->setBkColor(param.bkcolor);
        root->setBkImage(QString());
    } else {
        root->setBkColor(0);
        root->setBkImage(param.bgimage);
    }
}

} // namespace kavrel::ui
