#pragma once

#include "history/HistoryPDFController.h"
#include "history/HistoryPDFView.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace velorin {

class Files;
class Log;
class SettingsStore;
class ViewerWebPage;

// The report of one file as PDF bytes, made without a window: the report screen's page and
// controller on a web page that is never shown. Needs a QApplication (or QGuiApplication) made
// after ViewerWebPage::prepareApplication().
class ReportPdfMaker : public QObject, private HistoryPDFView {
    Q_OBJECT
public:
    struct Result {
        QByteArray pdf; // empty on failure
        QString error;  // why, when pdf is empty
    };

    ReportPdfMaker(Files& files, const SettingsStore& settings, Log& log, std::string documentsDirectory,
                   std::string fileName, QObject* parent = nullptr);
    ~ReportPdfMaker() override;

    // Starts making the report; done is called once, on the main thread.
    void start(std::function<void(Result)> done);

    // Makes the report, running the event loop until it is done or the time is up.
    static Result make(Files& files, const SettingsStore& settings, Log& log, const std::string& documentsDirectory,
                       const std::string& fileName, std::chrono::milliseconds timeLimit = std::chrono::seconds(60));

private:
    void loadPage() override;
    void evaluateScript(const std::string& script) override;
    void askReadyState(std::function<void(const std::string&)> answer) override;
    void close() override {}
    void evaluateScriptAndWait(const std::string& script, std::function<void()> done) override;
    void printPdf(std::function<void(std::string bytes)> done) override;
    void setBusy(bool) override {}
    void share(const std::string& bytes, const std::string& suggestedName, std::function<void()> finished) override;
    void makeToast(const std::string& message) override;
    double viewWidth() const override;

    void finish(Result result);

    Files& m_files;
    std::string m_documents;
    std::string m_fileName;
    ViewerWebPage* m_page;
    std::unique_ptr<HistoryPDFController> m_controller;
    std::function<void(Result)> m_done;
};

} // namespace velorin
