// The mark stays at the top of a text that wraps onto several lines.
#include "settings/view/ErrorRow.h"

#include "settings/view/ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>

namespace halvo {

ErrorRow::ErrorRow(QWidget* parent, const char* objectName) : QWidget(parent) {
    setObjectName(objectName);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* mark = new QLabel(this);
    mark->setPixmap(ViewStyle::warningMark(this));
    m_text = new QLabel(this);
    m_text->setWordWrap(true);
    ViewStyle::apply(m_text, ViewStyle::Font::callout, ViewStyle::Colour::red);
    layout->addWidget(mark, 0, Qt::AlignTop);
    layout->addWidget(m_text, 1);
}

void ErrorRow::setError(const std::optional<QString>& text) {
    setVisible(text.has_value());
    if (text)
        m_text->setText(*text);
}

} // namespace halvo
