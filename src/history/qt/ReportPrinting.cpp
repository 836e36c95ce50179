#include "history/qt/ReportPrinting.h"

#include "history/qt/ViewerWebPage.h"

#include <QMarginsF>
#include <QPageSize>
#include <QSizeF>
#include <QPointer>
#include <QTimer>

namespace velorin::reportprinting {

QPageLayout pageLayout()
{
    const QPageSize a4(QSizeF(595, 842), QPageSize::Point, QStringLiteral("A4"), QPageSize::ExactMatch);
    return QPageLayout(a4, QPageLayout::Portrait, QMarginsF(10, 10, 10, 10), QPageLayout::Point);
}

namespace {

constexpr int settleTries = 50;
constexpr int settleIntervalMs = 20;

void settle(QPointer<ViewerWebPage> page, int triesLeft, std::function<void()> done)
{
    if (!page)
        return;
    page->evaluate(QStringLiteral("typeof reportImagesReady !== 'function' || reportImagesReady()"),
                   [page, triesLeft, done = std::move(done)](const QVariant& ready) mutable {
                       if (ready.toBool() || triesLeft <= 0) {
                           done();
                           return;
                       }
                       QTimer::singleShot(settleIntervalMs, page,
                                          [page, triesLeft, done = std::move(done)]() mutable {
                                              settle(page, triesLeft - 1, std::move(done));
                                          });
                   });
}

} // namespace

void evaluateAndSettle(ViewerWebPage& page, const std::string& script, std::function<void()> done)
{
    QPointer<ViewerWebPage> guard(&page);
    page.evaluate(QString::fromStdString(script), [guard, done = std::move(done)](const QVariant&) mutable {
        settle(guard, settleTries, std::move(done));
    });
}

void print(ViewerWebPage& page, std::function<void(std::string bytes)> done)
{
    QPointer<ViewerWebPage> guard(&page);
    page.printToPdf(
        [guard, done = std::move(done)](const QByteArray& pdf) {
            if (guard)
                done(pdf.toStdString());
        },
        pageLayout());
}

} // namespace velorin::reportprinting
