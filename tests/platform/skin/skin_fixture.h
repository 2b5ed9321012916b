// Shared set-up of the skin tests: one QApplication, the built skin folder, a window that
// records its notifications, and layout files written to a temporary folder.
#pragma once

#include "kavrel/skin/skin.h"
#include "kavrel/skin/testing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace kavrel::skin::test {

inline std::filesystem::path builtSkin() {
    return std::filesystem::path(KAVREL_BINARY_DIR) / "bin" / "skin";
}

class RecordingWindow : public Window {
public:
    testing::Recorder rec;
    std::function<void(const Notification&)> onNotify;
    std::function<Control*(const QString&)> builder;
    std::vector<int> ticks;

    void notify(const Notification& n) override {
        rec.record(n);
        if (onNotify) onNotify(n);
    }
    Control* createControl(const QString& cls) override { return builder ? builder(cls) : nullptr; }
    void onTimer(int id) override { ticks.push_back(id); }

    // Events without the focus and hover noise of clicks.
    std::vector<testing::Event> events(std::vector<QString> types = {}) const {
        if (types.empty())
            for (const char* t : {notify::kClick, notify::kSelectChanged, notify::kItemSelect, notify::kItemClick,
                                  notify::kValueChanged, notify::kMoveValueChanged, notify::kTextChanged,
                                  notify::kColorChanged, notify::kReturn})
                types.push_back(QString::fromLatin1(t));
        return rec.events(types);
    }
};

class SkinTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        testing::ensureApp();
        ASSERT_TRUE(initialize(builtSkin())) << "skin folder " << builtSkin();
    }

    // Writes a file into the temporary folder and returns its absolute path.
    QString write(const QString& name, const QByteArray& text) {
        const QString path = dir_.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        return path;
    }

    QTemporaryDir dir_;
};

inline testing::Event ev(const char* type, const char* sender) {
    return {QString::fromLatin1(type), QString::fromLatin1(sender)};
}

} // namespace kavrel::skin::test

namespace kavrel::skin::testing {
inline void PrintTo(const Event& e, std::ostream* os) {
    *os << "(" << e.type.toStdString() << ", " << e.sender.toStdString() << ", " << e.wParam << ", " << e.lParam << ")";
}
} // namespace kavrel::skin::testing
