// The Qt pieces both windows share: the dialog filter and the path of a name
// a file dialog returns.
#include <QString>

#include <gtest/gtest.h>

#include "common/qt/dialogs.h"

namespace {

TEST(CommonQt, DialogFilters) {
    const struct {
        const char* written;
        const char* shown;
    } cases[] = {
        {"Two taons|*.grav", "Two taons (*.grav)"},
        {"Taons files (*.ato)|*.ato", "Taons files (*.ato)"},
        {"Pictures|*.png;*.bmp|All|*", "Pictures (*.png *.bmp);;All (*)"},
        {"Plain", "Plain"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(common::qt::DialogFilter(QString::fromUtf8(c.written)).toStdString(), c.shown) << c.written;
}

TEST(CommonQt, FilePathsInTheFileNameEncoding) {
    // File names are UTF-8 bytes on this platform: they go through as such
    // and come back the same.
    const char* const names[] = {"/tmp/a.grav", "/tmp/Größe ñ.grav", "relative/x y.ato", ""};
    for (const char* n : names) {
        QString name = QString::fromUtf8(n);
        EXPECT_EQ(common::qt::FilePath(name), n);
        EXPECT_EQ(common::qt::DisplayPath(n), name);
    }
}

}  // namespace
