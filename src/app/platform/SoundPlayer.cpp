#include "SoundPlayer.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace vellmar::app {

SoundPlayer::SoundPlayer() = default;
SoundPlayer::~SoundPlayer() = default;

void SoundPlayer::play(const QString &relativePath)
{
    m_lastRequested = relativePath;
    const QFileInfo file(relativePath);
    if (!file.isFile())
        return;
    // Created on first use: opening the audio device costs time at start-up.
    if (!m_effect)
        m_effect = std::make_unique<QSoundEffect>();
    m_effect->stop();
    m_effect->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    m_effect->play();
}

} // namespace vellmar::app
