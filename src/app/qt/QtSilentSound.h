#pragma once

#include "app/SilentSound.h"

#include <QString>

#include <memory>

class QSoundEffect;

namespace velorin {

// The silent sound on QtMultimedia, played at volume 0 on the default audio output.
// Construct and use it on the main thread after the application object.
class QtSilentSound : public SilentSound {
public:
    // `source`: a WAV file or a Qt resource (":/silence.wav").
    explicit QtSilentSound(QString source);
    ~QtSilentSound() override;
    QtSilentSound(const QtSilentSound&) = delete;
    QtSilentSound& operator=(const QtSilentSound&) = delete;

    std::string play() override;

private:
    QString m_source;
    std::unique_ptr<QSoundEffect> m_effect; // made once an output is there
};

} // namespace velorin
