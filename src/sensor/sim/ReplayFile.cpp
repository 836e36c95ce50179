#include "sensor/sim/ReplayFile.h"

#include "platform/ByteReader.h"
#include "sensor/sim/PacketLogReader.h"
#include "sensor/sim/StreamFileReader.h"

namespace velorin {

namespace {

// Stands in for a file that could not be opened, so that the problem reaches whoever plays it.
class UnreadableReplay : public ReplaySource {
public:
    explicit UnreadableReplay(ReplayError error) : m_error(std::move(error)) {}
    std::optional<ReplayUpdate> next() override { return std::nullopt; }
    const std::optional<ReplayError>& error() const override { return m_error; }

private:
    std::optional<ReplayError> m_error;
};

} // namespace

bool isStreamFileName(std::string_view path)
{
    return path.ends_with(".s2") || path.ends_with(".S2");
}

std::unique_ptr<ReplaySource> openReplay(Files& files, const std::string& path, ReplayError& error)
{
    FileResult opened;
    std::unique_ptr<ByteReader> bytes = files.openForReading(path, opened);
    if (!bytes) {
        error = ReplayError{path, 0, "cannot read " + path + ": " + opened.error, std::nullopt};
        return nullptr;
    }
    if (isStreamFileName(path))
        return std::make_unique<StreamFileReader>(std::move(bytes), path);
    return std::make_unique<PacketLogReader>(std::move(bytes), path);
}

std::optional<ReplayError> checkReplay(Files& files, const std::string& path, const std::function<bool()>& stopped)
{
    ReplayError error;
    const std::unique_ptr<ReplaySource> source = openReplay(files, path, error);
    if (!source)
        return error;
    while (source->next())
        if (stopped && stopped())
            return std::nullopt;
    return source->error();
}

std::function<std::unique_ptr<ReplaySource>()> replayOpener(Files& files, std::string path)
{
    return [&files, path = std::move(path)]() -> std::unique_ptr<ReplaySource> {
        ReplayError error;
        if (std::unique_ptr<ReplaySource> source = openReplay(files, path, error))
            return source;
        return std::make_unique<UnreadableReplay>(std::move(error));
    };
}

} // namespace velorin
