#include "settings/qt/PageFrame.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace velorin {

PageFrame PageFrame::make(QWidget* page, const QString& title)
{
    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(24, 16, 24, 16);
    auto* column = new QWidget(page);
    column->setMaximumWidth(maxWidth);
    column->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    // The column takes all it may up to its maximum; the margins share the rest.
    outer->addStretch(1);
    outer->addWidget(column, 1000);
    outer->addStretch(1);

    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    auto* heading = new QLabel(title, column);
    QFont font = heading->font();
    font.setPointSizeF(font.pointSizeF() * 1.5);
    font.setBold(true);
    heading->setFont(font);
    layout->addWidget(heading);

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setHorizontalSpacing(16);
    form->setVerticalSpacing(12);
    layout->addLayout(form);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    layout->addLayout(buttons);
    return {form, buttons};
}

QPushButton* PageFrame::button(QWidget* page, const QString& title, const char* name)
{
    auto* button = new QPushButton(title, page);
    button->setObjectName(QString::fromLatin1(name));
    button->setMinimumWidth(110);
    return button;
}

void PageFrame::endEditing(QWidget* page)
{
    if (QWidget* focused = page->focusWidget())
        focused->clearFocus();
}

} // namespace velorin
