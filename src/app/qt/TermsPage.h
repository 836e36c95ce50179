#pragma once

#include <QWidget>

class QPushButton;
class QTextBrowser;

namespace velorin {

// The terms of use in a scrolling text, with Accept and Decline.
class TermsPage : public QWidget {
    Q_OBJECT
public:
    explicit TermsPage(QWidget* parent = nullptr);

    // Back to the top each time the page shows.
    void showFromTop();

signals:
    void agreeClick();
    void declineClick();

private:
    QTextBrowser* m_textView;
};

} // namespace velorin
