#pragma once

#include <QString>

#include <memory>

class QSoundEffect;

namespace vellmar::app {

// Plays short WAV files by name, relative to the working folder, without
// waiting: a new sound cuts off the one still playing, and a missing or
// broken file simply stays silent.
class SoundPlayer
{
public:
    SoundPlayer();
    ~SoundPlayer();

    void play(const QString &relativePath);
    const QString &lastRequested() const { return m_lastRequested; }

private:
    std::unique_ptr<QSoundEffect> m_effect;
    QString m_lastRequested;
};

} // namespace vellmar::app
