#include "ScreenList.h"

#include <QGuiApplication>
#include <QScreen>

namespace {
ScreenInfo describe(const QScreen* screen)
{
    return { screen->name(), screen->geometry(), screen->availableGeometry(), screen->devicePixelRatio() };
}
} // namespace

std::optional<ScreenInfo> ScreenList::screen(const QString& name) const
{
    for (const ScreenInfo& each : screens()) {
        if (each.name == name)
            return each;
    }
    return std::nullopt;
}

std::optional<ScreenInfo> ScreenList::primary() const
{
    if (std::optional<ScreenInfo> named = screen(primaryName()))
        return named;
    const QList<ScreenInfo> all = screens();
    return all.isEmpty() ? std::nullopt : std::optional(all.first());
}

std::optional<ScreenInfo> ScreenList::screenFor(const QRect& rect) const
{
    std::optional<ScreenInfo> best;
    qint64 bestArea = 0;
    for (const ScreenInfo& each : screens()) {
        const QRect common = each.geometry.intersected(rect);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            bestArea = area;
            best = each;
        }
    }
    return best;
}

double ScreenList::referenceHeight() const
{
    const std::optional<ScreenInfo> main = primary();
    return main ? main->geometry.y() + main->geometry.height() : 0;
}

QtScreenList::QtScreenList(QObject* parent)
    : ScreenList(parent)
{
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* added) {
        observe(added);
        emit screenAdded(added->name());
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this,
        [this](QScreen* removed) { emit screenRemoved(removed->name()); });
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this,
        [this](QScreen* primary) { emit screenChanged(primary ? primary->name() : QString()); });
    for (QScreen* each : QGuiApplication::screens())
        observe(each);
}

void QtScreenList::observe(QScreen* screen)
{
    connect(screen, &QScreen::geometryChanged, this, [this, screen] { emit screenChanged(screen->name()); });
    connect(screen, &QScreen::availableGeometryChanged, this,
        [this, screen] { emit screenChanged(screen->name()); });
}

QList<ScreenInfo> QtScreenList::screens() const
{
    QList<ScreenInfo> all;
    for (const QScreen* each : QGuiApplication::screens())
        all << describe(each);
    return all;
}

QString QtScreenList::primaryName() const
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->name() : QString();
}
