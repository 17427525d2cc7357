#include "WindowPlaces.h"

#include "saving/Preferences.h"

#include <QEvent>
#include <QWidget>

namespace vellmar::app {

void WindowPlaces::track(QWidget *window)
{
    if (!m_preferences || !window)
        return;
    const QByteArray geometry = m_preferences->windowGeometry(window->objectName());
    if (!geometry.isEmpty())
        window->restoreGeometry(geometry);
    window->installEventFilter(this);
}

bool WindowPlaces::eventFilter(QObject *watched, QEvent *event)
{
    // Hidden covers closing too; a window that deletes itself hides first.
    if (event->type() == QEvent::Hide && m_preferences) {
        if (auto *window = qobject_cast<QWidget *>(watched); window && window->isWindow())
            m_preferences->setWindowGeometry(window->objectName(), window->saveGeometry());
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vellmar::app
