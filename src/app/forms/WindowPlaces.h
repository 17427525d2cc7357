#pragma once

#include <QObject>

class QWidget;

namespace vellmar::saving {
class Preferences;
}

namespace vellmar::app {

// Remembers where each tool window was and how large, by object name, and
// puts it there again when it is made anew. Without preferences (a first
// start, or tests) windows open where they always did.
class WindowPlaces final : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void usePreferences(saving::Preferences *preferences) { m_preferences = preferences; }
    void track(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    saving::Preferences *m_preferences = nullptr;
};

} // namespace vellmar::app
