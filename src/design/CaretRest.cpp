#include "CaretRest.h"

#include <QEvent>
#include <QGuiApplication>
#include <QStyleHints>

CaretRest::CaretRest(QObject* parent, int restAfterMs)
    : QObject(parent)
    , m_flashTime(QGuiApplication::styleHints()->cursorFlashTime())
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(restAfterMs);
    connect(&m_idle, &QTimer::timeout, this, &CaretRest::rest);
    qApp->installEventFilter(this);
    m_idle.start();
}

CaretRest::~CaretRest()
{
    if (m_resting)
        QGuiApplication::styleHints()->setCursorFlashTime(m_flashTime);
}

void CaretRest::rest()
{
    if (m_resting || m_flashTime <= 0)
        return;
    m_resting = true;
    // Text fields follow the style hint at once: the caret stays drawn, its timer stops.
    QGuiApplication::styleHints()->setCursorFlashTime(0);
}

bool CaretRest::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::InputMethod:
    case QEvent::Wheel:
        if (m_resting) {
            m_resting = false;
            QGuiApplication::styleHints()->setCursorFlashTime(m_flashTime);
        }
        // One start per burst of input would do, but restarting a timer costs nothing.
        m_idle.start();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
