#pragma once

#include "platform/window/ScreenList.h"

// Monitors as a test describes them; the first one is the primary one. Changes announce
// themselves as Qt's do.
class FakeScreenList : public ScreenList {
public:
    explicit FakeScreenList(QList<ScreenInfo> screens)
        : m_screens(std::move(screens))
    {
    }

    QList<ScreenInfo> screens() const override { return m_screens; }
    QString primaryName() const override { return m_screens.isEmpty() ? QString() : m_screens.first().name; }

    void add(const ScreenInfo& screen)
    {
        m_screens << screen;
        emit screenAdded(screen.name);
    }
    void remove(const QString& name)
    {
        m_screens.removeIf([&](const ScreenInfo& each) { return each.name == name; });
        emit screenRemoved(name);
    }
    void change(const ScreenInfo& screen)
    {
        std::replace_if(
            m_screens.begin(), m_screens.end(), [&](const ScreenInfo& e) { return e.name == screen.name; }, screen);
        emit screenChanged(screen.name);
    }

private:
    QList<ScreenInfo> m_screens;
};
