#pragma once

#include "platform/window/ScreenList.h"

// Monitors as a test describes them, the first one the primary one; the test changes the
// list and emits the change.
struct FakeScreenList : ScreenList {
    QList<ScreenInfo> list;

    QList<ScreenInfo> screens() const override { return list; }
    QString primaryName() const override { return list.isEmpty() ? QString() : list.first().name; }
};
