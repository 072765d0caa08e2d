#pragma once

#include <QList>
#include <QObject>
#include <QRect>
#include <QString>

#include <optional>

// One screen as the sidebar sees it. Rectangles are Qt's desktop coordinates: device-
// independent pixels, y down.
struct ScreenInfo {
    QString name;
    QRect geometry;
    // Without the panels and docks that reserve space on it.
    QRect availableGeometry;
    qreal devicePixelRatio = 1;

    bool operator==(const ScreenInfo&) const = default;
};

// The screens of the desktop and their changes. The Qt implementation follows
// QGuiApplication; tests describe monitors that the test display does not have.
class ScreenList : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QList<ScreenInfo> screens() const = 0;
    // Empty when there is no screen.
    virtual QString primaryName() const = 0;

    std::optional<ScreenInfo> screen(const QString& name) const;
    // The primary screen, else the first one.
    std::optional<ScreenInfo> primary() const;
    // The screen holding the largest part of `rect`; none when it lies on no screen.
    std::optional<ScreenInfo> screenFor(const QRect& rect) const;
    // The y-down coordinate of the primary screen's lower side (see ScreenCoordinates).
    double referenceHeight() const;

signals:
    void screenAdded(const QString& name);
    void screenRemoved(const QString& name);
    // Its geometry or visible area changed, or it became the primary screen.
    void screenChanged(const QString& name);
};

class QScreen;

class QtScreenList : public ScreenList {
    Q_OBJECT
public:
    explicit QtScreenList(QObject* parent = nullptr);

    QList<ScreenInfo> screens() const override;
    QString primaryName() const override;

private:
    void observe(QScreen* screen);
};
