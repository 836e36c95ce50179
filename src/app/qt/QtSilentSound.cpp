#include "app/qt/QtSilentSound.h"

#include <QAudioDevice>
#include <QFile>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace velorin {

namespace {

QtMessageHandler g_previousHandler = nullptr;

// Without a sound server QtMultimedia warns on its own when it first looks for outputs; our log
// already says that the sound cannot play, once.
void withoutSoundServerWarning(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("PulseAudioService:")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    else
        qt_message_output(type, context, message);
}

QAudioDevice defaultOutput()
{
    static bool looked = false;
    if (looked)
        return QMediaDevices::defaultAudioOutput();
    looked = true;
    g_previousHandler = qInstallMessageHandler(withoutSoundServerWarning);
    QAudioDevice device = QMediaDevices::defaultAudioOutput();
    qInstallMessageHandler(g_previousHandler);
    return device;
}

QUrl urlOf(const QString& source)
{
    return source.startsWith(QLatin1Char(':')) ? QUrl(QLatin1String("qrc") + source) : QUrl::fromLocalFile(source);
}

} // namespace

QtSilentSound::QtSilentSound(QString source) : m_source(std::move(source)) {}

QtSilentSound::~QtSilentSound() = default;

std::string QtSilentSound::play()
{
    // QSoundEffect reports itself playing when there is no output at all, so the output is asked for
    // before; without one no effect is made either, which would only warn again.
    if (!QFile::exists(m_source))
        return "no sound file " + m_source.toStdString();
    const QAudioDevice output = defaultOutput();
    if (output.isNull())
        return "no audio output";
    if (!m_effect) {
        m_effect = std::make_unique<QSoundEffect>(output);
        m_effect->setSource(urlOf(m_source));
        m_effect->setVolume(0.0f);
    } else if (m_effect->audioDevice() != output) {
        m_effect->setAudioDevice(output);
    }
    if (m_effect->status() == QSoundEffect::Error)
        return "the sound file " + m_source.toStdString() + " cannot be played";
    // Loading finishes in the background; a play asked for meanwhile starts once it is loaded.
    m_effect->stop();
    m_effect->play();
    return {};
}

} // namespace velorin
