#pragma once

class QFormLayout;
class QHBoxLayout;
class QPushButton;
class QString;
class QWidget;

namespace velorin {

// The frame all settings pages share: a title, then a column of at most maxWidth in the middle of
// the page, so that neither long texts nor a wide window stretch the fields; buttons at the bottom.
struct PageFrame {
    static constexpr int maxWidth = 620;

    QFormLayout* form;
    QHBoxLayout* buttons;

    static PageFrame make(QWidget* page, const QString& title);
    // A button with an object name, for scripts and tests.
    static QPushButton* button(QWidget* page, const QString& title, const char* name);
    // Ends editing in the page's fields: the field that has the focus lets it go.
    static void endEditing(QWidget* page);
};

} // namespace velorin
