// The row's widgets are children of the section's box, laid out in its column: the status line,
// then the help below it.
#include "settings/view/PermissionRow.h"

#include "platform/Localization.h"
#include "settings/view/ViewStyle.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace halvo {

PermissionRow::PermissionRow(QWidget* box, QVBoxLayout* column, const Texts& texts,
                             const char* iconName, const char* objectName) {
    auto* row = new QHBoxLayout();
    auto* icon = new QLabel(box);
    icon->setPixmap(QIcon::fromTheme(QString::fromLatin1(iconName)).pixmap(16, 16));
    auto* label = new QLabel(texts.name, box);
    m_status = new QLabel(box);
    m_status->setObjectName(QString::fromLatin1(objectName) + "Status");
    m_button = new QPushButton(
        QString::fromStdString(localized("Open Help…", "Open permission help button")), box);
    m_button->setObjectName(QString::fromLatin1(objectName) + "Open");
    m_button->setAccessibleName(texts.buttonAccessibleName);
    row->addWidget(icon);
    row->addWidget(label);
    row->addWidget(m_status);
    row->addStretch();
    row->addWidget(m_button);
    column->addLayout(row);
    m_help = new QLabel(texts.explanation, box);
    m_help->setObjectName(QString::fromLatin1(objectName) + "Help");
    m_help->setWordWrap(true);
    ViewStyle::apply(m_help, ViewStyle::Font::caption, ViewStyle::Colour::secondary);
    column->addWidget(m_help);
}

void PermissionRow::show(bool granted, const QString& status) {
    m_status->setText(status);
    ViewStyle::apply(m_status, ViewStyle::Font::caption,
                     granted ? ViewStyle::Colour::secondary : ViewStyle::Colour::orange);
    m_button->setVisible(!granted);
    m_help->setVisible(!granted);
}

} // namespace halvo
