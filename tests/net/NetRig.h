#pragma once

#include "../fakes/MonitorRig.h"
#include "net/EventSubmitter.h"
#include "net/RecordingUploader.h"
#include "net/RequestQueue.h"
#include "net/UploadStatus.h"

#include <memory>
#include <string>

namespace velorin {

// The uploader and the event submitter with fakes all round, on virtual time; files in memory unless
// the test brings its own.
struct NetRig {
    explicit NetRig(Files* own = nullptr, std::string documents = "/docs")
        : runtime((useTestTimeZone(), testStart)), files(own ? *own : memory), docs(std::move(documents)),
          status(std::make_shared<UploadStatus>(runtime.clock(), nullptr)),
          requests(std::make_unique<RequestQueue>(runtime.bluetoothQueue(), http, runtime.clock())),
          events(std::make_unique<EventSubmitter>(acq, requests.get(), files, settings, runtime.clock(), log, docs,
                                                  testCollectionUrl)),
          uploader(std::make_unique<RecordingUploader>(
              RecordingUploader::Ports{*requests, reachability, location, files, settings, log}, acq, docs,
              testCollectionUrl, status))
    {
        uploader->setEventSubmitter(events.get());
    }

    // A flush handing over `bytes`, on the Bluetooth queue.
    void flush(const std::string& bytes, const std::string& stamp = "2017-05-27_101530")
    {
        runtime.bluetoothQueue().async([this, bytes, stamp] {
            leftInBuffer = bytes;
            uploader->writeToServer(leftInBuffer, stamp);
        });
        runtime.runPending();
    }
    void mark(const std::string& activity)
    {
        runtime.bluetoothQueue().async([this, activity] { events->sendMarkedEvent(activity); });
        runtime.runPending();
    }
    void answer(std::size_t index, int status, std::string body = {}, std::string error = {})
    {
        http.answer(index, status, std::move(body), std::move(error));
        runtime.runPending();
    }
    std::string body(std::size_t index) const { return http.sent.at(index).request.body; }
    std::string bufferPath(const std::string& name) const { return docs + "/Buffer/" + name; }

    VirtualRuntime runtime;
    FakeLog log;
    MemoryFiles memory, settingsFiles;
    Files& files;
    std::string docs;
    SettingsStore settings{settingsFiles, log, "/config/settings.json"};
    FakeHttp http;
    FakeReachability reachability;
    FakeLocation location;
    Acquisition acq;
    std::shared_ptr<UploadStatus> status;
    std::string leftInBuffer;
    std::unique_ptr<RequestQueue> requests;
    std::unique_ptr<EventSubmitter> events;
    std::unique_ptr<RecordingUploader> uploader;
};

inline const std::vector<std::pair<std::string, std::string>> jsonHeaders = {
    {"Content-Type", "application/json; charset=utf-8"}};

inline std::string uploadBody(const std::string& name, const std::string& base64,
                              const std::string& token = "5d07e1b94c2a4f86b3e0")
{
    return R"({"token":")" + token + R"(","fileName":")" + name + R"(","baseData":")" + base64 + R"("})";
}

} // namespace velorin
